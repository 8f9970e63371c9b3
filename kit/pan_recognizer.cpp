// The pan recogniser's state machine.
//
// It follows up to maximumNumberOfTouches fingers. Their movement is the
// mean displacement of the fingers that were already down (so a finger
// coming down or lifting does not jump the translation), accumulated as the
// travel. It begins once, with between minimumNumberOfTouches and
// maximumNumberOfTouches fingers down, the travel since the count came into
// range exceeds the start distance; then reports Changed at each move and
// Ended when fewer than the minimum remain. Before it begins, one finger
// too many fails it; after, further fingers are ignored to their end.
#include <algorithm>
#include <cmath>

#include "kit/finger_tracking.h"
#include "kit/gesture_recognizer.h"

namespace kit {

void PanGestureRecognizer::touchesChanged(const std::vector<Touch>& touches, double time) {
  const GestureState s = state();
  if (s != GestureState::Possible && s != GestureState::Began && s != GestureState::Changed) return;
  if (anyCancelled(touches)) {
    cancelOrFail();
    return;
  }
  const GestureConfig& c = config();
  const size_t least = static_cast<size_t>(std::max(1, minimumNumberOfTouches));
  const size_t most = static_cast<size_t>(std::max(1, maximumNumberOfTouches));

  double sumX = 0, sumY = 0;
  int moving = 0;
  std::vector<int> lifting;
  for (const Touch& t : touches) {
    if (auto it = std::find(ignored_.begin(), ignored_.end(), t.id); it != ignored_.end()) {
      if (isLift(t.phase)) ignored_.erase(it);
      continue;
    }
    TrackedFinger* f = findFinger(fingers_, t.id);
    if (!f) {
      if (isLift(t.phase)) continue;
      if (fingers_.size() >= most) {
        if (s == GestureState::Possible) {
          cancelOrFail();
          return;
        }
        ignored_.push_back(t.id);
        continue;
      }
      fingers_.push_back({t.id, t.location, t.location});
      continue;
    }
    sumX += t.location.x - f->location.x;
    sumY += t.location.y - f->location.y;
    ++moving;
    f->location = t.location;
    if (isLift(t.phase)) lifting.push_back(t.id);
  }
  const Point delta =
      moving ? Point{static_cast<float>(sumX / moving), static_cast<float>(sumY / moving)}
             : Point{};
  travel_ = {travel_.x + delta.x, travel_.y + delta.y};
  velocityEstimate_.add(time, travel_);
  velocity_ = velocityEstimate_.velocityAt(time, c.velocityWindowSeconds);
  setTouches(centroid(fingers_), static_cast<int>(fingers_.size()));
  dropFingers(fingers_, lifting);
  const size_t remaining = fingers_.size();

  if (s == GestureState::Possible) {
    if (remaining == 0) {
      cancelOrFail();  // lifted before it moved far enough
      return;
    }
    if (remaining < least || remaining > most) {
      travelAtCountChange_ = travel_;
      return;
    }
    const Point moved{travel_.x - travelAtCountChange_.x, travel_.y - travelAtCountChange_.y};
    if (std::hypot(moved.x, moved.y) > c.panStartDistancePoints) {
      translation_ = moved;
      tryToBegin();
    }
    return;
  }

  const bool hasMoved = delta.x != 0 || delta.y != 0;
  if (hasMoved) {
    translation_ = {translation_.x + delta.x, translation_.y + delta.y};
    setState(GestureState::Changed);
  }
  const GestureState now = state();
  if (remaining < least && (now == GestureState::Began || now == GestureState::Changed))
    setState(GestureState::Ended);
}

void PanGestureRecognizer::resetProgress() {
  translation_ = {};
  velocity_ = {};
  fingers_.clear();
  ignored_.clear();
  travel_ = {};
  travelAtCountChange_ = {};
  velocityEstimate_.clear();
}

}  // namespace kit
