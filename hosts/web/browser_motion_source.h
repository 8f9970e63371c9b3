// The motion the browser host gives the application: the device's own
// sensors once they speak, the simulated tablet (moved by the keys) until
// then, and for good when none have spoken a second after the start (a
// desktop browser).
#pragma once

#include <optional>

#include "hosts/web/browser_motion.h"
#include "kit/motion.h"
#include "kit/simulated_tablet.h"

namespace web {

class BrowserMotionSource final : public kit::MotionSource {
 public:
  enum class State { Waiting, Sensors, SimulatedTablet };
  // How long the sensors have to speak before the tablet takes over.
  static constexpr double kSensorGrace = 1.0;

  BrowserMotionSource(BrowserMotionReadings& readings, kit::SimulatedTablet& tablet,
                      double startTime)
      : readings_(readings), tablet_(tablet), startTime_(startTime) {}

  std::optional<kit::MotionSample> sample(double t) override;

  State state() const { return state_; }
  // Whether the state changed since the last call (the page's hint follows).
  bool takeStateChange();

 private:
  BrowserMotionReadings& readings_;
  kit::SimulatedTablet& tablet_;
  double startTime_;
  State state_ = State::Waiting;
  bool changed_ = true;
};

}  // namespace web
