// Begin/commit animation blocks, and the animated properties of views.
//
// Inside a block, setting an animatable property changes its model value at
// once (so a later read sees the target) and starts a track from the value
// drawn now to the target over the block's duration; the presentation value
// at a time t is what is drawn. A new animation of a property that is
// already animating starts from where it is drawn now, so a fade-out during
// a fade-in turns round smoothly.
#pragma once

#include <cstdint>
#include <optional>

#include "kit/clock.h"
#include "kit/geometry.h"

namespace kit {

enum class AnimationCurve { EaseInOut, Linear };

// Progress 0..1 through the curve; EaseInOut is the platform's default,
// the cubic Bézier (0.42, 0) (0.58, 1).
double applyCurve(AnimationCurve curve, double progress);

struct AnimationSettings {
  double start = 0;
  double duration = 0.2;  // the platform's default
  AnimationCurve curve = AnimationCurve::EaseInOut;
};

// The platform's block API. Blocks nest; the innermost open block decides.
void beginAnimations();
void setAnimationDuration(double seconds);
void setAnimationCurve(AnimationCurve curve);
void commitAnimations();
// The settings of the innermost open block, or nothing outside a block.
const AnimationSettings* currentAnimation();

// begin on construction, commit on destruction.
class AnimationBlock {
 public:
  explicit AnimationBlock(double duration, AnimationCurve curve = AnimationCurve::EaseInOut);
  ~AnimationBlock();
  AnimationBlock(const AnimationBlock&) = delete;
  AnimationBlock& operator=(const AnimationBlock&) = delete;
};

// What a host needs to draw only when the picture can have changed: a
// count of visual changes to any view that shows (views count their own;
// see View::showsSubtree), the time until which the running animations
// last, and how many views animate on their own (spinners).
void noteVisualChange();
std::uint64_t visualChangeCount();
void noteAnimationUntil(double time);
double animationsRunUntil();
void noteContinuousAnimation(int delta);
int continuousAnimations();

float interpolate(float from, float to, double t);
Point interpolate(Point from, Point to, double t);
Rect interpolate(const Rect& from, const Rect& to, double t);
// Decomposes both into scale, rotation and translation and interpolates
// those, so a turn stays a turn half way instead of shrinking.
AffineTransform interpolate(const AffineTransform& from, const AffineTransform& to, double t);

// A property with a model value and, while it animates, a track.
template <typename T>
class Animated {
 public:
  Animated() = default;
  explicit Animated(const T& v) : model_(v) {}

  const T& model() const { return model_; }

  // The value drawn at time t.
  T at(double t) const {
    if (!track_ || track_->duration <= 0 || t >= track_->start + track_->duration) return model_;
    if (t <= track_->start) return track_->from;
    const double p = applyCurve(track_->curve, (t - track_->start) / track_->duration);
    return interpolate(track_->from, model_, p);
  }

  bool isAnimating(double t) const { return track_ && t < track_->start + track_->duration; }

  // Sets the model value; inside an animation block also starts a track.
  // Answers whether what is drawn may have changed.
  bool set(const T& v) {
    bool changed = true;
    if (const AnimationSettings* block = currentAnimation(); block && block->duration > 0) {
      const T from = at(block->start);
      track_ = Track{from, block->start, block->duration, block->curve};
      noteAnimationUntil(block->start + block->duration);
    } else {
      changed = track_ || !(model_ == v);
      track_.reset();
    }
    model_ = v;
    return changed;
  }

 private:
  struct Track {
    T from;
    double start;
    double duration;
    AnimationCurve curve;
  };
  T model_{};
  std::optional<Track> track_;
};

}  // namespace kit
