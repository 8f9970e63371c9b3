// Photo libraries made on the fly for tests: a temporary folder, and JPEG
// and PNG pictures written with the kit's own encoders.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kit/bitmap.h"
#include "kit/image_codec.h"
#include "tests/temp_folder.h"

namespace phototest {

// Removed with everything in it when the test ends.
using TempFolder = testing_files::TempFolder;

// A picture whose colour changes across it, so scaled copies differ from
// turned ones.
inline kit::Bitmap gradient(int width, int height) {
  kit::Bitmap b = kit::Bitmap::make(width, height, kit::PixelFormat::RGBA8);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = b.row(y);
    for (int x = 0; x < width; ++x) {
      row[4 * x + 0] = static_cast<std::uint8_t>(255 * x / std::max(1, width - 1));
      row[4 * x + 1] = static_cast<std::uint8_t>(255 * y / std::max(1, height - 1));
      row[4 * x + 2] = 60;
      row[4 * x + 3] = 255;
    }
  }
  return b;
}

inline void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> jpegBytes(int width, int height, int exifOrientation = 0,
                                           int quality = 85) {
  return kit::encodeJpeg(gradient(width, height), quality, exifOrientation).valueOr({});
}

inline std::vector<std::uint8_t> pngBytes(int width, int height) {
  return kit::encodePng(gradient(width, height)).valueOr({});
}

inline void writeJpeg(const std::filesystem::path& path, int width, int height,
                      int exifOrientation = 0) {
  writeBytes(path, jpegBytes(width, height, exifOrientation));
}

inline void writePng(const std::filesystem::path& path, int width, int height) {
  writeBytes(path, pngBytes(width, height));
}

inline std::uint32_t crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// A PNG whose header claims width × height (with a correct checksum) but
// whose pixel data is that of a 4 × 4 picture.
inline std::vector<std::uint8_t> pngClaiming(std::uint32_t width, std::uint32_t height) {
  std::vector<std::uint8_t> bytes = pngBytes(4, 4);
  // IHDR follows the signature (8) and the chunk's length (4): its type
  // (4), width (4), height (4), five more bytes, then its CRC.
  auto put = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
  };
  put(16, width);
  put(20, height);
  put(29, crc32(bytes.data() + 12, 17));
  return bytes;
}

}  // namespace phototest
