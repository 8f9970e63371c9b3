// The frame: every accelerometer sample turns the world by the device's
// heading and runs the per-frame steps in a fixed order.
#include "app/vitrane_view_controller.h"
#include "kit/log.h"

namespace {
constexpr double kFrameInterval = 1.0 / 120;
}

void VitraneforiPadViewController::setupMotionTracking() {
  if (!frameDriver.motionManager) frameDriver.motionManager = &platform_.motionManager();

  if (frameDriver.motionManager->isDeviceMotionAvailable()) {
    kit::log("This iPhone 4 supports Vitrane!");
    frameDriver.motionManager->startDeviceMotionUpdates();
    kit::log("Motion Manager update rate defaulted to %1.0f per second",
             1 / frameDriver.motionManager->deviceMotionUpdateInterval());
  } else {
    kit::log("Sorry, only an iPhone 4 or iPod Touch 4 supports Vitrane.");
  }

  kit::Accelerometer& accelerometer = platform_.accelerometer();
  accelerometer.setUpdateInterval(kFrameInterval);
  accelerometer.setDelegate(this);

  kit::log("After accel setup, Motion Manager update rate is %1.0f per second",
           1 / frameDriver.motionManager->deviceMotionUpdateInterval());
}

void VitraneforiPadViewController::teardownVitraneView() {
  if (frameDriver.motionManager) frameDriver.motionManager->stopDeviceMotionUpdates();
}

kit::Attitude VitraneforiPadViewController::currentAttitude() const {
  return frameDriver.currentDeviceMotion ? frameDriver.currentDeviceMotion->attitude()
                                         : kit::Attitude{};
}

double VitraneforiPadViewController::turnRateZ() const {
  return frameDriver.currentDeviceMotion ? frameDriver.currentDeviceMotion->rotationRate().z : 0;
}

kit::Vector3 VitraneforiPadViewController::currentGravity() const {
  return frameDriver.currentDeviceMotion ? frameDriver.currentDeviceMotion->gravity()
                                         : kit::Vector3{0, 0, -1};
}

void VitraneforiPadViewController::accelerometerDidAccelerate(
    kit::Accelerometer&, std::shared_ptr<const kit::Acceleration> sample) {
  frameDriver.currentDeviceMotion = frameDriver.motionManager->deviceMotion();

  // Absolute, not incremental: the heading on screen is a function of the
  // yaw alone, so nothing accumulates and a missed frame is made up.
  const float angle = static_cast<float>(currentYaw() - frameDriver.yawOffset);
  const kit::AffineTransform heading = kit::rotated(kit::AffineTransform::identity(), angle);
  if (pivot.anchorJustSetByTwist())
    kit::log("Finger twist supercedes gyro turn");
  else
    outlets.rotatingView->setTransform(heading);

  frameDriver.worldRotationThisFrame = 0;
  updateVelocities(sample);
  updateShadow();
  updateCurrentGesture();
  updateFlatPivot();
  adjustSeamlessPatch();
  prepareForNextFrame();
}

void VitraneforiPadViewController::prepareForNextFrame() {
  frameDriver.anchorAdjustedThisFrame = false;
  pivot.endFrame();
}
