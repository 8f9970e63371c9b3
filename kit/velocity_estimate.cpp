#include "kit/velocity_estimate.h"

#include <algorithm>

namespace kit {

namespace {
// Samples older than this are of no use to any window we use.
constexpr double kKeepSeconds = 1.0;
}  // namespace

void VelocityEstimate::add(double time, Point position) {
  if (!samples_.empty()) time = std::max(time, samples_.back().time);
  if (!samples_.empty() && samples_.back().time == time) {
    samples_.back().position = position;
  } else {
    samples_.push_back({time, position});
  }
  // Keep one sample older than the horizon, for interpolating across it.
  while (samples_.size() > 2 && samples_[1].time < time - kKeepSeconds) samples_.pop_front();
}

Point VelocityEstimate::positionAt(double time) const {
  if (time <= samples_.front().time) return samples_.front().position;
  for (size_t i = 1; i < samples_.size(); ++i) {
    const Sample& a = samples_[i - 1];
    const Sample& b = samples_[i];
    if (time <= b.time) {
      const double u = (time - a.time) / (b.time - a.time);
      return {static_cast<float>(a.position.x + (b.position.x - a.position.x) * u),
              static_cast<float>(a.position.y + (b.position.y - a.position.y) * u)};
    }
  }
  return samples_.back().position;
}

Point VelocityEstimate::velocityAt(double time, double windowSeconds) const {
  if (samples_.empty()) return {};
  const double from = std::max(time - windowSeconds, samples_.front().time);
  const double span = time - from;
  if (!(span > 1e-9)) return {};
  const Point p0 = positionAt(from);
  const Point p1 = positionAt(time);
  return {static_cast<float>((p1.x - p0.x) / span), static_cast<float>((p1.y - p0.y) / span)};
}

}  // namespace kit
