// A decoded picture in memory: the one copy of the pixels that every image
// showing it shares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace kit {

enum class PixelFormat {
  RGBA8,  // 4 bytes a pixel, straight (not premultiplied) alpha
  Gray8,  // 1 byte a pixel, 0 black .. 255 white
};

struct Bitmap {
  int width = 0;
  int height = 0;
  PixelFormat format = PixelFormat::RGBA8;
  std::vector<std::uint8_t> pixels;  // rows top to bottom, no padding

  int bytesPerPixel() const { return format == PixelFormat::RGBA8 ? 4 : 1; }
  std::size_t rowBytes() const { return static_cast<std::size_t>(width) * bytesPerPixel(); }
  std::uint8_t* row(int y) { return pixels.data() + rowBytes() * y; }
  const std::uint8_t* row(int y) const { return pixels.data() + rowBytes() * y; }

  static Bitmap make(int width, int height, PixelFormat format) {
    Bitmap b;
    b.width = width;
    b.height = height;
    b.format = format;
    b.pixels.assign(b.rowBytes() * static_cast<std::size_t>(height), 0);
    return b;
  }
};

using BitmapRef = std::shared_ptr<const Bitmap>;

}  // namespace kit
