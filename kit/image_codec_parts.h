// What the image codecs share inside the kit: sizes, the row-by-row
// resampler, EXIF reading, and the decoders of the formats that come from
// optional libraries. Not for use outside kit/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "kit/bitmap.h"
#include "kit/geometry.h"
#include "kit/image.h"
#include "kit/image_codec.h"

namespace kit::codec {

struct Dimensions {
  int width = 0;
  int height = 0;
};

// The largest size of width × height's aspect that fits inside box, never
// more than width × height.
Dimensions fitted(int width, int height, Size box);

// The box applies to the picture as shown, the result to the bitmap as stored.
Dimensions storedTarget(int width, int height, ImageOrientation orientation, Size box);

// False when the memory cannot be had; the bitmap is then empty.
bool allocatePixels(Bitmap& bitmap, std::uint32_t width, std::uint32_t height, PixelFormat format);

// The orientation tag (1..8) of an EXIF block that starts "Exif\0\0", or of
// a bare TIFF header; 0 when there is none or it cannot be read.
int exifOrientation(const std::uint8_t* body, std::size_t length);
int tiffOrientation(const std::uint8_t* tiff, std::size_t size);

// "image is W x H pixels, more than the limit of N"
std::string tooManyPixels(std::uint64_t width, std::uint64_t height, std::uint64_t limit);

// Resampling: each output pixel is the area-weighted average of the source
// pixels it covers. Colour is averaged weighted by alpha, so a transparent
// neighbour's (meaningless) colour does not bleed in as a dark fringe.

struct AxisWeights {
  struct Span {
    int first = 0;
    int count = 0;
    std::size_t weights = 0;  // index of the first weight
  };
  std::vector<Span> spans;
  std::vector<float> weights;
};

AxisWeights boxWeights(int sourceSize, int targetSize);
std::uint8_t toByte(float v);

// Resamples a picture whose rows arrive one at a time, top to bottom, so a
// decoder can hand them over as it makes them: only the output and the few
// output rows still being summed are held, never the whole source.
class RowResampler {
 public:
  RowResampler(int sourceWidth, int sourceHeight, int width, int height, PixelFormat format)
      : channels_(format == PixelFormat::RGBA8 ? 4 : 1),
        xs_(boxWeights(sourceWidth, width)),
        ys_(boxWeights(sourceHeight, height)),
        out_(Bitmap::make(width, height, format)),
        line_(static_cast<std::size_t>(width) * channels_) {}

  // The next source row, width × channels bytes.
  void addRow(const std::uint8_t* in) {
    horizontalPass(in);
    // The output rows this source row falls in: spans move down with y.
    for (int y = done_; y < out_.height; ++y) {
      const AxisWeights::Span& span = ys_.spans[static_cast<std::size_t>(y)];
      if (span.first > row_) break;
      const int j = row_ - span.first;
      if (j >= span.count) continue;
      std::vector<float>& sum = openRow(y);
      const float wy = ys_.weights[span.weights + static_cast<std::size_t>(j)];
      if (wy != 0)
        for (std::size_t k = 0; k < sum.size(); ++k) sum[k] += wy * line_[k];
    }
    ++row_;
    // Output rows whose last source row has come are written and let go.
    while (done_ < out_.height) {
      const AxisWeights::Span& span = ys_.spans[static_cast<std::size_t>(done_)];
      if (span.first + span.count > row_) break;
      writeRow(done_, openRow(done_));
      open_.erase(open_.begin());
      ++done_;
    }
  }

  Bitmap finish() { return std::move(out_); }

 private:
  // One source row filtered across: colour weighted by alpha.
  void horizontalPass(const std::uint8_t* in) {
    std::fill(line_.begin(), line_.end(), 0.0f);
    const bool rgba = channels_ == 4;
    for (int x = 0; x < out_.width; ++x) {
      const AxisWeights::Span& horizontal = xs_.spans[static_cast<std::size_t>(x)];
      float* acc = &line_[static_cast<std::size_t>(x) * channels_];
      for (int i = 0; i < horizontal.count; ++i) {
        const float w = xs_.weights[horizontal.weights + static_cast<std::size_t>(i)];
        const std::uint8_t* p = in + static_cast<std::size_t>(horizontal.first + i) * channels_;
        if (rgba) {
          const float wa = w * p[3];
          acc[0] += wa * p[0];
          acc[1] += wa * p[1];
          acc[2] += wa * p[2];
          acc[3] += wa;
        } else {
          acc[0] += w * p[0];
        }
      }
    }
  }

  std::vector<float>& openRow(int y) {
    const auto index = static_cast<std::size_t>(y - done_);
    while (open_.size() <= index) open_.emplace_back(line_.size(), 0.0f);
    return open_[index];
  }

  void writeRow(int y, const std::vector<float>& sum) {
    std::uint8_t* o = out_.row(y);
    for (int x = 0; x < out_.width; ++x) {
      const float* acc = &sum[static_cast<std::size_t>(x) * channels_];
      std::uint8_t* p = o + static_cast<std::size_t>(x) * channels_;
      if (channels_ == 4) {
        const float a = acc[3];
        for (int c = 0; c < 3; ++c) p[c] = a > 0 ? toByte(acc[c] / a) : 0;
        p[3] = toByte(a);
      } else {
        p[0] = toByte(acc[0]);
      }
    }
  }

  const std::size_t channels_;
  const AxisWeights xs_, ys_;
  Bitmap out_;
  std::vector<float> line_;
  std::deque<std::vector<float>> open_;  // sums of output rows done_, done_ + 1, ...
  int row_ = 0;                          // source rows received
  int done_ = 0;                         // output rows written
};

// What a format's decoder hands back: the bitmap as stored (possibly still
// larger than target, which decodeImage then reduces), and the orientation
// still to be applied.
struct FormatDecode {
  Bitmap bitmap;
  Dimensions target;
  ImageOrientation orientation = ImageOrientation::Up;
  std::string error;
};

// Present only in builds with the library (VITRANE_HAVE_WEBP, VITRANE_HAVE_HEIF).
bool decodeWebp(const std::uint8_t* data, std::size_t size, const DecodeOptions& options,
                FormatDecode& out);
bool decodeHeif(const std::uint8_t* data, std::size_t size, const DecodeOptions& options,
                FormatDecode& out);

}  // namespace kit::codec
