#include "geometry/flat_pivot_estimate.h"

#include <algorithm>
#include <cmath>

#include "app/device_facts.h"

namespace {

// A good tablet's sensors, assumed until still frames say otherwise, and
// the least spread ever assumed (a perfectly clean reading would weigh
// infinitely).
using device::kPointsPerSecond2PerG;
constexpr double kPriorGyroSigma = 0.001;                           // rad/s
constexpr double kPriorAccelSigma = 0.002 * kPointsPerSecond2PerG;  // points/s²
constexpr double kLeastGyroSigma = 0.0001;
constexpr double kLeastAccelSigma = 0.0001 * kPointsPerSecond2PerG;
// The prior spreads count as this many frames; learning averages over at
// most the horizon, so that a sensor warming up is followed.
constexpr double kPriorFrames = 8;
constexpr double kHorizonFrames = 240;
// How far the model itself may be off, as a fraction of the acceleration it
// predicts: Simpson's rule, the body's flex.
constexpr double kModelError = 0.002;
// A frame further than this many of its standard deviations from what the
// turn has told so far is weighed as if that were its deviation.
constexpr double kOutlierSigmas = 3;
// Neighbouring frames' windows share two readings in six: 1 + 2(8/18) + 2(1/18).
constexpr double kOverlap = 2;
constexpr int kRobustRounds = 2;
// Equations kept one by one for reweighing; older ones are settled.
constexpr std::size_t kMostKept = 2400;
// The arm assumed for weighing frames until the frames give one, and the
// range it is kept in (points).
constexpr double kPriorArm = 800;
constexpr double kLeastArm = 60, kMostArm = 3000;

bool isFiniteValue(double v) { return std::isfinite(v); }
bool isFiniteValue(std::complex<double> v) {
  return std::isfinite(v.real()) && std::isfinite(v.imag());
}

}  // namespace

std::optional<FlatPivotMode> flatPivotModeNamed(std::string_view name) {
  if (name == "centre") return FlatPivotMode::Centre;
  if (name == "estimate") return FlatPivotMode::Estimate;
  return std::nullopt;
}

const char* flatPivotModeName(FlatPivotMode mode) {
  return mode == FlatPivotMode::Estimate ? "estimate" : "centre";
}

bool FlatReading::isFinite() const {
  return isFiniteValue(time) && isFiniteValue(rate) && isFiniteValue(feltX) && isFiniteValue(feltY);
}

// --- SensorNoise ---------------------------------------------------------------

void SensorNoise::learn(const FlatReading& still) {
  if (!still.isFinite()) return;
  // A running mean and variance that turn into exponentially weighted ones
  // once the horizon is reached.
  frames_ = std::min(frames_ + 1, kHorizonFrames);
  const double k = 1 / frames_;
  const double d = still.rate - rateMean_;
  rateMean_ += d * k;
  rateVariance_ = (1 - k) * (rateVariance_ + k * d * d);
  // Per axis: the mean of the two axes' squares.
  feltSquare_ += ((still.feltX * still.feltX + still.feltY * still.feltY) / 2 - feltSquare_) * k;
}

namespace {
// The learned spread and the prior, weighed by the frames behind each.
double blended(double learned, double frames, double prior, double least) {
  const double v = (learned * frames + prior * prior * kPriorFrames) / (frames + kPriorFrames);
  return std::sqrt(std::max(v, least * least));
}
}  // namespace

double SensorNoise::gyroSigma() const {
  return blended(rateVariance_, frames_, kPriorGyroSigma, kLeastGyroSigma);
}

double SensorNoise::accelSigma() const {
  return blended(feltSquare_, frames_, kPriorAccelSigma, kLeastAccelSigma);
}

// --- FlatPivotEstimator ------------------------------------------------------------

FlatPivotEstimator::FlatPivotEstimator(kit::Point sensor, double floor)
    : sensor_(sensor), floor_(floor) {}

void FlatPivotEstimator::restart() {
  if (filled_ > 0) {
    window_[0] = window_[filled_ - 1];
    filled_ = 1;
  }
  kept_.clear();
  settled_ = plain_ = Sums{};
  turningFrames_ = 0;
  nonFinite_ = false;
}

void FlatPivotEstimator::Sums::add(const Equation& e, double variance) {
  const double weight = 1 / variance;
  mm += std::norm(e.m) * weight;
  ma += std::conj(e.m) * e.a * weight;
  aa += std::norm(e.a) * weight;
  ++count;
}

std::optional<std::complex<double>> FlatPivotEstimator::arm() const {
  if (!(plain_.mm > 0)) return std::nullopt;
  return plain_.ma / plain_.mm;
}

FlatPivotEstimator::Sums FlatPivotEstimator::weighed(std::optional<std::complex<double>> r,
                                                     double rVariance) const {
  Sums sums = settled_;
  for (const Equation& e : kept_) {
    double variance = e.variance;
    if (r) {
      // What the equation's own noise and the arm's uncertainty allow.
      const double expected = e.variance + 2 * std::norm(e.m) * rVariance;
      const double allowed = kOutlierSigmas * kOutlierSigmas * expected;
      const double miss = std::norm(e.a - e.m * *r);
      if (miss > allowed) variance *= miss / allowed;
    }
    sums.add(e, variance);
  }
  return sums;
}

