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
// The arena is lent for one call; calls may nest (an action that feeds a
// recogniser), so the previous one comes back after.
class ArenaLoan {
 public:
  ArenaLoan(GestureArena*& slot, GestureArena& arena) : slot_(slot), previous_(slot) {
    slot = &arena;
  }
  ~ArenaLoan() { slot_ = previous_; }
  ArenaLoan(const ArenaLoan&) = delete;
  ArenaLoan& operator=(const ArenaLoan&) = delete;

 private:
  GestureArena*& slot_;
  GestureArena* previous_;
};
}  // namespace

void GestureRecognizer::handleTouches(const std::vector<Touch>& touches, double time,
                                      GestureArena& arena) {
  const ArenaLoan loan(arena_, arena);
  touchesChanged(touches, time);
}

void GestureRecognizer::handleDeadline(double time, GestureArena& arena) {
  if (!deadline_ || time < *deadline_) return;
  const ArenaLoan loan(arena_, arena);
  deadline_.reset();
  deadlinePassed(time);
}

void GestureRecognizer::reset() {
  state_ = GestureState::Possible;
  deadline_.reset();
  numberOfTouches_ = 0;
  resetProgress();
}

bool GestureRecognizer::tryToLeavePossible(GestureState next) {
  if (state_ != GestureState::Possible) return false;
  if (arena_ && !arena_->mayLeavePossible(*this)) {
    deadline_.reset();
    setState(GestureState::Failed);
    return false;
  }
  setState(next);
  return true;
}

bool GestureRecognizer::tryToBegin() { return tryToLeavePossible(GestureState::Began); }

bool GestureRecognizer::tryToRecognize() { return tryToLeavePossible(GestureState::Ended); }

void GestureRecognizer::cancelOrFail() {
  deadline_.reset();
  if (state_ == GestureState::Began || state_ == GestureState::Changed)
    setState(GestureState::Cancelled);
  else if (state_ == GestureState::Possible)
    setState(GestureState::Failed);
}

const GestureConfig& GestureRecognizer::config() const {
  static const GestureConfig defaults;
  return arena_ ? arena_->gestureConfig() : defaults;
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
