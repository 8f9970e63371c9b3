// A tablet on a virtual table, moved by keys held down, for machines
// without motion sensors.
//
// Left and Right turn it on the table (Left counter-clockwise seen from
// above: the yaw grows and the rotation rate about z is positive); W and S
// raise and lower the top edge (pitch, positive with the top up); A and D
// raise the left and the right side (roll, positive with the left side up);
// each tilt stops at 30°. Space lays it flat again.
//
// Gravity is the down direction in the device's axes (x toward the right
// edge, y toward the top edge, z out of the screen). With the attitude
// applied yaw first, then pitch, then roll, it is
//
//   g = (sin roll · cos pitch,  −sin pitch,  −cos roll · cos pitch)
//
// so lying flat it reads (0, 0, −1); with the top raised g.y < 0 and with
// the right side raised (roll < 0) g.x < 0: it points down the slope,
// toward the edge still resting on the table. The tablet is never pushed
// along, so the accelerometer reads gravity alone.
#pragma once

#include <array>
#include <numbers>
#include <optional>

#include "kit/motion.h"

namespace desktop {

enum class MotionKey { TurnLeft, TurnRight, RaiseTop, LowerTop, RaiseLeft, RaiseRight };

class KeyboardMotionSource final : public kit::MotionSource {
 public:
  static constexpr double kDegree = std::numbers::pi / 180;
  static constexpr double kTurnRate = 60 * kDegree;  // rad/s
  static constexpr double kTiltRate = 10 * kDegree;  // rad/s
  static constexpr double kMaxTilt = 30 * kDegree;

  // Flat and still at heading π/2, which shows the picture unturned.
  explicit KeyboardMotionSource(double startTime = 0);

  // The motion up to t follows the keys held before t. A key already held
  // (the keyboard's auto-repeat) changes nothing.
  void press(MotionKey key, double t);
  void release(MotionKey key, double t);
  // The window lost the keyboard: its key-up events will never come.
  void releaseAll(double t);
  void layFlat(double t);

  // The reading at t. Time never runs backwards: a t before the latest one
  // seen answers the latest state.
  std::optional<kit::MotionSample> sample(double t) override;

 private:
  void advanceTo(double t);
  bool held(MotionKey key) const { return held_[static_cast<int>(key)]; }
  // -1, 0 or +1 from a pair of opposing keys.
  int direction(MotionKey positive, MotionKey negative) const;

  std::array<bool, 6> held_{};
  double time_;
  double yaw_ = std::numbers::pi / 2;
  double pitch_ = 0;
  double roll_ = 0;
};

}  // namespace desktop
