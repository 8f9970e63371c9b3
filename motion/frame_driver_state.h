// What the frame driver keeps between and within frames: the motion
// service, the frame's device motion, the heading offset and the flags
// that last one frame.
#pragma once

#include "kit/motion.h"

struct FrameDriverState {
  kit::MotionManager* motionManager = nullptr;
  kit::DeviceMotionRef currentDeviceMotion;
  // Radians: the picture's heading on screen is the yaw less this.
  double yawOffset = 0;
  // The latest finger twist's angle, radians; 0 again every frame.
  double worldRotationThisFrame = 0;
  // A twist or pinch has moved the world's anchor point this frame.
  bool anchorAdjustedThisFrame = false;

  // Every field under its name in the state dump (see visitFields).
  template <class Self, class V>
  static void fields(Self& s, V& v) {
    v("motionManager", s.motionManager);
    v("currentDeviceMotion", s.currentDeviceMotion);
    v("yawOffset", s.yawOffset);
    v("worldRotationThisFrame", s.worldRotationThisFrame);
    v("anchorAdjustedThisFrame", s.anchorAdjustedThisFrame);
  }
};
