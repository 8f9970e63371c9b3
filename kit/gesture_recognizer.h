// Gesture recognisers: the model that handlers read and reset.
//
// A recogniser hangs on a view, has a state, a target-action called when
// the state changes, an optional delegate asked whether it may run together
// with another recogniser, and the values its kind measures (translation,
// rotation, scale), which handlers read as increments and reset.
//
// Each kind is a state machine fed by touch delivery (kit/touch_dispatcher.h)
// with its own touches, event by event, each event carrying its time. A
// recogniser never reads a clock and never sleeps: when it must act at a
// later time (a press held long enough, a second tap that never came) it
// names that time as its deadline and delivery calls it back then.
#pragma once

#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "kit/geometry.h"
#include "kit/gesture_config.h"
#include "kit/touch.h"
#include "kit/velocity_estimate.h"

namespace kit {

class View;
class GestureRecognizer;

// The platform's values: Ended is 3.
enum class GestureState {
  Possible = 0,
  Began = 1,
  Changed = 2,
  Ended = 3,
  Cancelled = 4,
  Failed = 5,
};

const char* gestureStateName(GestureState state);

class GestureRecognizerDelegate {
 public:
  virtual ~GestureRecognizerDelegate() = default;
  virtual bool gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(
      GestureRecognizer& recognizer, GestureRecognizer& other) = 0;
};

// What touch delivery offers a recogniser while it handles an event: the
// thresholds, and the answer to whether it may leave Possible now.
class GestureArena {
 public:
  virtual ~GestureArena() = default;
  virtual const GestureConfig& gestureConfig() const = 0;
  // Whether every recogniser that holds a touch shared with recognizer
  // lets it begin (or recognise) now.
  virtual bool mayLeavePossible(GestureRecognizer& recognizer) = 0;
};

class GestureRecognizer {
 public:
  using Action = std::function<void(GestureRecognizer&)>;

  explicit GestureRecognizer(Action action);
  virtual ~GestureRecognizer() = default;
  GestureRecognizer(const GestureRecognizer&) = delete;
  GestureRecognizer& operator=(const GestureRecognizer&) = delete;

  virtual std::string kind() const = 0;

  View* view() const { return view_; }
  GestureState state() const { return state_; }
  GestureRecognizerDelegate* delegate() const { return delegate_; }
  void setDelegate(GestureRecognizerDelegate* delegate) { delegate_ = delegate; }
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled) { enabled_ = enabled; }

  int numberOfTouches() const { return numberOfTouches_; }
  // The centroid of the touches, in the coordinates of view (null: root).
  Point locationInView(const View* view) const;

  // Sets the state and, for every state but Possible and Failed, sends the
  // action. Used by touch delivery, and by tests that play a recogniser.
  void setState(GestureState state);
  // Where the touches are, in root coordinates, and how many.
  void setTouches(Point centroidInRoot, int count);

  // --- Touch delivery ---------------------------------------------------------
  // One event: this recogniser's touches (in the order they came down),
  // each with its phase in this event (Stationary when it did not change),
  // at `time` seconds.
  void handleTouches(const std::vector<Touch>& touches, double time, GestureArena& arena);
  // When the recogniser wants handleDeadline called, if ever.
  std::optional<double> deadline() const { return deadline_; }
  void handleDeadline(double time, GestureArena& arena);
  // Back to Possible, with its touches and any progress forgotten.
  void reset();
  // Possible with progress kept after its touches have gone: a multi-tap
  // waiting for its next tap.
  bool isWaiting() const { return state_ == GestureState::Possible && deadline_.has_value(); }
  // Began, Changed, or Ended and not reset yet: its touches are taken, and
  // a recogniser that may not run with it cannot begin (or recognise) on
  // them until they lift. A tap on a photo is thus not also a tap on the
  // table under it.
  bool holdsTouches() const {
    return state_ == GestureState::Began || state_ == GestureState::Changed ||
           state_ == GestureState::Ended;
  }

 protected:
  virtual void touchesChanged(const std::vector<Touch>& touches, double time) = 0;
  virtual void deadlinePassed(double /*time*/) {}
  virtual void resetProgress() {}

  // Possible → Began (continuous kinds) or Ended (taps) when the arena
  // allows it, otherwise Failed. Answers whether it happened.
  bool tryToBegin();
  bool tryToRecognize();
  // Began/Changed → Cancelled; Possible → Failed.
  void cancelOrFail();
  void setDeadline(std::optional<double> t) { deadline_ = t; }
  const GestureConfig& config() const;

