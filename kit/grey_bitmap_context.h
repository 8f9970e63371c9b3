// Grey 8-bit bitmap contexts: one grey sample a point, no alpha, drawn into
// with rectangle fills and scaled images under a blend mode, and snapshots
// of them taken as images.
//
// Coordinates are points with the origin at the top-left sample and y
// down, one sample a point: the rectangle (x, y, w, h) covers the samples
// whose centres lie inside it. What falls outside the bitmap is dropped.
//
// Each drawing that changes samples counts as one generation, and the
// context remembers the boxes its latest drawings touched, so whoever
// keeps a copy of an earlier snapshot (a texture) can bring it up to date
// by copying only what changed.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "kit/bitmap.h"
#include "kit/geometry.h"
#include "kit/image.h"

namespace kit {

// The platform's values for the two modes the application uses.
enum class BlendMode {
  Normal = 0,       // source over destination
  PlusDarker = 26,  // max(0, destination + source − 1), per sample
};

// Whole samples: x0 ≤ x < x1, y0 ≤ y < y1.
struct SampleBox {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool empty() const { return x0 >= x1 || y0 >= y1; }
  int width() const { return empty() ? 0 : x1 - x0; }
  int height() const { return empty() ? 0 : y1 - y0; }
  // The smallest box holding both (an empty box adds nothing).
  SampleBox unite(const SampleBox& other) const;
  bool operator==(const SampleBox&) const = default;
};

// One drawing of a context: the generation it made and the samples it touched.
struct SampleDamage {
  std::uint64_t generation = 0;
  SampleBox box;
};

// A snapshot of a grey context: the samples as they were when it was taken.
class GreyImage {
 public:
  GreyImage(Bitmap samples, std::uint64_t source, std::uint64_t generation,
            std::uint64_t historyStart, std::vector<SampleDamage> history);

  const Bitmap& bitmap() const { return samples_; }
  int width() const { return samples_.width; }
  int height() const { return samples_.height; }
  // The context that made it: unique within the process, never reused.
  std::uint64_t source() const { return source_; }
  std::uint64_t generation() const { return generation_; }

  // The box of every sample that may differ between this snapshot and the
  // context as it was at generation `since` (empty: nothing changed);
  // nothing when the context no longer remembers that far back.
  std::optional<SampleBox> changedSince(std::uint64_t since) const;

 private:
  Bitmap samples_;
  std::uint64_t source_;
  std::uint64_t generation_;
  std::uint64_t historyStart_;         // the generation before the oldest remembered drawing
  std::vector<SampleDamage> history_;  // oldest first
};

using GreyImageRef = std::shared_ptr<const GreyImage>;

class GreyBitmapContext {
 public:
  // How many of the latest drawings a snapshot can account for.
  static constexpr std::size_t kRememberedDrawings = 64;

  // width × height samples, all black; negative sizes count as zero.
  GreyBitmapContext(int width, int height);

  int width() const { return samples_.width; }
  int height() const { return samples_.height; }
  const Bitmap& bitmap() const { return samples_; }
  std::uint64_t generation() const { return generation_; }
  // Unique within the process.
  std::uint64_t source() const { return source_; }

  BlendMode blendMode() const { return blendMode_; }
  void setBlendMode(BlendMode mode) { blendMode_ = mode; }
  // The fill colour as grey and opacity, each 0..1 (an RGB fill colour is
  // taken by its luminance).
  void setFillGray(float grey, float alpha = 1);
  void setFillColor(float red, float green, float blue, float alpha = 1);

  void fillRect(const Rect& rect);
  // The image scaled into rect, filtered bilinearly; a colour image counts
  // by its luminance, and its transparent parts leave the samples alone.
  void drawImage(const Rect& rect, const Image& image);

  // A copy of the samples as they are now.
  GreyImageRef makeImage() const;

  // The fraction of samples that are not white (0 for an empty context).
  double fractionBelowWhite() const;

 private:
  // The samples whose centres lie inside rect, clipped to the bitmap.
  SampleBox coveredSamples(const Rect& rect) const;
  void noteDrawing(const SampleBox& box);

  Bitmap samples_;
  std::uint64_t source_;
  std::uint64_t generation_ = 0;
  std::uint64_t historyStart_ = 0;
  std::vector<SampleDamage> history_;
  BlendMode blendMode_ = BlendMode::Normal;
  float fillGrey_ = 0, fillAlpha_ = 1;
};

}  // namespace kit
