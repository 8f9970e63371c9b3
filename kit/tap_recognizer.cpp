// The tap recogniser's state machine.
//
// A tap is a set of fingers that come down, stay within the slop and lift
// again, quickly, having been exactly numberOfTouchesRequired down together
// at some moment. After a tap that is not the last one required, the
// recogniser stays Possible with its count kept (even with no finger down)
// until the next tap comes down, or fails when the interval passes. Each tap
// of a double tap is therefore also a tap for a one-tap recogniser.
#include <algorithm>

#include "kit/finger_tracking.h"
#include "kit/gesture_recognizer.h"

namespace kit {

void TapGestureRecognizer::touchesChanged(const std::vector<Touch>& touches, double time) {
  if (state() != GestureState::Possible) return;
  if (anyCancelled(touches)) {
    cancelOrFail();
    return;
  }
  const GestureConfig& c = config();
  const bool tapComingDown = fingers_.empty();
  const std::vector<int> lifting = trackFingers(fingers_, touches);
  if (fingers_.empty()) return;

  if (tapComingDown) {
    setDeadline(std::nullopt);  // the wait for this tap is over
    tapStart_ = time;
    mostFingers_ = 0;
    const Point here = centroid(fingers_);
    if (tapsDone_ == 0) {
      firstTapLocation_ = here;
    } else if (distance(firstTapLocation_, here) > c.multiTapSlopPoints) {
      cancelOrFail();
      return;
    }
  }
  mostFingers_ = std::max(mostFingers_, static_cast<int>(fingers_.size()));
  setTouches(centroid(fingers_), static_cast<int>(fingers_.size()));

  const int fingersRequired = std::max(1, numberOfTouchesRequired);
  if (mostFingers_ > fingersRequired || farthestFromStart(fingers_) > c.tapSlopPoints ||
      time - tapStart_ > c.tapMaximumDurationSeconds) {
    cancelOrFail();
    return;
  }

  dropFingers(fingers_, lifting);
  if (lifting.empty() || !fingers_.empty()) return;  // the tap is not over yet

  if (mostFingers_ != fingersRequired) {
    cancelOrFail();
    return;
  }
  ++tapsDone_;
  if (tapsDone_ >= std::max(1, numberOfTapsRequired)) {
    tryToRecognize();
    return;
  }
  setDeadline(time + c.multiTapIntervalSeconds);
}

void TapGestureRecognizer::deadlinePassed(double) {
  // The next tap did not come in time.
  cancelOrFail();
}

void TapGestureRecognizer::resetProgress() {
  fingers_.clear();
  tapsDone_ = 0;
  mostFingers_ = 0;
  tapStart_ = 0;
}

}  // namespace kit
