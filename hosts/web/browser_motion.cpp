#include "hosts/web/browser_motion.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "kit/rotation_matrix.h"

namespace web {

namespace {

using kit::Matrix3;
using kit::rotationX;
using kit::rotationY;
using kit::Vector3;

constexpr double kPi = std::numbers::pi;
constexpr double kRadiansPerDegree = kPi / 180;
constexpr double kStandardGravity = 9.80665;  // m/s² in one g
// An accelerometer vector shorter than this (free fall, or a browser that
// reads zeros for want of a sensor) says nothing about which way is down.
constexpr double kShortestGravity = 0.1;  // g
// Browsers send motion events every 16 ms or so; an interval far beyond
// that is a wrong one and must not swing the integrated heading far.
constexpr double kLongestIntervalMs = 100;
// Beyond what any device reads (a hundred g, a hundred turns a second, an
// angle past a whole turn): such a reading is a fault, and arithmetic on it
// can overflow on its way to the application.
constexpr double kMostAcceleration = 1000;   // m/s²
constexpr double kMostRotationRate = 36000;  // deg/s
constexpr double kMostAngle = 720;           // degrees

bool plausible(double v, double most) { return std::isfinite(v) && std::abs(v) <= most; }

// Standing within about 6° of upright, alpha and gamma turn about nearly
// the same axis and alpha's rate cannot be told from the rotation rate.
constexpr double kUprightCosine = 0.1;
// Pitch this close to ±π/2 leaves yaw and roll one angle between them.
constexpr double kGimbalLock = 1e-9;

bool finite(const Vector3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}
double dot(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vector3 scaled(const Vector3& v, double s) { return {v.x * s, v.y * s, v.z * s}; }
Vector3 plus(const Vector3& a, const Vector3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

// Counter-clockwise about z by q quarter turns, exactly (cos(π/2) in
// doubles is not 0, and a reading on one axis would leak into another).
Matrix3 quarterTurn(int q) {
  static constexpr double kCos[4] = {1, 0, -1, 0}, kSin[4] = {0, 1, 0, -1};
  q = (q % 4 + 4) % 4;
  return {{{kCos[q], -kSin[q], 0}, {kSin[q], kCos[q], 0}, {0, 0, 1}}};
}

int quarterTurns(double degrees) {
  if (!std::isfinite(degrees)) return 0;
  const double turns = std::round(std::fmod(degrees, 360.0) / 90);
  return (static_cast<int>(turns) % 4 + 4) % 4;
}

// The device's tilt as Rx(beta)·Ry(gamma), radians.
struct Tilt {
  double beta, gamma;
};

// Down in device axes, one g long, from the accelerometer's vectors.
std::optional<Vector3> gravityFromAccelerometer(const BrowserMotionInput& in) {
  // The kit's accelerometer reads -1 on z face up.
  const double toKit =
      (in.accelerationSign == AccelerationSign::PlusZFaceUp ? -1 : 1) / kStandardGravity;
  auto direction = [](const Vector3& v) -> std::optional<Vector3> {
    const double length = std::sqrt(dot(v, v));
    if (!finite(v) || !std::isfinite(length) || length < kShortestGravity) return std::nullopt;
    return scaled(v, 1 / length);
  };
  const BrowserVector& all = in.accelerationIncludingGravity;
  const BrowserVector& user = in.acceleration;
  if (all.isFinite() && user.isFinite())
    if (auto g = direction(scaled({all.x - user.x, all.y - user.y, all.z - user.z}, toKit)))
      return g;
  if (all.isFinite()) return direction(scaled({all.x, all.y, all.z}, toKit));
  return std::nullopt;
}

std::optional<Tilt> deviceTilt(const BrowserMotionInput& in) {
  if (std::isfinite(in.beta) && std::isfinite(in.gamma))
    return Tilt{in.beta * kRadiansPerDegree, in.gamma * kRadiansPerDegree};
  const std::optional<Vector3> g = gravityFromAccelerometer(in);
  if (!g) return std::nullopt;
  // Rx(beta)·Ry(gamma) has gravity (cos b sin g, -sin b, -cos b cos g).
  return Tilt{std::asin(std::clamp(-g->y, -1.0, 1.0)), std::atan2(g->x, -g->z)};
}

// How fast alpha changes, deg/s, for a device turning at `rate` with this
// tilt. The rate of Rz(a)·Rx(b)·Ry(g) about the device's axes gives
// a' = (wz cos g - wx sin g) / cos b: a turn about the vertical moves alpha
// at its own rate however the device leans, a lift does not move it.
double alphaRate(const BrowserRotationRate& rate, const std::optional<Tilt>& tilt) {
  if (!tilt) return rate.alpha;
  const double cb = std::cos(tilt->beta), sb = std::sin(tilt->beta);
  const double cg = std::cos(tilt->gamma), sg = std::sin(tilt->gamma);
  if (std::abs(cb) >= kUprightCosine) return (rate.alpha * cg - rate.beta * sg) / cb;
  // Standing upright: the turn about the vertical, the rate along "up".
  return -rate.beta * cb * sg + rate.gamma * sb + rate.alpha * cb * cg;
}

}  // namespace

bool BrowserVector::isFinite() const {
  return std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
}

bool BrowserRotationRate::isFinite() const {
  return std::isfinite(alpha) && std::isfinite(beta) && std::isfinite(gamma);
}

std::optional<kit::MotionSample> motionSampleFromBrowser(const BrowserMotionInput& in) {
  const std::optional<Tilt> tilt = deviceTilt(in);
  if (!tilt) return std::nullopt;
  // Device vectors into the axes of the page as drawn: the device was
  // turned counter-clockwise by the screen's angle, so its vectors turn
  // the same way on the page (90°: the device's top edge is the page's
  // left, (x, y) becomes (-y, x)).
  const Matrix3 toScreen = quarterTurn(quarterTurns(in.screenAngle));
  // The page's axes to east-north-up, all but alpha, which only adds to
  // the yaw.
  const Matrix3 s = rotationX(tilt->beta) * rotationY(tilt->gamma) * toScreen.transposed();

  kit::MotionSample out;
  // Rz(t)·Rx(p)·Ry(r) holds sin p at [2][1], (-sin t cos p, cos t cos p)
  // down column 1 and (-cos p sin r, cos p cos r) along row 2.
  double turn = 0;
  out.attitude.pitch = std::asin(std::clamp(s.m[2][1], -1.0, 1.0));
  if (std::hypot(s.m[0][1], s.m[1][1]) > kGimbalLock) {
    turn = std::atan2(-s.m[0][1], s.m[1][1]);
    out.attitude.roll = std::atan2(-s.m[2][0], s.m[2][2]);
  } else {
    turn = std::atan2(s.m[1][0], s.m[0][0]);
    out.attitude.roll = 0;
  }
  const double alpha = std::isfinite(in.alpha) ? in.alpha * kRadiansPerDegree : 0;
  out.attitude.yaw = std::remainder(kPi / 2 + alpha + turn, 2 * kPi);

  out.gravity = {-s.m[2][0], -s.m[2][1], -s.m[2][2]};

  const BrowserRotationRate& rate = in.rotationRate;
  out.rotationRate = rate.isFinite()
                         ? toScreen * scaled({rate.beta, rate.gamma, rate.alpha}, kRadiansPerDegree)
                         : Vector3{};

  const double toKit =
      (in.accelerationSign == AccelerationSign::PlusZFaceUp ? -1 : 1) / kStandardGravity;
  const BrowserVector& all = in.accelerationIncludingGravity;
  const BrowserVector& user = in.acceleration;
  if (all.isFinite())
    out.acceleration = toScreen * scaled({all.x, all.y, all.z}, toKit);
  else if (user.isFinite())
    out.acceleration = plus(out.gravity, toScreen * scaled({user.x, user.y, user.z}, toKit));
  else
    out.acceleration = out.gravity;

  if (!out.isFinite()) return std::nullopt;
  return out;
}

BrowserMotionReadings::BrowserMotionReadings(AccelerationSign sign) {
  input_.accelerationSign = sign;
}

void BrowserMotionReadings::setAccelerationSign(AccelerationSign sign) {
  input_.accelerationSign = sign;
  refresh();
}

void BrowserMotionReadings::onOrientation(double alpha, double beta, double gamma) {
  if (!plausible(beta, kMostAngle) || !plausible(gamma, kMostAngle)) return;
  input_.beta = beta;
  input_.gamma = gamma;
  alphaLive_ = plausible(alpha, kMostAngle);
  if (alphaLive_) heading_ = std::remainder(alpha, 360.0);
  refresh();
}

void BrowserMotionReadings::onMotion(const BrowserVector& acceleration,
                                     const BrowserVector& accelerationIncludingGravity,
                                     const BrowserRotationRate& rotationRate, double intervalMs) {
  auto usable = [](const BrowserVector& v) {
    return plausible(v.x, kMostAcceleration) && plausible(v.y, kMostAcceleration) &&
           plausible(v.z, kMostAcceleration);
  };
  if (usable(acceleration)) input_.acceleration = acceleration;
  if (usable(accelerationIncludingGravity))
    input_.accelerationIncludingGravity = accelerationIncludingGravity;
  if (plausible(rotationRate.alpha, kMostRotationRate) &&
      plausible(rotationRate.beta, kMostRotationRate) &&
      plausible(rotationRate.gamma, kMostRotationRate)) {
    input_.rotationRate = rotationRate;
    if (!alphaLive_ && std::isfinite(intervalMs) && intervalMs > 0) {
      const double seconds = std::min(intervalMs, kLongestIntervalMs) / 1000;
      const double step = alphaRate(rotationRate, deviceTilt(input_)) * seconds;
      if (std::isfinite(step)) heading_ = std::remainder(heading_ + step, 360.0);
    }
  }
  refresh();
}

void BrowserMotionReadings::setScreenAngle(double degrees) {
  input_.screenAngle = degrees;
  refresh();
}

void BrowserMotionReadings::refresh() {
  BrowserMotionInput in = input_;
  in.alpha = heading_;
  if (auto sample = motionSampleFromBrowser(in)) latest_ = sample;
}

}  // namespace web
