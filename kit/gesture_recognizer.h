// Gesture recognisers: the model that handlers read and reset.
//
// A recogniser hangs on a view, has a state, a target-action called when
// the state changes, an optional delegate asked whether it may run together
// with another recogniser, and the values its kind measures (translation,
// rotation, scale), which handlers read as increments and reset.
#pragma once

#include <functional>
#include <limits>
#include <string>

#include "kit/geometry.h"

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

 private:
  friend class View;
  void attachToView(View* view) { view_ = view; }

  Action action_;
  View* view_ = nullptr;
  GestureRecognizerDelegate* delegate_ = nullptr;
  GestureState state_ = GestureState::Possible;
  bool enabled_ = true;
  int numberOfTouches_ = 0;
  Point location_;  // root coordinates
};

class TapGestureRecognizer final : public GestureRecognizer {
 public:
  using GestureRecognizer::GestureRecognizer;
  std::string kind() const override { return "tap"; }
  int numberOfTapsRequired = 1;
  int numberOfTouchesRequired = 1;
};

class LongPressGestureRecognizer final : public GestureRecognizer {
 public:
  using GestureRecognizer::GestureRecognizer;
  std::string kind() const override { return "longPress"; }
  double minimumPressDuration = 0.5;  // seconds
  int numberOfTouchesRequired = 1;
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
  Point translation_;  // root coordinates
  Point velocity_;     // root coordinates
};

class RotationGestureRecognizer final : public GestureRecognizer {
 public:
  using GestureRecognizer::GestureRecognizer;
  std::string kind() const override { return "rotation"; }
  double rotation = 0;  // radians since the last reset, clockwise on screen
  double velocity = 0;  // radians per second
};

class PinchGestureRecognizer final : public GestureRecognizer {
 public:
  using GestureRecognizer::GestureRecognizer;
  std::string kind() const override { return "pinch"; }
  double scale = 1;     // since the last reset
  double velocity = 0;  // scale per second
};

}  // namespace kit
