// The tablet the application is laid out for, in the units it uses: its body
// and screen, and the scale it reads its accelerometer with. Hosts that
// simulate a tablet build it from these, so the simulated body is the one
// the application's geometry assumes.
#pragma once

#include "kit/geometry.h"
#include "kit/simulated_tablet.h"

namespace device {

inline constexpr double kBodyWidthInches = 7.31;
inline constexpr double kBodyHeightInches = 9.5;
// A corner pivot sits this far inside the body's corner, where its rounded
// corner touches the table.
inline constexpr double kCornerInsetInches = 0.2;
inline constexpr int kScreenWidth = 768;    // points
inline constexpr int kScreenHeight = 1024;  // points
inline constexpr int kPointsPerInch = 132;
// The motion sensor's place under the glass, screen points.
inline constexpr kit::Point kSensorLocation{801.0f, 396.0f};
// One g in points per second²: 132 points per inch × 12 inches per foot ×
// 32.2 feet per second². Not derived from kPointsPerInch: the scale belongs
// to the sensor, whatever geometry is in force.
inline constexpr double kPointsPerSecond2PerG = 51004.8;

// The simulated tablet of this body, screen and sensor.
inline kit::TabletBody tabletBody() {
  kit::TabletBody g;
  g.pointsPerInch = kPointsPerInch;
  g.screenWidth = kScreenWidth;
  g.screenHeight = kScreenHeight;
  g.bodyWidthInches = kBodyWidthInches;
  g.bodyHeightInches = kBodyHeightInches;
  g.cornerInsetInches = kCornerInsetInches;
  g.sensor = kSensorLocation;
  g.pointsPerSecond2PerG = kPointsPerSecond2PerG;
  return g;
}

}  // namespace device
