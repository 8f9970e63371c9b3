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
  if (gestureStarted) {
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
      if (currentTimestamp >= debounceEndTime) {
        kit::log("...stopped and timed out, ending gesture.");
        end = true;
      }
    }
    currentDirection = directionOf(rate);
    if (currentDirection == -gestureDirection) {
      kit::log("Reversed gesture direction, end IMMEDIATELY ?.");
      end = true;
    }
    // Each fast frame pushes the earliest end to shortly after itself,
    // earlier than the start's allowance if that is what it gives.
    if (std::fabs(rate) > kStoppedRate) debounceEndTime = currentTimestamp + kDebounceAfterFastFrame;
    if (end) resetGesture();
  }

  if (deviceIsFlat()) {
    if (!anchorSetByTwist && !gestureStarted) {
      // Flat and idle with no finger pivot: the tablet turns about its middle.
      shiftAnchor(centerAnchor);
      // Unless its pivot is estimated: then every flat turn is one, however
      // the pivot was placed before.
      if (flatPivotMode != FlatPivotMode::Estimate || std::fabs(rate) <= kStartingRate) return;
    }
    if (rotationStartingAtLeast(kStartingRate)) {
      kit::log("Starting new flat gesture.");
      currentDirection = directionOf(rate);
      gestureStarted = true;
      gestureIsFlat = true;
      gestureDirection = currentDirection;
      gestureInitialYaw = currentYaw();
      // The frame's timestamp is that of its acceleration sample.
      gestureStartTime = currentTimestamp;
      debounceEndTime = gestureStartTime + kDebounceAfterStart;
      // Recorded only; a flat turn keeps the pivot it has.
      currentFlatAnchor = cornerFromQuadrant(accelX, accelY, rate);
    }
    return;
  }

  currentGravityAnchor = computedGravityAnchor();
  // A running turn keeps its pivot while tipped.
  if (gestureStarted) return;
  if (currentAnchor != currentGravityAnchor) useGravityAnchor();
  updateGravityGesture();
}

void VitraneforiPadViewController::updateGravityGesture() {
  if (!rotationStartingAtLeast(kStartingRate)) return;
  const double rate = turnRateZ();
  gestureDirection = directionOf(rate);
  kit::log("Starting new tipped %@ gesture at %1.3fº/sec", nameOfDirection(gestureDirection),
           rate * 180 / std::numbers::pi);
  useGravityAnchor();
  gestureStarted = true;
  gestureIsFlat = false;
  gestureInitialYaw = currentYaw();
  gestureStartTime = currentTimestamp;
  debounceEndTime = gestureStartTime + kDebounceAfterStart;
}

void VitraneforiPadViewController::resetGesture() {
  kit::log("Gesture ended.");
  velocityX = velocityY = velocityZ = 0;
  userVelocityX = userVelocityY = userVelocityZ = 0;
  motionX = motionY = motionZ = 0;
  motion = {0, 0};
  positionX = positionY = positionZ = 0;
  gestureStarted = false;
  gestureIsFlat = false;
  gestureDirection = 0;
  gestureSampleCount = 0;
  gestureAngleExtent = 0;
  gestureSumOfDistances = 0;
  gestureRotating = false;
  gestureTranslating = false;
  // The start time, earliest end, last direction, the pivot and the last
  // distance estimate stay for whoever looks at them afterwards.
}

bool VitraneforiPadViewController::rotationStartingAtLeast(double threshold) {
  if (std::fabs(turnRateZ()) <= threshold) return false;
  if (gestureStarted) {
    kit::log("Turning fast enough but busy with gesture.");
    return false;
  }
  return true;
}

bool VitraneforiPadViewController::rotationEnding() {
  return gestureStarted && gestureRotating &&
         (!doesDebounce || currentTimestamp > debounceEndTime) &&
         std::fabs(turnRateZ()) <= kStoppedRate;
}

bool VitraneforiPadViewController::translationStarting() {
  return std::sqrt(accelX * accelX + accelY * accelY) >= kTranslationStart;
}

bool VitraneforiPadViewController::translationEnding() {
  return std::sqrt(accelX * accelX + accelY * accelY) < kTranslationEnd;
}
