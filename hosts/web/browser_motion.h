// The browser's device-orientation and device-motion readings turned into
// the kit's motion sample (kit/motion.h), once, where they enter.
//
// What the browser gives, in the device's own axes (x toward its right
// edge, y toward its top edge, z out of the screen, all as the device is
// built, whichever way the page is drawn):
// - orientation: alpha, beta, gamma in degrees, the attitude
//   Rz(alpha)·Rx(beta)·Ry(gamma) from device axes to east-north-up. Alpha
//   grows counter-clockwise seen from above, beta raises the top edge,
//   gamma raises the left edge. Alpha is relative to wherever the device
//   pointed at first unless the browser has a compass.
// - motion: acceleration without gravity and acceleration including
//   gravity in m/s²; rotation rates in deg/s, alpha about z, beta about x,
//   gamma about y, right-handed.
// - the screen's angle (screen.orientation.angle): how far the device has
//   been turned counter-clockwise from its natural orientation, the page
//   turned back by as much to stay upright. A phone held landscape with its
//   top edge to the left reads 90. On a tablet whose natural orientation is
//   landscape, the portrait page reads 90 or 270.
//
// What the kit wants: the axes of the screen the user sees (x toward the
// page's right edge, y toward its top edge); radians and rad/s; gravity
// and the accelerometer in g reading (0, 0, -1) lying face up; the
// attitude as the simulated tablet has it, Rz(yaw - π/2)·Rx(pitch)·Ry(roll)
// from screen axes to east-north-up, pitch within ±π/2, roll and yaw
// within ±π. The kit's angles turn in the browser's order, so a device
// lying flat, its page as the device is built, has yaw = π/2 + alpha, and
// the first heading of a browser without a compass (alpha 0) gives the
// unturned picture, as the simulated tablet's start does.
#pragma once

#include <limits>
#include <optional>

#include "kit/motion.h"

namespace web {

// The browser's null.
inline constexpr double kNoReading = std::numeric_limits<double>::quiet_NaN();

// Which way accelerationIncludingGravity points for a device lying still
// face up. Browsers disagree: the acceleration vectors of one browser all
// have the opposite sign of another's.
enum class AccelerationSign {
  PlusZFaceUp,   // (0, 0, +9.81): the standard reading, Chrome on Android
  MinusZFaceUp,  // (0, 0, -9.81): Safari on iOS
};

struct BrowserVector {
  double x = kNoReading, y = kNoReading, z = kNoReading;  // m/s²
  bool isFinite() const;
};

struct BrowserRotationRate {
  double alpha = kNoReading, beta = kNoReading, gamma = kNoReading;  // deg/s about z, x, y
  bool isFinite() const;
};

// The latest of everything the browser said; kNoReading for null.
struct BrowserMotionInput {
  double alpha = kNoReading, beta = kNoReading, gamma = kNoReading;  // degrees
  BrowserVector acceleration;                                        // without gravity
  BrowserVector accelerationIncludingGravity;
  BrowserRotationRate rotationRate;
  double screenAngle = 0;  // degrees; rounded to the nearest quarter turn
  AccelerationSign accelerationSign = AccelerationSign::PlusZFaceUp;
};

// The sample these readings make. Gravity comes from beta and gamma when
// there are both (the browser's fused estimate is the smoothest), else from
// accelerationIncludingGravity less acceleration, else from
// accelerationIncludingGravity alone, made one g long; the attitude's pitch
// and roll come from the same place. The accelerometer is
// accelerationIncludingGravity, else gravity plus acceleration, else
// gravity. A missing alpha counts as 0 (BrowserMotionReadings supplies an
// integrated one) and a missing rotation rate as none. Nothing when there
// is no way to tell which way is down (no beta and gamma, and no
// accelerometer vector of a usable length), and never a sample with a
// non-finite value.
std::optional<kit::MotionSample> motionSampleFromBrowser(const BrowserMotionInput& input);

// The host's side of the events: fed each event as it comes, it keeps the
// latest good value of each reading (an event that carries null or a
// non-finite number for a reading leaves the previous one standing) and
// the latest good sample.
//
// A browser that gives beta and gamma but no alpha (a device without a
// compass or a fused heading) would leave the picture unturned whatever
// the device did. Then the heading is integrated instead, from the rotation
// rate between motion events, each event counting for its interval: the
// rate alpha would have had given the rotation rate and the tilt, so that a
// turn on the table turns the picture and a lift does not. It starts at 0
// (yaw π/2) or at the last alpha the browser gave, and a browser whose
// alpha comes back takes over from it.
class BrowserMotionReadings {
 public:
  explicit BrowserMotionReadings(AccelerationSign sign = AccelerationSign::PlusZFaceUp);

  void setAccelerationSign(AccelerationSign sign);
  // A deviceorientation event, degrees. Without both beta and gamma it
  // says nothing and is passed over.
  void onOrientation(double alpha, double beta, double gamma);
  // A devicemotion event; interval in milliseconds.
  void onMotion(const BrowserVector& acceleration,
                const BrowserVector& accelerationIncludingGravity,
                const BrowserRotationRate& rotationRate, double intervalMs);
  // screen.orientation.angle, degrees.
  void setScreenAngle(double degrees);

  // The latest good sample; nothing until the sensors have given one.
  std::optional<kit::MotionSample> latest() const { return latest_; }
  // Whether a real sensor has given a usable reading yet (until then the
  // host moves its simulated tablet instead).
  bool hasSensors() const { return latest_.has_value(); }
  // Whether the yaw is integrated from the rotation rate because the
  // browser gives no alpha.
  bool isYawIntegrated() const { return hasSensors() && !alphaLive_; }

 private:
  void refresh();

  BrowserMotionInput input_;
  bool alphaLive_ = false;
  double heading_ = 0;  // degrees: the last alpha, or the integrated heading
  std::optional<kit::MotionSample> latest_;
};

}  // namespace web
