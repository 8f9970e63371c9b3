// The long-press recogniser's state machine.
//
// Possible while the fingers come down and are held within the allowed
// movement; once numberOfTouchesRequired are down, the press is timed from
// that event, and at exactly minimumPressDuration later (the deadline)
// it begins. After that it follows the fingers freely (Changed at each
// move) and ends at the first lift. Too many fingers, too much movement or
// a lift before the deadline fail it.
#include <algorithm>

#include "kit/finger_tracking.h"
#include "kit/gesture_recognizer.h"

namespace kit {

void LongPressGestureRecognizer::touchesChanged(const std::vector<Touch>& touches, double time) {
  const GestureState s = state();
  if (s != GestureState::Possible && s != GestureState::Began && s != GestureState::Changed) return;
  if (anyCancelled(touches)) {
    cancelOrFail();
    return;
  }
  const std::vector<int> lifting = trackFingers(fingers_, touches);
  setTouches(centroid(fingers_), static_cast<int>(fingers_.size()));
  const size_t required = static_cast<size_t>(std::max(1, numberOfTouchesRequired));

  if (s == GestureState::Possible) {
    if (fingers_.size() > required || !lifting.empty() ||
        farthestFromStart(fingers_) > config().pressAllowedMovementPoints) {
      cancelOrFail();
      return;
    }
    if (fingers_.size() == required && !deadline()) {
      if (minimumPressDuration > 0)
        setDeadline(time + minimumPressDuration);
      else
        tryToBegin();
    }
    return;
  }

  const bool moved = std::any_of(touches.begin(), touches.end(),
                                 [](const Touch& t) { return t.phase == TouchPhase::Moved; });
  if (!lifting.empty()) {
    setState(GestureState::Ended);
    return;
  }
  if (moved) setState(GestureState::Changed);
}

void LongPressGestureRecognizer::deadlinePassed(double) {
  const size_t required = static_cast<size_t>(std::max(1, numberOfTouchesRequired));
  if (state() == GestureState::Possible && fingers_.size() == required) tryToBegin();
}

void LongPressGestureRecognizer::resetProgress() { fingers_.clear(); }

}  // namespace kit
