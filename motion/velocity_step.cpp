// The velocity step: the sample's timestamps and scaled accelerations every
// frame, and a double integration over the first frames of a turn that
// guesses how far from the pivot the tablet is moving. The guesses are only
// shown (diagnostics and log); nothing on screen is moved by them, because
// integrated accelerometer noise drifts far too quickly to steer the picture.
#include <cmath>
#include <numbers>

#include "app/device_facts.h"
#include "app/vitrane_view_controller.h"
#include "kit/log.h"

namespace {
using device::kPointsPerSecond2PerG;
constexpr double kFramesPerSecond = 120;
// Enough frames for a usable estimate before the integration drifts.
constexpr int kIntegratedFrames = 6;

constexpr float kPiF = std::numbers::pi_v<float>;
}  // namespace

void VitraneforiPadViewController::updateVelocities(
    const std::shared_ptr<const kit::Acceleration>& sample) {
  velocity.currentAcceleration = sample;

  velocity.prevTimestamp = velocity.currentTimestamp;
  velocity.currentTimestamp = sample->timestamp;
  velocity.sampleDuration = velocity.currentTimestamp - velocity.prevTimestamp;

  velocity.accelX = sample->x * kPointsPerSecond2PerG / kFramesPerSecond / kFramesPerSecond;
  velocity.accelY = sample->y * kPointsPerSecond2PerG / kFramesPerSecond / kFramesPerSecond;
  velocity.accelZ = sample->z * kPointsPerSecond2PerG / kFramesPerSecond / kFramesPerSecond;

  // The turn recogniser runs after this step, so the window opens with the
  // frame after the one that started the turn.
  if (turn.gestureStarted && velocity.gestureSampleCount < kIntegratedFrames) {
    velocity.velocityX += velocity.accelX;
    velocity.velocityY += velocity.accelY;
    velocity.velocityZ += velocity.accelZ;

    velocity.motionX += velocity.velocityX;
    velocity.motionY += velocity.velocityY;
    velocity.motionZ += velocity.velocityZ;
    velocity.motion = {static_cast<float>(velocity.motionX), static_cast<float>(velocity.motionY)};
    velocity.positionX = -velocity.motionX;
    velocity.positionY = -velocity.motionY;
    velocity.positionZ = -velocity.motionZ;

    // The yaw jumps by 2π where it wraps at ±π; a turn across that seam
    // has still turned only the short way.
    velocity.gestureAngleExtent =
        std::remainder(currentYaw() - turn.gestureInitialYaw, 2 * std::numbers::pi);
    velocity.gestureAccelerometerDistance =
        std::sqrt(velocity.motionX * velocity.motionX + velocity.motionY * velocity.motionY);
    velocity.gestureSumOfDistances += std::fabs(velocity.velocityX) + std::fabs(velocity.velocityY);
    // Not guarded: with no angle turned yet the estimate is meaningless,
    // and as it is only displayed, inf or nan says so plainly.
    velocity.anchorRadiusEstimate =
        std::fabs(velocity.gestureSumOfDistances / velocity.gestureAngleExtent);
    // The displacement's direction, mirrored for a clockwise turn so that
    // both senses of turning point the same way relative to the pivot.
    const double d = static_cast<double>(turn.gestureDirection);
    velocity.anchorAngleEstimate = -std::atan2(d * velocity.motionX, d * velocity.motionY);

    ++velocity.gestureSampleCount;

    const float ratePerFrame =
        static_cast<float>(turnRateZ()) / static_cast<float>(kFramesPerSecond);
    kit::log("This frame: yaw rate = %1.1fº/frame, yaw = %1.1fº", ratePerFrame * 180 / kPiF,
             static_cast<float>(currentYaw()) * 180 / kPiF);
  }

  updateMovingImages();
  updateMeters();
}

double VitraneforiPadViewController::distanceThisFrame() {
  // motion is already single precision; the sum stays there too.
  const float squared =
      velocity.motion.x * velocity.motion.x + velocity.motion.y * velocity.motion.y;
  return std::sqrt(static_cast<double>(squared));
}
