// The diagnostics readout: the motion state as text in bigDisplay, rebuilt
// every frame. The label is kept hidden so the text stays current for
// whoever looks at the view tree (or unhides it while debugging) without
// the user ever seeing it.
#include <cmath>
#include <numbers>

#include "app/vitrane_view_controller.h"
#include "kit/log.h"

namespace {
constexpr const char* kMeterFormat =
    "dTime:%1.1f msec\n"
    "accelX:%1.2f\n"
    "accelY:%1.2f\n"
    "Distance this gesture:%1.1f pts\n"
    "velX:%1.2f\n"
    "velY:%1.2f\n"
    "posX:%1.2f\n"
    "posY:%1.2f\n"
    "Anchor radius:%1.2f\n"
    "Anchor angle:%1.0fº\n"
    "Yaw:%1.0fº,Pit:%1.0fº,Rol:%1.0fº\n"
    "Degrees per sec:%1.0fº\n"
    "omegaSquared:%1.2f\n"
    "rollHeight:%1.2f\n"
    "pitchHeight:%1.2f\n"
    "totalHeight:%1.2f";

float degrees(double radians) {
  return static_cast<float>(radians) * 180 / std::numbers::pi_v<float>;
}
}  // namespace

void VitraneforiPadViewController::updateMeters() {
  // Hidden first, whatever the interface file says: the readout is for
  // development only.
  outlets.bigDisplay->setHidden(true);

  const kit::Attitude attitude = currentAttitude();
  const double omega = turnRateZ();
  const double inches = static_cast<double>(geometry.pointsPerInch);
  outlets.bigDisplay->setText(kit::formatLog(
      kMeterFormat, {velocity.sampleDuration * 1000, velocity.accelX, velocity.accelY,
                     velocity.gestureAccelerometerDistance, velocity.velocityX, velocity.velocityY,
                     velocity.motionX, velocity.motionY, velocity.anchorRadiusEstimate,
                     degrees(velocity.anchorAngleEstimate), degrees(attitude.yaw),
                     degrees(attitude.pitch), degrees(attitude.roll), degrees(omega), omega * omega,
                     std::fabs(geometry.deviceWidth * std::sin(attitude.roll)) / inches,
                     std::fabs(geometry.deviceHeight * std::sin(attitude.pitch)) / inches,
                     deviceTippedHeight()}));
}
