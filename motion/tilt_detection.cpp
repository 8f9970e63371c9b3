// How far the tablet is lifted off the table, and the predicates built on
// it.
#include <cmath>
#include <numbers>

#include "app/vitrane_view_controller.h"

namespace {
constexpr double kFlatInches = 0.35;     // at or below: flat; a tip has ended
constexpr double kTipInches = 0.5;       // at or above during a flat turn: a tip starts
constexpr double kLevelRadians = 0.035;  // about 2°: that axis is level
constexpr double kSteepRadians = std::numbers::pi / 6;  // 30°: that axis is steep
}  // namespace

double VitraneforiPadViewController::deviceTippedHeight() {
  // Roll lifts a long side by the width, pitch the top or bottom by the
  // height; a corner combines the two as the legs of a right angle.
  const kit::Attitude a = currentAttitude();
  const double side = geometry.deviceWidth * std::sin(a.roll);
  const double end = geometry.deviceHeight * std::sin(a.pitch);
  return std::sqrt(side * side + end * end) / static_cast<double>(geometry.pointsPerInch);
}

bool VitraneforiPadViewController::deviceIsFlat() {
  return std::fabs(deviceTippedHeight()) <= kFlatInches;
}

bool VitraneforiPadViewController::startingTip() {
  return turn.gestureIsFlat && deviceTippedHeight() >= kTipInches;
}

bool VitraneforiPadViewController::endedTip() { return deviceTippedHeight() <= kFlatInches; }

bool VitraneforiPadViewController::deviceIsOnLongEdge() {
  const kit::Attitude a = currentAttitude();
  return std::fabs(a.pitch) <= kLevelRadians && std::fabs(a.roll) >= kSteepRadians;
}

bool VitraneforiPadViewController::deviceIsOnShortEdge() {
  const kit::Attitude a = currentAttitude();
  return std::fabs(a.roll) <= kLevelRadians && std::fabs(a.pitch) >= kSteepRadians;
}
