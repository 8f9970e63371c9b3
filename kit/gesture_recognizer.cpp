#include "kit/gesture_recognizer.h"

#include <utility>

#include "kit/view.h"

namespace kit {

const char* gestureStateName(GestureState state) {
  switch (state) {
    case GestureState::Possible: return "Possible";
    case GestureState::Began: return "Began";
    case GestureState::Changed: return "Changed";
    case GestureState::Ended: return "Ended";
    case GestureState::Cancelled: return "Cancelled";
    case GestureState::Failed: return "Failed";
  }
  return "?";
}

GestureRecognizer::GestureRecognizer(Action action) : action_(std::move(action)) {}

Point GestureRecognizer::locationInView(const View* view) const {
  if (!view) return location_;
  return view->convertPointFromView(location_, nullptr);
}

void GestureRecognizer::setState(GestureState state) {
  state_ = state;
  if (state != GestureState::Possible && state != GestureState::Failed && action_) action_(*this);
}

void GestureRecognizer::setTouches(Point centroidInRoot, int count) {
  location_ = centroidInRoot;
  numberOfTouches_ = count;
}

namespace {
// A vector in root coordinates expressed in view's coordinates.
Point vectorFromRoot(Point v, const View* view) {
  if (!view) return v;
  const Point o = view->convertPointFromView({0, 0}, nullptr);
  const Point p = view->convertPointFromView(v, nullptr);
  return {p.x - o.x, p.y - o.y};
}
Point vectorToRoot(Point v, const View* view) {
  if (!view) return v;
  const Point o = view->convertPointToView({0, 0}, nullptr);
  const Point p = view->convertPointToView(v, nullptr);
  return {p.x - o.x, p.y - o.y};
}
}  // namespace

Point PanGestureRecognizer::translationInView(const View* view) const {
  return vectorFromRoot(translation_, view);
}

void PanGestureRecognizer::setTranslation(Point translation, const View* view) {
  translation_ = vectorToRoot(translation, view);
}

Point PanGestureRecognizer::velocityInView(const View* view) const {
  return vectorFromRoot(velocity_, view);
}

}  // namespace kit
