#include "kit/attitude_filter.h"

#include <algorithm>
#include <cmath>

namespace kit {

namespace {

Vector3 add(Vector3 a, Vector3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vector3 sub(Vector3 a, Vector3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vector3 mul(double s, Vector3 v) { return {s * v.x, s * v.y, s * v.z}; }
double dot(Vector3 a, Vector3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double norm(Vector3 v) { return std::sqrt(dot(v, v)); }
Vector3 cross(Vector3 a, Vector3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
bool finite(Vector3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

Quaternion multiply(const Quaternion& a, const Quaternion& b) {
  return {
      a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z, a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
      a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x, a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w};
}

Quaternion normalised(Quaternion q) {
  const double n = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
  if (!(n > 0) || !std::isfinite(n)) return {};
  return {q.w / n, q.x / n, q.y / n, q.z / n};
}

// The rotation by |v| about v.
Quaternion rotationBy(Vector3 v) {
  const double angle = norm(v);
  if (angle < 1e-12) return normalised({1, v.x / 2, v.y / 2, v.z / 2});
  const double s = std::sin(angle / 2) / angle;
  return {std::cos(angle / 2), v.x * s, v.y * s, v.z * s};
}

Quaternion aboutZ(double angle) { return {std::cos(angle / 2), 0, 0, std::sin(angle / 2)}; }
Quaternion aboutX(double angle) { return {std::cos(angle / 2), std::sin(angle / 2), 0, 0}; }
Quaternion aboutY(double angle) { return {std::cos(angle / 2), 0, std::sin(angle / 2), 0}; }

// Device axes to world axes.
Vector3 rotate(const Quaternion& q, Vector3 v) {
  const Quaternion p = multiply(multiply(q, {0, v.x, v.y, v.z}), {q.w, -q.x, -q.y, -q.z});
  return {p.x, p.y, p.z};
}
// World axes to device axes.
Vector3 unrotate(const Quaternion& q, Vector3 v) { return rotate({q.w, -q.x, -q.y, -q.z}, v); }

}  // namespace

AttitudeFilter::AttitudeFilter(AttitudeFilterSettings settings) : settings_(settings) {}

void AttitudeFilter::reset() {
  initialised_ = false;
  q_ = {};
  rate_ = {};
  bias_ = {};
  biasKnown_ = false;
  still_ = false;
  window_.clear();
  windowSeconds_ = 0;
}

void AttitudeFilter::initialise(const Vector3& accel, const std::optional<Vector3>& magn) {
  // Lying still the accelerometer reads gravity: (cos p sin r, -sin p, -cos p cos r).
  const Vector3 g = mul(1 / norm(accel), accel);
  const double pitch = std::asin(std::clamp(-g.y, -1.0, 1.0));
  const double roll = std::atan2(g.x, -g.z);
  q_ = multiply(multiply(aboutZ(settings_.startYaw - std::numbers::pi / 2), aboutX(pitch)),
                aboutY(roll));
  if (magn && norm(*magn) > 0) {
    // Turn the world about the vertical until magnetic north lies along +y.
    const Vector3 h = rotate(q_, *magn);
    if (std::hypot(h.x, h.y) > 1e-9) q_ = normalised(multiply(aboutZ(-std::atan2(-h.x, h.y)), q_));
  }
  initialised_ = true;
}

void AttitudeFilter::watchStillness(const Reading& r) {
  window_.push_back(r);
  windowSeconds_ += r.dt;
  while (window_.size() > 1 && windowSeconds_ - window_.front().dt >= settings_.stillSeconds) {
    windowSeconds_ -= window_.front().dt;
    window_.pop_front();
  }
  still_ = false;
  if (windowSeconds_ < settings_.stillSeconds) return;

  Vector3 gMin = r.gyro, gMax = r.gyro, aMin = r.accel, aMax = r.accel, gSum{}, aSum{};
  for (const Reading& w : window_) {
    gMin = {std::min(gMin.x, w.gyro.x), std::min(gMin.y, w.gyro.y), std::min(gMin.z, w.gyro.z)};
    gMax = {std::max(gMax.x, w.gyro.x), std::max(gMax.y, w.gyro.y), std::max(gMax.z, w.gyro.z)};
    aMin = {std::min(aMin.x, w.accel.x), std::min(aMin.y, w.accel.y), std::min(aMin.z, w.accel.z)};
    aMax = {std::max(aMax.x, w.accel.x), std::max(aMax.y, w.accel.y), std::max(aMax.z, w.accel.z)};
    gSum = add(gSum, w.gyro);
    aSum = add(aSum, w.accel);
  }
  const double n = static_cast<double>(window_.size());
  const Vector3 gMean = mul(1 / n, gSum), aMean = mul(1 / n, aSum);
  const Vector3 gSpread = sub(gMax, gMin), aSpread = sub(aMax, aMin);
  const auto within = [](Vector3 v, double limit) {
    return std::abs(v.x) <= limit && std::abs(v.y) <= limit && std::abs(v.z) <= limit;
  };
  if (!within(gSpread, settings_.stillGyroBand) || !within(aSpread, settings_.stillAccelBand))
    return;
  if (std::abs(norm(aMean) - 1) > settings_.accelTolerance) return;
  if (!within(gMean, settings_.maxBias)) return;
  // A steady slow turn looks like a bias; once the bias is known, a rate
  // well away from it is taken for a turn, not learnt.
  if (biasKnown_ && !within(sub(gMean, bias_), settings_.biasChange)) return;

  still_ = true;
  if (!biasKnown_) {
    bias_ = gMean;
    biasKnown_ = true;
  } else {
    const double k = std::min(1.0, r.dt / settings_.biasTimeConstant);
    bias_ = add(bias_, mul(k, sub(r.gyro, bias_)));
  }
}

bool AttitudeFilter::update(const Vector3& accel, const Vector3& gyro,
                            const std::optional<Vector3>& magn, double dt) {
  if (!finite(accel) || !finite(gyro) || (magn && !finite(*magn))) return false;
  const double accelLength = norm(accel);
  if (!(accelLength > 1e-6)) return false;
  if (!initialised_) {
    initialise(accel, magn);
    rate_ = biasKnown_ ? sub(gyro, bias_) : gyro;
    return true;
  }
  if (!std::isfinite(dt) || dt < 0) dt = 0;

  watchStillness({dt, gyro, accel});
  rate_ = biasKnown_ ? sub(gyro, bias_) : gyro;
  // Lying still nothing turns: the rate left after the bias is noise, and
  // integrating it is what makes a heading creep.
  Vector3 omega = still_ ? Vector3{} : rate_;

  // The vertical: the accelerometer, trusted only when it reads gravity.
  const Vector3 up = unrotate(q_, {0, 0, 1});
  double gain = still_ ? settings_.stillAccelGain : settings_.accelGain;
  if (std::abs(accelLength - 1) > settings_.accelTolerance || norm(rate_) > settings_.fastTurn)
    gain = 0;
  if (gain > 0) {
    const Vector3 measuredUp = mul(-1 / accelLength, accel);
    omega = add(omega, mul(gain, cross(measuredUp, up)));
  }
  // The heading: magnetic north, about the vertical only, so that a
  // disturbed field cannot tip the screen.
  if (magn && norm(*magn) > 0) {
    const Vector3 m = mul(1 / norm(*magn), *magn);
    const Vector3 h = rotate(q_, m);
    const double horizontal = std::hypot(h.x, h.y);
    if (horizontal > 1e-6) {
      const Vector3 expected = unrotate(q_, {0, horizontal, h.z});
      const Vector3 e = cross(m, expected);
      omega = add(omega, mul(settings_.magnGain * dot(e, up) / horizontal, up));
    }
  }

  const Quaternion next = normalised(multiply(q_, rotationBy(mul(dt, omega))));
  if (std::isfinite(next.w) && std::isfinite(next.x) && std::isfinite(next.y) &&
      std::isfinite(next.z))
    q_ = next;
  return true;
}

Attitude AttitudeFilter::attitude() const {
  const Quaternion& q = q_;
  // The rotation matrix's entries the angles come from.
  const double r01 = 2 * (q.x * q.y - q.w * q.z);
  const double r11 = 1 - 2 * (q.x * q.x + q.z * q.z);
  const double r20 = 2 * (q.x * q.z - q.w * q.y);
  const double r21 = 2 * (q.y * q.z + q.w * q.x);
  const double r22 = 1 - 2 * (q.x * q.x + q.y * q.y);
  Attitude a;
  a.pitch = std::asin(std::clamp(r21, -1.0, 1.0));
  a.roll = std::atan2(-r20, r22);
  a.yaw = std::remainder(std::atan2(-r01, r11) + std::numbers::pi / 2, 2 * std::numbers::pi);
  return a;
}

Vector3 AttitudeFilter::gravity() const { return unrotate(q_, {0, 0, -1}); }

}  // namespace kit
