// The turn recogniser: once a frame it ends and starts turns of the tablet
// on the table, flat or tipped, and keeps the pivot consistent with what
// the tablet is doing.
#include <cmath>
#include <numbers>

#include "app/vitrane_view_controller.h"
#include "kit/log.h"

namespace {
// Hysteresis on the turn rate (rad/s): a turn starts above the first and
// has stopped at or below the second, so a rate hovering near one
// threshold does not flicker a gesture on and off.
constexpr double kStartingRate = 0.5;
constexpr double kStoppedRate = 0.4;
// How long a slowed turn must wait before it may end (s): from its start,
// and from its latest fast frame.
constexpr double kDebounceAfterStart = 0.1;
constexpr double kDebounceAfterFastFrame = 0.05;
// The stopped rate in degrees per frame, as the log shows it.
constexpr double kStoppedDegreesPerFrame = 0.19098593294620514;
// Tip height (inches) at which a flat turn becomes a lift.
constexpr double kTipInches = 0.5;
// Accelerations (points per frame²) at which a slide starts and has ended.
constexpr double kTranslationStart = 0.1;
constexpr double kTranslationEnd = 0.02;

int directionOf(double rate) { return rate > 0 ? 1 : rate < 0 ? -1 : 0; }

const char* nameOfDirection(int direction) {
  switch (direction) {
    case 1: return "counterclockwise";
    case -1: return "clockwise";
    case 0: return "not turning";
    default: return "bad rotation sign";
  }
}
}  // namespace

void VitraneforiPadViewController::updateCurrentGesture() {
  const double rate = turnRateZ();

  // Ending first, so that a turn ended here can be followed by a new one
  // in the same frame (a reversal restarts at once).
  if (turn.gestureStarted) {
    bool end = false;
    if (startingTip()) {
      kit::log("Lifted corner to %1.1f inches, beyond %1.1f, end current flat gesture.",
               deviceTippedHeight(), kTipInches);
      end = true;
    }
    if (std::fabs(rate) <= kStoppedRate) {
      const float degreesPerFrame =
          static_cast<float>(rate) / 120.0f * 180.0f / std::numbers::pi_v<float>;
      kit::log("Stopped turning, rate %1.2f¬∫/frame below %1.2f¬∫", degreesPerFrame,
               kStoppedDegreesPerFrame);
      if (velocity.currentTimestamp >= turn.debounceEndTime) {
        kit::log("...stopped and timed out, ending gesture.");
        end = true;
      }
    }
    turn.currentDirection = directionOf(rate);
    if (turn.currentDirection == -turn.gestureDirection) {
      kit::log("Reversed gesture direction, end IMMEDIATELY ?.");
      end = true;
    }
    // Each fast frame pushes the earliest end to shortly after itself,
    // earlier than the start's allowance if that is what it gives.
    if (std::fabs(rate) > kStoppedRate)
      turn.debounceEndTime = velocity.currentTimestamp + kDebounceAfterFastFrame;
    if (end) resetGesture();
  }

  if (deviceIsFlat()) {
    if (!pivot.anchorSetByTwist() && !turn.gestureStarted) {
      // Flat and idle with no finger pivot: the tablet turns about its middle.
      shiftAnchor(geometry.center.anchor);
      // Unless its pivot is estimated: then every flat turn is one, however
      // the pivot was placed before.
      if (flatPivotMode != FlatPivotMode::Estimate || std::fabs(rate) <= kStartingRate) return;
    }
    if (rotationStartingAtLeast(kStartingRate)) {
      kit::log("Starting new flat gesture.");
      turn.currentDirection = directionOf(rate);
      turn.gestureStarted = true;
      turn.gestureIsFlat = true;
      turn.gestureDirection = turn.currentDirection;
      turn.gestureInitialYaw = currentYaw();
      // The frame's timestamp is that of its acceleration sample.
      turn.gestureStartTime = velocity.currentTimestamp;
      turn.debounceEndTime = turn.gestureStartTime + kDebounceAfterStart;
      // Recorded only; a flat turn keeps the pivot it has.
      turn.currentFlatAnchor = cornerFromQuadrant(velocity.accelX, velocity.accelY, rate);
    }
    return;
  }

  turn.currentGravityAnchor = computedGravityAnchor();
  // A running turn keeps its pivot while tipped.
  if (turn.gestureStarted) return;
  if (pivot.currentAnchor() != turn.currentGravityAnchor) useGravityAnchor();
  updateGravityGesture();
}

void VitraneforiPadViewController::updateGravityGesture() {
  if (!rotationStartingAtLeast(kStartingRate)) return;
  const double rate = turnRateZ();
  turn.gestureDirection = directionOf(rate);
  kit::log("Starting new tipped %@ gesture at %1.3fº/sec", nameOfDirection(turn.gestureDirection),
           rate * 180 / std::numbers::pi);
  useGravityAnchor();
  turn.gestureStarted = true;
  turn.gestureIsFlat = false;
  turn.gestureInitialYaw = currentYaw();
  turn.gestureStartTime = velocity.currentTimestamp;
  turn.debounceEndTime = turn.gestureStartTime + kDebounceAfterStart;
}

void VitraneforiPadViewController::resetGesture() {
  kit::log("Gesture ended.");
  velocity.velocityX = velocity.velocityY = velocity.velocityZ = 0;
  velocity.userVelocityX = velocity.userVelocityY = velocity.userVelocityZ = 0;
  velocity.motionX = velocity.motionY = velocity.motionZ = 0;
  velocity.motion = {0, 0};
  velocity.positionX = velocity.positionY = velocity.positionZ = 0;
  turn.gestureStarted = false;
  turn.gestureIsFlat = false;
  turn.gestureDirection = 0;
  velocity.gestureSampleCount = 0;
  velocity.gestureAngleExtent = 0;
  velocity.gestureSumOfDistances = 0;
  turn.gestureRotating = false;
  turn.gestureTranslating = false;
  // The start time, earliest end, last direction, the pivot and the last
  // distance estimate stay for whoever looks at them afterwards.
}

bool VitraneforiPadViewController::rotationStartingAtLeast(double threshold) {
  if (std::fabs(turnRateZ()) <= threshold) return false;
  if (turn.gestureStarted) {
    kit::log("Turning fast enough but busy with gesture.");
    return false;
  }
  return true;
}

bool VitraneforiPadViewController::rotationEnding() {
  return turn.gestureStarted && turn.gestureRotating &&
         (!turn.doesDebounce || velocity.currentTimestamp > turn.debounceEndTime) &&
         std::fabs(turnRateZ()) <= kStoppedRate;
}

bool VitraneforiPadViewController::translationStarting() {
  return std::sqrt(velocity.accelX * velocity.accelX + velocity.accelY * velocity.accelY) >=
         kTranslationStart;
}

bool VitraneforiPadViewController::translationEnding() {
  return std::sqrt(velocity.accelX * velocity.accelX + velocity.accelY * velocity.accelY) <
         kTranslationEnd;
}
