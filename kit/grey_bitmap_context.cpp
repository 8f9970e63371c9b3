#include "kit/grey_bitmap_context.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <utility>

namespace kit {

namespace {

std::uint64_t nextSource() {
  static std::atomic<std::uint64_t> counter{0};
  return ++counter;
}

std::uint8_t toByte(float unit) {
  if (!(unit > 0)) return 0;  // NaN too
  if (unit >= 1) return 255;
  return static_cast<std::uint8_t>(std::lround(unit * 255));
}

// Grey by luminance, as a device-grey space sees colour.
float luminance(float r, float g, float b) { return 0.299f * r + 0.587f * g + 0.114f * b; }

// The first sample whose centre lies at or after edge, within 0..limit.
int firstSampleFrom(double edge, int limit) {
  const double i = std::ceil(edge - 0.5);
  return static_cast<int>(std::clamp(i, 0.0, static_cast<double>(limit)));
}

// Where one display sample reads the picture along one stored axis:
// between two stored samples, the weight of the second in 1/256.
struct Tap {
  int i0, i1, w;
};

// Taps for the display samples first..last (exclusive) of a span that
// starts at origin and is extent long, onto a stored axis of n samples,
// read backwards when flipped.
std::vector<Tap> taps(int first, int last, double origin, double extent, int n, bool flipped) {
  std::vector<Tap> out;
  out.reserve(static_cast<std::size_t>(std::max(0, last - first)));
  for (int i = first; i < last; ++i) {
    double s = (i + 0.5 - origin) / extent;  // 0..1 across the span
    if (flipped) s = 1 - s;
    const double x = std::clamp(s * n - 0.5, 0.0, static_cast<double>(n - 1));
    const int i0 = static_cast<int>(x);
    const int i1 = std::min(i0 + 1, n - 1);
    out.push_back({i0, i1, static_cast<int>(std::lround((x - i0) * 256))});
  }
  return out;
}

// The picture as premultiplied grey and opacity planes, one byte a sample.
struct GreyPlanes {
  int width = 0, height = 0;
  bool opaque = true;  // alpha is left empty then
  std::vector<std::uint8_t> grey, alpha;
};

GreyPlanes planesOf(const Bitmap& b) {
  GreyPlanes p;
  const std::size_t n = static_cast<std::size_t>(b.width) * static_cast<std::size_t>(b.height);
  if (b.width <= 0 || b.height <= 0 ||
      b.pixels.size() < n * static_cast<std::size_t>(b.bytesPerPixel()))
    return p;
  p.width = b.width;
  p.height = b.height;
  if (b.format == PixelFormat::Gray8) {
    p.grey.assign(b.pixels.begin(), b.pixels.begin() + static_cast<long>(n));
    return p;
  }
  p.grey.resize(n);
  p.alpha.resize(n);
  for (std::size_t k = 0; k < n; ++k) {
    const std::uint8_t* px = b.pixels.data() + k * 4;
    const float a = px[3] / 255.0f;
    p.grey[k] = toByte(luminance(px[0], px[1], px[2]) / 255.0f * a);
    p.alpha[k] = px[3];
    p.opaque = p.opaque && px[3] == 255;
  }
  if (p.opaque) p.alpha.clear();
  return p;
}

// One line of the picture along display x, interpolated between the two
// stored lines that tap t names across display y (in 1/256).
void interpolateLine(const std::vector<std::uint8_t>& plane, int width, int height, bool turned,
                     const Tap& t, std::vector<int>& out) {
  if (!turned) {
    // Display x runs along stored rows.
    const std::uint8_t* a = plane.data() + static_cast<std::size_t>(t.i0) * width;
    const std::uint8_t* b = plane.data() + static_cast<std::size_t>(t.i1) * width;
    out.resize(static_cast<std::size_t>(width));
    for (int k = 0; k < width; ++k) out[k] = a[k] * (256 - t.w) + b[k] * t.w;
  } else {
    // Display x runs down stored columns.
    out.resize(static_cast<std::size_t>(height));
    for (int k = 0; k < height; ++k) {
      const std::uint8_t* row = plane.data() + static_cast<std::size_t>(k) * width;
      out[k] = row[t.i0] * (256 - t.w) + row[t.i1] * t.w;
    }
  }
}

int alongLine(const std::vector<int>& line, const Tap& t) {
  return (line[t.i0] * (256 - t.w) + line[t.i1] * t.w + 32768) >> 16;
}

// Source over destination, both premultiplied: s + d·(1 − sa).
std::uint8_t over(int d, int s, int sa) {
  return static_cast<std::uint8_t>(s + (d * (255 - sa) + 127) / 255);
}

// max(0, d + s − 1) on premultiplied values: an opaque destination loses
// what the source lacks of its own opacity.
std::uint8_t plusDarker(int d, int s, int sa) {
  const int r = d - (sa - s);
  return static_cast<std::uint8_t>(r > 0 ? r : 0);
}

}  // namespace

SampleBox SampleBox::unite(const SampleBox& o) const {
  if (o.empty()) return *this;
  if (empty()) return o;
  return {std::min(x0, o.x0), std::min(y0, o.y0), std::max(x1, o.x1), std::max(y1, o.y1)};
}

GreyImage::GreyImage(Bitmap samples, std::uint64_t source, std::uint64_t generation,
                     std::uint64_t historyStart, std::vector<SampleDamage> history)
    : samples_(std::move(samples)),
      source_(source),
      generation_(generation),
      historyStart_(historyStart),
      history_(std::move(history)) {}

std::optional<SampleBox> GreyImage::changedSince(std::uint64_t since) const {
  if (since > generation_ || since < historyStart_) return std::nullopt;
  SampleBox box;
  for (const SampleDamage& d : history_)
    if (d.generation > since) box = box.unite(d.box);
  return box;
}

GreyBitmapContext::GreyBitmapContext(int width, int height)
    : samples_(Bitmap::make(std::max(0, width), std::max(0, height), PixelFormat::Gray8)),
      source_(nextSource()) {}

void GreyBitmapContext::setFillGray(float grey, float alpha) {
  fillGrey_ = std::clamp(std::isnan(grey) ? 0.0f : grey, 0.0f, 1.0f);
  fillAlpha_ = std::clamp(std::isnan(alpha) ? 0.0f : alpha, 0.0f, 1.0f);
}

void GreyBitmapContext::setFillColor(float red, float green, float blue, float alpha) {
  setFillGray(luminance(red, green, blue), alpha);
}

SampleBox GreyBitmapContext::coveredSamples(const Rect& r) const {
  const double x = r.origin.x, y = r.origin.y, w = r.size.width, h = r.size.height;
  if (std::isnan(x) || std::isnan(y) || std::isnan(w) || std::isnan(h)) return {};
  const double left = std::min(x, x + w), right = std::max(x, x + w);
  const double top = std::min(y, y + h), bottom = std::max(y, y + h);
  return {firstSampleFrom(left, width()), firstSampleFrom(top, height()),
          firstSampleFrom(right, width()), firstSampleFrom(bottom, height())};
}

void GreyBitmapContext::noteDrawing(const SampleBox& box) {
  ++generation_;
  history_.push_back({generation_, box});
  if (history_.size() > kRememberedDrawings) {
    historyStart_ = history_.front().generation;
    history_.erase(history_.begin());
  }
}

void GreyBitmapContext::fillRect(const Rect& rect) {
  const SampleBox box = coveredSamples(rect);
  if (box.empty()) return;
  const int sa = toByte(fillAlpha_);
  const int s = toByte(fillGrey_ * fillAlpha_);
  for (int y = box.y0; y < box.y1; ++y) {
    std::uint8_t* row = samples_.row(y);
    if (blendMode_ == BlendMode::Normal && sa == 255) {
      std::fill(row + box.x0, row + box.x1, static_cast<std::uint8_t>(s));
      continue;
    }
    for (int x = box.x0; x < box.x1; ++x)
      row[x] =
          blendMode_ == BlendMode::PlusDarker ? plusDarker(row[x], s, sa) : over(row[x], s, sa);
  }
  noteDrawing(box);
}

void GreyBitmapContext::drawImage(const Rect& rect, const Image& image) {
  if (!image.bitmap()) return;
  const SampleBox box = coveredSamples(rect);
  if (box.empty()) return;
  const GreyPlanes planes = planesOf(*image.bitmap());
  if (planes.width == 0) return;

  // Display axes onto stored axes, as the orientation flag turns the picture.
  using O = ImageOrientation;
  const O o = image.orientation();
  const bool turned = isQuarterTurned(o);
  bool flipS = false, flipT = false;  // display x, display y read backwards
  switch (o) {
    case O::UpMirrored: flipS = true; break;
    case O::Down: flipS = flipT = true; break;
    case O::DownMirrored: flipT = true; break;
    case O::LeftMirrored: break;         // stored (t, s)
    case O::Right: flipS = true; break;  // stored (t, 1 − s)
    case O::RightMirrored: flipS = flipT = true; break;
    case O::Left: flipT = true; break;  // stored (1 − t, s)
    default: break;
  }
  const double left = std::min(rect.origin.x, rect.origin.x + rect.size.width);
  const double top = std::min(rect.origin.y, rect.origin.y + rect.size.height);
  const double width = std::fabs(rect.size.width), height = std::fabs(rect.size.height);
  // Along display x the picture has the stored axis of width, unless turned.
  const std::vector<Tap> across =
      taps(box.x0, box.x1, left, width, turned ? planes.height : planes.width, flipS);
  const std::vector<Tap> down =
      taps(box.y0, box.y1, top, height, turned ? planes.width : planes.height, flipT);

  // Bilinear filtering, a display row at a time: the two stored lines it
  // falls between are blended first, then each sample reads that blend.
  const bool darker = blendMode_ == BlendMode::PlusDarker;
  std::vector<int> greyLine, alphaLine;
  for (int y = box.y0; y < box.y1; ++y) {
    std::uint8_t* row = samples_.row(y);
    const Tap& ty = down[static_cast<std::size_t>(y - box.y0)];
    interpolateLine(planes.grey, planes.width, planes.height, turned, ty, greyLine);
    if (planes.opaque) {
      for (int x = box.x0; x < box.x1; ++x) {
        const int s = alongLine(greyLine, across[static_cast<std::size_t>(x - box.x0)]);
        row[x] = darker ? plusDarker(row[x], s, 255) : static_cast<std::uint8_t>(s);
      }
      continue;
    }
    interpolateLine(planes.alpha, planes.width, planes.height, turned, ty, alphaLine);
    for (int x = box.x0; x < box.x1; ++x) {
      const Tap& tx = across[static_cast<std::size_t>(x - box.x0)];
      const int s = alongLine(greyLine, tx), sa = alongLine(alphaLine, tx);
      row[x] = darker ? plusDarker(row[x], s, sa) : over(row[x], s, sa);
    }
  }
  noteDrawing(box);
}

GreyImageRef GreyBitmapContext::makeImage() const {
  return std::make_shared<const GreyImage>(samples_, source_, generation_, historyStart_, history_);
}

double GreyBitmapContext::fractionBelowWhite() const {
  if (samples_.pixels.empty()) return 0;
  const auto white = std::count(samples_.pixels.begin(), samples_.pixels.end(), std::uint8_t{255});
  return 1.0 - static_cast<double>(white) / static_cast<double>(samples_.pixels.size());
}

}  // namespace kit
