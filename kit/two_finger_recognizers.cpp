// The rotation and pinch recognisers' state machines.
//
// Both measure the line between the first two fingers of their touches:
// rotation its turn (positive clockwise on the screen, whose y axis points
// down), pinch its length. Each begins once that measure has changed by
// more than its start threshold since the pair came down, reporting the
// whole change so far; then every move is Changed, and the pair breaking
// (one of the two lifting) is Ended. While Possible, a broken pair is
// formed again from the fingers that remain.
#include <algorithm>
#include <cmath>

#include "kit/finger_tracking.h"
#include "kit/gesture_recognizer.h"

namespace kit {

namespace {

struct PairStep {
  bool measured = false;  // both ends were known before and after
  Point before, after;    // second − first
  bool broken = false;    // one of the pair lifts in this event
  double seconds = 0;     // since the pair's last measure
  Point centroid;         // of all the touches, lifting ones included
  int count = 0;
};

Point lineOf(Point a, Point b) { return {b.x - a.x, b.y - a.y}; }
float lengthOf(Point v) { return std::hypot(v.x, v.y); }

PairStep stepPair(FingerPair& pair, const std::vector<Touch>& touches, double time) {
  PairStep step;
  const std::vector<int> lifting = trackFingers(pair.fingers, touches);
  if (pair.firstId >= 0) {
    const TrackedFinger* a = findFinger(pair.fingers, pair.firstId);
    const TrackedFinger* b = findFinger(pair.fingers, pair.secondId);
    if (a && b) {
      step.measured = true;
      step.before = lineOf(pair.first, pair.second);
      step.after = lineOf(a->location, b->location);
      step.seconds = time - pair.lastTime;
      pair.first = a->location;
      pair.second = b->location;
      pair.lastTime = time;
    }
  }
  auto lifts = [&](int id) {
    return std::find(lifting.begin(), lifting.end(), id) != lifting.end();
  };
  step.broken = pair.firstId >= 0 && (lifts(pair.firstId) || lifts(pair.secondId));
  step.centroid = centroid(pair.fingers);
  step.count = static_cast<int>(pair.fingers.size());
  dropFingers(pair.fingers, lifting);
  return step;
}

// Takes the first two fingers as the pair, when there are two.
bool formPair(FingerPair& pair, double time) {
  if (pair.fingers.size() < 2) {
    pair.firstId = pair.secondId = -1;
    return false;
  }
  pair.firstId = pair.fingers[0].id;
  pair.secondId = pair.fingers[1].id;
  pair.first = pair.fingers[0].location;
  pair.second = pair.fingers[1].location;
  pair.lastTime = time;
  return true;
}

bool isRunning(GestureState s) { return s == GestureState::Began || s == GestureState::Changed; }

}  // namespace

void RotationGestureRecognizer::touchesChanged(const std::vector<Touch>& touches, double time) {
  const GestureState s = state();
  if (s != GestureState::Possible && !isRunning(s)) return;
  if (anyCancelled(touches)) {
    cancelOrFail();
    return;
  }
  const GestureConfig& c = config();
  const PairStep step = stepPair(pair_, touches, time);
  setTouches(step.centroid, step.count);
  double turn = 0;
  if (step.measured && lengthOf(step.before) >= c.twoFingerMinimumSpanPoints &&
      lengthOf(step.after) >= c.twoFingerMinimumSpanPoints) {
    const Point u = step.before, v = step.after;
    turn = std::atan2(static_cast<double>(u.x) * v.y - static_cast<double>(u.y) * v.x,
                      static_cast<double>(u.x) * v.x + static_cast<double>(u.y) * v.y);
  }

  if (s == GestureState::Possible) {
    if (step.broken || pair_.firstId < 0) {
      turned_ = 0;
      formPair(pair_, time);
      return;
    }
    turned_ += turn;
    if (std::fabs(turned_) > c.rotationStartRadians) {
      rotation = turned_;
      velocity = step.seconds > 0 ? turn / step.seconds : 0;
      tryToBegin();
    }
    return;
  }

  if (step.measured) {
    rotation += turn;
    if (step.seconds > 0) velocity = turn / step.seconds;
    if (turn != 0 || step.before.x != step.after.x || step.before.y != step.after.y)
      setState(GestureState::Changed);
  }
  if (step.broken && isRunning(state())) setState(GestureState::Ended);
}

void RotationGestureRecognizer::resetProgress() {
  pair_ = {};
  turned_ = 0;
  rotation = 0;
  velocity = 0;
}

void PinchGestureRecognizer::touchesChanged(const std::vector<Touch>& touches, double time) {
  const GestureState s = state();
  if (s != GestureState::Possible && !isRunning(s)) return;
  if (anyCancelled(touches)) {
    cancelOrFail();
    return;
  }
  const GestureConfig& c = config();
  const PairStep step = stepPair(pair_, touches, time);
  setTouches(step.centroid, step.count);
  double ratio = 1;
  const float spanBefore = lengthOf(step.before), spanAfter = lengthOf(step.after);
  const bool usable = step.measured && spanBefore >= c.twoFingerMinimumSpanPoints &&
                      spanAfter >= c.twoFingerMinimumSpanPoints;
  if (usable) ratio = static_cast<double>(spanAfter) / spanBefore;

  if (s == GestureState::Possible) {
    if (step.broken || pair_.firstId < 0) {
      if (formPair(pair_, time)) startSpan_ = lengthOf(lineOf(pair_.first, pair_.second));
      return;
    }
    if (startSpan_ < c.twoFingerMinimumSpanPoints) {
      // Fingers that came down on one spot: measure from where they part.
      startSpan_ = spanAfter;
      return;
    }
    if (usable && std::fabs(spanAfter - startSpan_) > c.pinchStartSpanChangePoints) {
      scale = static_cast<double>(spanAfter) / startSpan_;
      velocity = step.seconds > 0 ? (ratio - 1) / step.seconds : 0;
      tryToBegin();
    }
    return;
  }

  if (step.measured) {
    scale *= ratio;
    if (step.seconds > 0) velocity = (ratio - 1) / step.seconds;
    if (step.before.x != step.after.x || step.before.y != step.after.y)
      setState(GestureState::Changed);
  }
  if (step.broken && isRunning(state())) setState(GestureState::Ended);
}

void PinchGestureRecognizer::resetProgress() {
  pair_ = {};
  startSpan_ = 0;
  scale = 1;
  velocity = 0;
}

}  // namespace kit