 private:
  friend class View;
  void attachToView(View* view) { view_ = view; }
  bool tryToLeavePossible(GestureState next);

  GestureArena* arena_ = nullptr;  // during a delivery call only
  std::optional<double> deadline_;

  Action action_;
  View* view_ = nullptr;
  GestureRecognizerDelegate* delegate_ = nullptr;
  GestureState state_ = GestureState::Possible;
  bool enabled_ = true;
  int numberOfTouches_ = 0;
  Point location_;  // root coordinates
};

// Where a recogniser's fingers came down and are now, in root coordinates.
struct TrackedFinger {
  int id = 0;
  Point start;
  Point location;
};

// Recognised (Ended) when its taps are done: each tap with exactly
// numberOfTouchesRequired fingers down together, held briefly and still,
// the next tap soon after and near the first.
class TapGestureRecognizer final : public GestureRecognizer {
 public:
  using GestureRecognizer::GestureRecognizer;
  std::string kind() const override { return "tap"; }
  int numberOfTapsRequired = 1;
  int numberOfTouchesRequired = 1;

 private:
  void touchesChanged(const std::vector<Touch>& touches, double time) override;
  void deadlinePassed(double time) override;
  void resetProgress() override;

  std::vector<TrackedFinger> fingers_;
  int tapsDone_ = 0;
  int mostFingers_ = 0;     // down together in this tap
  double tapStart_ = 0;     // when this tap's first finger came down
  Point firstTapLocation_;  // where the first tap came down
};

// Began once numberOfTouchesRequired fingers have been held, still, for
// minimumPressDuration; Changed as they move after that; Ended at a lift.
class LongPressGestureRecognizer final : public GestureRecognizer {
 public:
  using GestureRecognizer::GestureRecognizer;
  std::string kind() const override { return "longPress"; }
  double minimumPressDuration = 0.5;  // seconds
  int numberOfTouchesRequired = 1;

 private:
  void touchesChanged(const std::vector<Touch>& touches, double time) override;
  void deadlinePassed(double time) override;
  void resetProgress() override;

  std::vector<TrackedFinger> fingers_;
};

class PanGestureRecognizer final : public GestureRecognizer {
 public:
  using GestureRecognizer::GestureRecognizer;
  std::string kind() const override { return "pan"; }
  int minimumNumberOfTouches = 1;
  int maximumNumberOfTouches = std::numeric_limits<int>::max();

  // Translation since the last reset, in the coordinates of view.
  Point translationInView(const View* view) const;
  void setTranslation(Point translation, const View* view);
  // Points per second, in the coordinates of view.
  Point velocityInView(const View* view) const;
  // Root coordinates, for touch delivery.
  void setTranslationInRoot(Point t) { translation_ = t; }
  void setVelocityInRoot(Point v) { velocity_ = v; }

 private:
  void touchesChanged(const std::vector<Touch>& touches, double time) override;
  void resetProgress() override;

  Point translation_;                   // root coordinates
  Point velocity_;                      // root coordinates
  std::vector<TrackedFinger> fingers_;  // the ones it follows
  std::vector<int> ignored_;            // came down beyond the maximum
  Point travel_;                        // centroid's movement since the start
  Point travelAtCountChange_;           // travel_ when the count last left range
  VelocityEstimate velocityEstimate_;
};

// The two first fingers of a rotation or pinch, and the line between them.
struct FingerPair {
  std::vector<TrackedFinger> fingers;  // all its touches, in order of arrival
  int firstId = -1, secondId = -1;     // the pair measured; -1: none yet
  Point first, second;                 // their positions at the last measure
  double lastTime = 0;
};

class RotationGestureRecognizer final : public GestureRecognizer {
 public:
  using GestureRecognizer::GestureRecognizer;
  std::string kind() const override { return "rotation"; }
  double rotation = 0;  // radians since the last reset, clockwise on screen
  double velocity = 0;  // radians per second

 private:
  void touchesChanged(const std::vector<Touch>& touches, double time) override;
  void resetProgress() override;

  FingerPair pair_;
  double turned_ = 0;  // since the pair came down, before Began
};

class PinchGestureRecognizer final : public GestureRecognizer {
 public:
  using GestureRecognizer::GestureRecognizer;
  std::string kind() const override { return "pinch"; }
  double scale = 1;     // since the last reset
  double velocity = 0;  // scale per second

 private:
  void touchesChanged(const std::vector<Touch>& touches, double time) override;
  void resetProgress() override;

  FingerPair pair_;
  float startSpan_ = 0;  // when the pair came down, before Began
};

}  // namespace kit
