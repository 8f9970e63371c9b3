#include "hosts/desktop/keyboard_motion.h"

#include <algorithm>
#include <cmath>

namespace desktop {

namespace {

// Yaw is reported in (−π, π], as sensors report it; the heading on screen
// depends only on the angle, so the wrap is invisible.
double wrapAngle(double a) {
  a = std::remainder(a, 2 * std::numbers::pi);
  return a <= -std::numbers::pi ? a + 2 * std::numbers::pi : a;
}

// The rate at which a tilt moving in direction dir changes: zero once it
// rests against its stop.
double tiltRate(double angle, int dir) {
  if (dir > 0 && angle >= KeyboardMotionSource::kMaxTilt) return 0;
  if (dir < 0 && angle <= -KeyboardMotionSource::kMaxTilt) return 0;
  return dir * KeyboardMotionSource::kTiltRate;
}

}  // namespace

KeyboardMotionSource::KeyboardMotionSource(double startTime) : time_(startTime) {}

int KeyboardMotionSource::direction(MotionKey positive, MotionKey negative) const {
  return (held(positive) ? 1 : 0) - (held(negative) ? 1 : 0);
}

void KeyboardMotionSource::advanceTo(double t) {
  if (!(t > time_)) return;
  const double dt = t - time_;
  time_ = t;
  yaw_ = wrapAngle(yaw_ + direction(MotionKey::TurnLeft, MotionKey::TurnRight) * kTurnRate * dt);
  pitch_ = std::clamp(pitch_ + direction(MotionKey::RaiseTop, MotionKey::LowerTop) * kTiltRate * dt,
                      -kMaxTilt, kMaxTilt);
  roll_ = std::clamp(roll_ + direction(MotionKey::RaiseLeft, MotionKey::RaiseRight) * kTiltRate * dt,
                     -kMaxTilt, kMaxTilt);
}

void KeyboardMotionSource::press(MotionKey key, double t) {
  advanceTo(t);
  held_[static_cast<int>(key)] = true;
}

void KeyboardMotionSource::release(MotionKey key, double t) {
  advanceTo(t);
  held_[static_cast<int>(key)] = false;
}

void KeyboardMotionSource::releaseAll(double t) {
  advanceTo(t);
  held_.fill(false);
}

void KeyboardMotionSource::layFlat(double t) {
  advanceTo(t);
  pitch_ = 0;
  roll_ = 0;
}

std::optional<kit::MotionSample> KeyboardMotionSource::sample(double t) {
  advanceTo(t);
  kit::MotionSample s;
  s.attitude.yaw = yaw_;
  s.attitude.pitch = pitch_;
  s.attitude.roll = roll_;
  // Pitch turns about the device's x axis and roll about its y axis; the
  // turn on the table is reported about z whatever the tilt.
  s.rotationRate.x = tiltRate(pitch_, direction(MotionKey::RaiseTop, MotionKey::LowerTop));
  s.rotationRate.y = tiltRate(roll_, direction(MotionKey::RaiseLeft, MotionKey::RaiseRight));
  s.rotationRate.z = direction(MotionKey::TurnLeft, MotionKey::TurnRight) * kTurnRate;
  s.gravity = {std::sin(roll_) * std::cos(pitch_), -std::sin(pitch_), -std::cos(roll_) * std::cos(pitch_)};
  s.acceleration = s.gravity;
  return s;
}

}  // namespace desktop
