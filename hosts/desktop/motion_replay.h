// `vitrane --motion replay FILE`: the motion lines of a scenario played as
// the motion source, on the scenario's own time (frames are 1/120 s, waits
// as written), counted from the end of set-up.
//
// Only `motion`, `frames` and `wait` lines are read, and the `flat-pivot`
// line a recording starts with; every other line (a touch, an action, a
// `tablet` line) is passed over and takes no time. A malformed motion,
// frames, wait or flat-pivot line fails the whole file.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "kit/motion.h"

namespace desktop {

// "FILE:LINE: message".
class ReplayError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ReplayMotionSource final : public kit::MotionSource {
 public:
  // Throws ReplayError.
  ReplayMotionSource(const std::string& text, const std::string& fileName,
                     double frameInterval = 1.0 / 120);

  // The live clock's time that stands for the scenario's time 0.
  void setOrigin(double t) { origin_ = t; }
  std::optional<kit::MotionSample> sample(double t) override;

  // Scenario time of the last change.
  double length() const { return changes_.empty() ? 0 : changes_.back().time; }
  std::size_t changes() const { return changes_.size(); }
  // The flat-pivot mode the file asks for (the last line that says), if
  // any: true for estimate.
  std::optional<bool> flatPivotEstimate() const { return flatPivotEstimate_; }

 private:
  struct Change {
    double time;
    kit::MotionSample sample;
  };
  std::vector<Change> changes_;  // in time order
  kit::MotionSample start_;
  double origin_ = 0;
  std::optional<bool> flatPivotEstimate_;
};

}  // namespace desktop
