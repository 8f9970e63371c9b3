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
  currentAcceleration = sample;

  prevTimestamp = currentTimestamp;
  currentTimestamp = sample->timestamp;
  sampleDuration = currentTimestamp - prevTimestamp;

  accelX = sample->x * kPointsPerSecond2PerG / kFramesPerSecond / kFramesPerSecond;
  accelY = sample->y * kPointsPerSecond2PerG / kFramesPerSecond / kFramesPerSecond;
  accelZ = sample->z * kPointsPerSecond2PerG / kFramesPerSecond / kFramesPerSecond;

  // The turn recogniser runs after this step, so the window opens with the
  // frame after the one that started the turn.
  if (gestureStarted && gestureSampleCount < kIntegratedFrames) {
    velocityX += accelX;
    velocityY += accelY;
    velocityZ += accelZ;

    motionX += velocityX;
    motionY += velocityY;
    motionZ += velocityZ;
    motion = {static_cast<float>(motionX), static_cast<float>(motionY)};
    positionX = -motionX;
    positionY = -motionY;
    positionZ = -motionZ;

    // The yaw jumps by 2π where it wraps at ±π; a turn across that seam
    // has still turned only the short way.
    gestureAngleExtent = std::remainder(currentYaw() - gestureInitialYaw, 2 * std::numbers::pi);
    gestureAccelerometerDistance = std::sqrt(motionX * motionX + motionY * motionY);
    gestureSumOfDistances += std::fabs(velocityX) + std::fabs(velocityY);
    // Not guarded: with no angle turned yet the estimate is meaningless,
    // and as it is only displayed, inf or nan says so plainly.
    anchorRadiusEstimate = std::fabs(gestureSumOfDistances / gestureAngleExtent);
    // The displacement's direction, mirrored for a clockwise turn so that
    // both senses of turning point the same way relative to the pivot.
    const double d = static_cast<double>(gestureDirection);
    anchorAngleEstimate = -std::atan2(d * motionX, d * motionY);

    ++gestureSampleCount;

    const float ratePerFrame = static_cast<float>(turnRateZ()) / static_cast<float>(kFramesPerSecond);
    kit::log("This frame: yaw rate = %1.1fº/frame, yaw = %1.1fº", ratePerFrame * 180 / kPiF,
             static_cast<float>(currentYaw()) * 180 / kPiF);
  }

  updateMovingImages();
  updateMeters();
}

double VitraneforiPadViewController::distanceThisFrame() {
  // motion is already single precision; the sum stays there too.
  const float squared = motion.x * motion.x + motion.y * motion.y;
  return std::sqrt(static_cast<double>(squared));
}
