// Sensor fusion for real motion sensors: a complementary filter of the
// Mahony kind. The gyroscope is integrated into an orientation; the
// accelerometer pulls the orientation's vertical toward the measured one
// (and a magnetometer, when there is one, pulls the heading toward
// magnetic north). The gyroscope's bias is learnt while the device lies
// still, and the accelerometer is not listened to while the device is being
// moved (its reading is then gravity plus the hand's push).
//
// Inputs and outputs are in the kit's conventions (kit/motion.h): device
// axes x right, y top, z out of the screen; the accelerometer reads
// (0, 0, -1) g lying face up; rates in rad/s, right-handed about the device
// axes. The orientation maps device axes to the world's: x east, y north,
// z up, with attitude Rz(yaw - pi/2) * Rx(pitch) * Ry(roll) as the simulated
// tablet has it. Without a magnetometer "north" is wherever the top edge
// pointed at the first reading: the yaw starts at `startYaw` and is
// relative from then on.
#pragma once

#include <deque>
#include <numbers>
#include <optional>

#include "kit/motion.h"

namespace kit {

struct Quaternion {
  double w = 1, x = 0, y = 0, z = 0;
};

struct AttitudeFilterSettings {
  double accelGain = 0.5;       // 1/s: how fast the vertical follows the accelerometer
  double stillAccelGain = 2.0;  // 1/s: the same while the device lies still
  double magnGain = 0.3;        // 1/s: how fast the heading follows the magnetometer
  double accelTolerance = 0.1;  // g: a reading further than this from 1 g is not gravity
  double fastTurn = 1.0;        // rad/s: turning faster, the accelerometer is ignored
  // Stillness: over stillSeconds, no gyroscope axis moves more than
  // stillGyroBand and no accelerometer axis more than stillAccelBand, the
  // reading is gravity, and the mean rate is one a bias could explain.
  double stillSeconds = 0.5;
  double stillGyroBand = 0.03;    // rad/s, largest minus smallest
  double stillAccelBand = 0.03;   // g, largest minus smallest
  double maxBias = 0.1;           // rad/s
  double biasChange = 0.01;       // rad/s: once learnt, a steadier rate further off is a slow turn
  double biasTimeConstant = 2.0;  // s
  double startYaw = std::numbers::pi / 2;
};

class AttitudeFilter {
 public:
  explicit AttitudeFilter(AttitudeFilterSettings settings = {});

  // One reading of the sensors, dt seconds after the previous one (the
  // first reading's dt is not used). accel in g, gyro in rad/s, magn in any
  // unit. Readings with a non-finite value, or an accelerometer reading of
  // nothing, are refused (false) and change nothing.
  bool update(const Vector3& accel, const Vector3& gyro, const std::optional<Vector3>& magn,
              double dt);
  void reset();

  bool isInitialised() const { return initialised_; }
  bool isStill() const { return still_; }
  std::optional<Vector3> gyroBias() const {
    return biasKnown_ ? std::optional(bias_) : std::nullopt;
  }

  Quaternion orientation() const { return q_; }
  Attitude attitude() const;
  Vector3 gravity() const;                        // g, unit length
  Vector3 rotationRate() const { return rate_; }  // the last reading less the bias

 private:
  struct Reading {
    double dt;
    Vector3 gyro, accel;
  };
  void initialise(const Vector3& accel, const std::optional<Vector3>& magn);
  void watchStillness(const Reading& r);

  AttitudeFilterSettings settings_;
  bool initialised_ = false;
  Quaternion q_;
  Vector3 rate_;
  Vector3 bias_;
  bool biasKnown_ = false;
  bool still_ = false;
  std::deque<Reading> window_;
  double windowSeconds_ = 0;
};

}  // namespace kit