void FlatPivotEstimator::add(const FlatReading& reading, const SensorNoise& noise) {
  if (!reading.isFinite()) {
    nonFinite_ = true;
    breakSequence();
    return;
  }
  if (filled_ < 3) {
    window_[filled_++] = reading;
  } else {
    window_[0] = window_[1];
    window_[1] = window_[2];
    window_[2] = reading;
  }
  if (filled_ < 3) return;

  // The model integrated over the two intervals around the middle frame,
  // the accelerations by Simpson's rule: the rate's change over them is
  // the integral of α, read straight from the gyroscope, so α itself is
  // never needed and the tangential part keeps its accuracy however short
  // the speeding up.
  const FlatReading &before = window_[0], &f = window_[1], &after = window_[2];
  const double span = after.time - before.time;
  if (!(span > 0)) return;  // a clock that stood still gives no change of rate
  const double bias = noise.gyroBias();
  const double w0 = before.rate - bias, w1 = f.rate - bias, w2 = after.rate - bias;
  const std::complex<double> m(-(w0 * w0 + 4 * w1 * w1 + w2 * w2) / 6, (w2 - w0) / span);
  const std::complex<double> a((before.feltX + 4 * f.feltX + after.feltX) / 6,
                               (before.feltY + 4 * f.feltY + after.feltY) / 6);

  // The frame's variance: the accelerometer's noise, the gyroscope's times
  // the arm, and the model's own error; Simpson's weights halve the first
  // two.
  const std::optional<std::complex<double>> r = arm();
  const double armLength = std::clamp(r ? std::abs(*r) : kPriorArm, kLeastArm, kMostArm);
  const double gyro = noise.gyroSigma(), accel = noise.accelSigma();
  const double changeSigma = gyro * std::sqrt(2.0) / span;
  const double modelSigma = kModelError * std::abs(m) * armLength;
  double variance =
      accel * accel / 2 +
      armLength * armLength * (2 * w1 * w1 * gyro * gyro + changeSigma * changeSigma) +
      modelSigma * modelSigma;
  const Equation e{m, a, variance};
  Sums next = plain_;
  next.add(e, variance);
  if (!isFiniteValue(next.mm) || !isFiniteValue(next.ma) || !isFiniteValue(next.aa)) {
    nonFinite_ = true;
    return;
  }
  plain_ = next;
  kept_.push_back(e);
  if (kept_.size() > kMostKept) {
    // A long turn: its first half is settled at the weights it has now.
    const auto r = arm();
    const auto half = kept_.begin() + static_cast<long>(kMostKept / 2);
    const std::vector<Equation> rest(half, kept_.end());
    kept_.erase(half, kept_.end());
    settled_ = weighed(r, 0);
    kept_ = rest;
  }
  if (std::fabs(w1) >= kStillRate) ++turningFrames_;
}

PivotEstimate FlatPivotEstimator::estimate() const {
  PivotEstimate e;
  e.turningFrames = turningFrames_;
  e.nonFinite = nonFinite_;
  if (nonFinite_) return e;

  // Weighed least squares, then again with the frames that miss the answer
  // by far more than their noise allows counting for less (where the turn's
  // speeding up has a corner that the frames cannot follow), twice.
  std::optional<std::complex<double>> r;
  double rVariance = 0, fit = 1;
  Sums sums = weighed(std::nullopt, 0);
  for (int round = 0;; ++round) {
    if (!(sums.mm > 0)) return e;
    r = sums.ma / sums.mm;
    if (!isFiniteValue(*r)) return e;
    // The weighted residual tells whether the readings fit the model as well
    // as their noise says they should; when they fit worse, the estimate is
    // that much less certain.
    const double residual = std::max(0.0, sums.aa - std::norm(sums.ma) / sums.mm);
    const int freedom = 2 * sums.count - 2;
    fit = freedom > 0 ? std::max(1.0, residual / freedom) : 1.0;
    // Per axis 1/Σ(|m|²/v). Next frames share readings (Simpson's windows
    // overlap), which about doubles the variance of their sum.
    rVariance = kOverlap * fit / sums.mm;
    if (round == kRobustRounds || turningFrames_ < kFlatPivotLeastFrames) break;
    sums = weighed(r, rVariance);
  }

  // The arm is S − P in the device's axes (y up); the pivot is a screen
  // point (y down). The expected distance adds both axes.
  e.pivot = {static_cast<float>(sensor_.x - r->real()), static_cast<float>(sensor_.y + r->imag())};
  e.uncertainty = std::hypot(std::sqrt(2 * rVariance), floor_);
  e.radius = std::abs(*r);
  e.known = turningFrames_ >= kFlatPivotLeastFrames && isFiniteValue(e.uncertainty) &&
            std::isfinite(e.pivot.x) && std::isfinite(e.pivot.y);
  return e;
}

// --- Judging ----------------------------------------------------------------------

PivotVerdict judgePivotEstimate(const PivotEstimate& e, kit::Point pivotInForce,
                                double pointsPerInch) {
  using Kind = PivotVerdict::Kind;
  if (e.nonFinite) return {Kind::NonFinite, 0};
  const double most = kFlatPivotMostUncertaintyInches * pointsPerInch;
  if (!e.known || e.uncertainty > most) return {Kind::Unknown, most};
  if (e.radius > kFlatPivotFarthest) return {Kind::TooFar, kFlatPivotFarthest};
  const double finger = kFingerWidthInches * pointsPerInch;
  if (e.radius < finger) return {Kind::TooNear, finger};
  // Three times the expected distance: an estimate that close could well
  // be of a turn about the pivot in force, and moving it would only add
  // the estimate's error.
  const double near = std::max(finger, 3 * e.uncertainty);
  const double away =
      std::hypot(double(e.pivot.x) - pivotInForce.x, double(e.pivot.y) - pivotInForce.y);
  if (away <= near) return {Kind::AtPivot, near};
  return {Kind::Move, near};
}
