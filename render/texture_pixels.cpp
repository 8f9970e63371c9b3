#include "render/texture_pixels.h"

#include <algorithm>
#include <cmath>

namespace render {

namespace {

bool hasTransparency(const kit::Bitmap& b) {
  if (b.format != kit::PixelFormat::RGBA8) return false;
  const std::uint8_t* p = b.pixels.data();
  const std::size_t n = b.pixels.size();
  for (std::size_t i = 3; i < n; i += 4)
    if (p[i] != 255) return true;
  return false;
}

void premultiply(std::uint8_t* p, std::size_t bytes) {
  for (std::size_t i = 0; i + 3 < bytes; i += 4) {
    const unsigned a = p[i + 3];
    if (a == 255) continue;
    for (int c = 0; c < 3; ++c) p[i + c] = static_cast<std::uint8_t>((p[i + c] * a + 127) / 255);
  }
}

// Each destination pixel averages the source pixels its area covers,
// weighted by how much of each it covers.
std::vector<std::uint8_t> areaAverage(const std::uint8_t* src, int sw, int sh, int channels,
                                      bool premultiplyFirst, int dw, int dh) {
  std::vector<std::uint8_t> out(static_cast<std::size_t>(dw) * dh * channels);
  const double fx = static_cast<double>(sw) / dw, fy = static_cast<double>(sh) / dh;
  std::vector<double> sum(channels);
  for (int y = 0; y < dh; ++y) {
    const double y0 = y * fy, y1 = (y + 1) * fy;
    for (int x = 0; x < dw; ++x) {
      const double x0 = x * fx, x1 = (x + 1) * fx;
      std::fill(sum.begin(), sum.end(), 0.0);
      double area = 0;
      for (int sy = static_cast<int>(y0); sy < std::min(sh, static_cast<int>(std::ceil(y1)));
           ++sy) {
        const double wy = std::min<double>(sy + 1, y1) - std::max<double>(sy, y0);
        for (int sx = static_cast<int>(x0); sx < std::min(sw, static_cast<int>(std::ceil(x1)));
             ++sx) {
          const double w = wy * (std::min<double>(sx + 1, x1) - std::max<double>(sx, x0));
          const std::uint8_t* p = src + (static_cast<std::size_t>(sy) * sw + sx) * channels;
          const double alpha = premultiplyFirst ? p[3] / 255.0 : 1.0;
          for (int c = 0; c < channels; ++c) sum[c] += w * p[c] * (c < 3 ? alpha : 1.0);
          area += w;
        }
      }
      std::uint8_t* d = out.data() + (static_cast<std::size_t>(y) * dw + x) * channels;
      for (int c = 0; c < channels; ++c)
        d[c] = static_cast<std::uint8_t>(std::clamp(std::lround(sum[c] / area), 0L, 255L));
    }
  }
  return out;
}

}  // namespace

TexturePixels prepareTexturePixels(const kit::Bitmap& source, int maxSide) {
  TexturePixels t;
  // A bitmap whose pixel store is shorter than its size claims is not read.
  if (source.width <= 0 || source.height <= 0 ||
      source.pixels.size() < source.rowBytes() * static_cast<std::size_t>(source.height))
    return t;
  t.format = source.format;
  t.width = source.width;
  t.height = source.height;
  t.data = source.pixels.data();
  const bool transparent = hasTransparency(source);
  t.opaque = !transparent;
  maxSide = std::max(1, maxSide);
  if (source.width > maxSide || source.height > maxSide) {
    const double f = static_cast<double>(maxSide) / std::max(source.width, source.height);
    t.width = std::clamp(static_cast<int>(std::lround(source.width * f)), 1, maxSide);
    t.height = std::clamp(static_cast<int>(std::lround(source.height * f)), 1, maxSide);
    t.owned = areaAverage(source.pixels.data(), source.width, source.height, source.bytesPerPixel(),
                          transparent, t.width, t.height);
    t.data = t.owned.data();
    return t;
  }
  if (transparent) {
    t.owned = source.pixels;
    premultiply(t.owned.data(), t.owned.size());
    t.data = t.owned.data();
  }
  return t;
}

}  // namespace render
