#include "hosts/web/browser_motion_source.h"

namespace web {

std::optional<kit::MotionSample> BrowserMotionSource::sample(double t) {
  State next = state_;
  std::optional<kit::MotionSample> sensed =
      readings_.hasSensors() ? readings_.latest() : std::nullopt;
  if (sensed)
    next = State::Sensors;
  else if (state_ == State::Waiting && t - startTime_ >= kSensorGrace)
    next = State::SimulatedTablet;
  if (next != state_) {
    state_ = next;
    changed_ = true;
  }
  // The tablet keeps its own time even while the sensors lead, so that it
  // never has a backlog of moves to catch up on.
  std::optional<kit::MotionSample> simulated = tablet_.sample(t);
  return sensed ? sensed : simulated;
}

bool BrowserMotionSource::takeStateChange() {
  const bool changed = changed_;
  changed_ = false;
  return changed;
}

}  // namespace web
