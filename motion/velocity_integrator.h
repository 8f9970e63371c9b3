// The acceleration step's state: the frame's sample and its timestamps,
// the scaled acceleration, and the short integration over the first frames
// of a turn, kept for the diagnostics readout (points, frames, radians).
#pragma once

#include <cstdint>
#include <memory>

#include "kit/geometry.h"
#include "kit/motion.h"

struct VelocityIntegrator {
  std::shared_ptr<const kit::Acceleration> currentAcceleration;
  double currentTimestamp = 0, prevTimestamp = 0, sampleDuration = 0;
  double accelX = 0, accelY = 0, accelZ = 0;
  double velocityX = 0, velocityY = 0, velocityZ = 0;
  double motionX = 0, motionY = 0, motionZ = 0;
  kit::Point motion;
  double positionX = 0, positionY = 0, positionZ = 0;
  double userVelocityX = 0, userVelocityY = 0, userVelocityZ = 0;
  double gestureAngleExtent = 0, gestureSumOfDistances = 0, gestureAccelerometerDistance = 0;
  double anchorRadiusEstimate = 0, anchorAngleEstimate = 0;
  std::int8_t gestureSampleCount = 0;

  // Every field under its name in the state dump (see visitFields).
  template <class Self, class V>
  static void fields(Self& s, V& v) {
    v("currentAcceleration", s.currentAcceleration);
    v("currentTimestamp", s.currentTimestamp);
    v("prevTimestamp", s.prevTimestamp);
    v("sampleDuration", s.sampleDuration);
    v("accelX", s.accelX);
    v("accelY", s.accelY);
    v("accelZ", s.accelZ);
    v("velocityX", s.velocityX);
    v("velocityY", s.velocityY);
    v("velocityZ", s.velocityZ);
    v("motionX", s.motionX);
    v("motionY", s.motionY);
    v("motionZ", s.motionZ);
    v("motion", s.motion);
    v("positionX", s.positionX);
    v("positionY", s.positionY);
    v("positionZ", s.positionZ);
    v("userVelocityX", s.userVelocityX);
    v("userVelocityY", s.userVelocityY);
    v("userVelocityZ", s.userVelocityZ);
    v("gestureAngleExtent", s.gestureAngleExtent);
    v("gestureSumOfDistances", s.gestureSumOfDistances);
    v("gestureAccelerometerDistance", s.gestureAccelerometerDistance);
    v("anchorRadiusEstimate", s.anchorRadiusEstimate);
    v("anchorAngleEstimate", s.anchorAngleEstimate);
    v("gestureSampleCount", s.gestureSampleCount);
  }
};
