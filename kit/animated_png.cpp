#include "kit/animated_png.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "kit/image_codec_parts.h"

namespace kit {
namespace {

using Bytes = std::vector<std::uint8_t>;

void put32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}
void put16(Bytes& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

void chunk(Bytes& png, const char* type, const Bytes& data) {
  put32(png, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  put32(png, static_cast<std::uint32_t>(
                 crc32(0, png.data() + start, static_cast<uInt>(png.size() - start))));
}

std::uint8_t paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return static_cast<std::uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// One frame's pixels as PNG image data: every row Paeth-filtered (what
// photographs and rendered scenes compress best with), then deflated.
bool frameData(const Bitmap& frame, int channels, Bytes& out) {
  const int bpp = frame.bytesPerPixel();
  const std::size_t rowBytes =
      static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(channels);
  Bytes raw, previous(rowBytes, 0), current(rowBytes);
  raw.reserve((rowBytes + 1) * static_cast<std::size_t>(frame.height));
  for (int y = 0; y < frame.height; ++y) {
    const std::uint8_t* in = frame.row(y);
    for (int x = 0; x < frame.width; ++x)
      std::memcpy(&current[static_cast<std::size_t>(x * channels)], in + x * bpp,
                  static_cast<std::size_t>(channels));
    raw.push_back(4);
    for (std::size_t i = 0; i < rowBytes; ++i) {
      const int left = i >= static_cast<std::size_t>(channels) ? current[i - channels] : 0;
      const int upLeft = i >= static_cast<std::size_t>(channels) ? previous[i - channels] : 0;
      raw.push_back(static_cast<std::uint8_t>(current[i] - paeth(left, previous[i], upLeft)));
    }
    std::swap(previous, current);
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  out.resize(size);
  if (compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK)
    return false;
  out.resize(size);
  return true;
}

}  // namespace

Result<std::vector<std::uint8_t>> encodeAnimatedPng(const std::vector<Bitmap>& frames,
                                                    int delayNumerator, int delayDenominator) {
  if (frames.empty()) return Error{"no frames"};
  const Bitmap& first = frames.front();
  if (first.width <= 0 || first.height <= 0) return Error{"frames have no pixels"};
  for (const Bitmap& f : frames)
    if (f.width != first.width || f.height != first.height || f.format != first.format ||
        f.pixels.size() < f.rowBytes() * static_cast<std::size_t>(f.height))
      return Error{"frames differ in size or format"};
  if (delayNumerator < 0 || delayNumerator > 0xFFFF || delayDenominator <= 0 ||
      delayDenominator > 0xFFFF)
    return Error{"frame delay out of range"};

  const bool rgba = first.format == PixelFormat::RGBA8;
  bool opaque = true;
  for (const Bitmap& f : frames)
    for (std::size_t i = 3; rgba && opaque && i < f.pixels.size(); i += 4)
      opaque = f.pixels[i] == 255;
  const int channels = rgba ? (opaque ? 3 : 4) : 1;

  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes ihdr;
  put32(ihdr, static_cast<std::uint32_t>(first.width));
  put32(ihdr, static_cast<std::uint32_t>(first.height));
  ihdr.insert(ihdr.end(), {8, static_cast<std::uint8_t>(rgba ? (opaque ? 2 : 6) : 0), 0, 0, 0});
  chunk(out, "IHDR", ihdr);
  Bytes actl;
  put32(actl, static_cast<std::uint32_t>(frames.size()));
  put32(actl, 0);  // loops forever
  chunk(out, "acTL", actl);

  std::uint32_t sequence = 0;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    Bytes fctl;
    put32(fctl, sequence++);
    put32(fctl, static_cast<std::uint32_t>(first.width));
    put32(fctl, static_cast<std::uint32_t>(first.height));
    put32(fctl, 0);
    put32(fctl, 0);
    put16(fctl, static_cast<std::uint32_t>(delayNumerator));
    put16(fctl, static_cast<std::uint32_t>(delayDenominator));
    fctl.push_back(0);  // dispose: none
    fctl.push_back(0);  // blend: source (each frame replaces the last whole)
    chunk(out, "fcTL", fctl);
    Bytes data;
    if (!frameData(frames[i], channels, data)) return Error{"cannot compress a frame"};
    if (i == 0) {
      chunk(out, "IDAT", data);
    } else {
      Bytes fdat;
      put32(fdat, sequence++);
      fdat.insert(fdat.end(), data.begin(), data.end());
      chunk(out, "fdAT", fdat);
    }
  }
  chunk(out, "IEND", {});
  return out;
}

Bitmap fittedBitmap(const Bitmap& source, Size box) {
  const codec::Dimensions target = codec::fitted(source.width, source.height, box);
  if (target.width == source.width && target.height == source.height) return source;
  codec::RowResampler resampler(source.width, source.height, target.width, target.height,
                                source.format);
  for (int y = 0; y < source.height; ++y) resampler.addRow(source.row(y));
  return resampler.finish();
}

}  // namespace kit
