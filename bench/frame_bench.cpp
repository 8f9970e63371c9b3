// One frame: the accelerometer's call into the controller, with the device
// turning a little between frames so the heading changes every time.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <numbers>

#include "app/vitrane_view_controller.h"
#include "bench/bench_support.h"

namespace {

constexpr double kFrameInterval = 1.0 / 120;
constexpr double kTurnPerFrame = 0.01;  // radians

// Keeps the scripted yaw within one turn, as a real heading would be.
double nextYaw(double yaw) {
  yaw += kTurnPerFrame;
  if (yaw > std::numbers::pi) yaw -= 2 * std::numbers::pi;
  return yaw;
}

// What is measured must be the turning frame: the last yaw has to show in
// the rotating view, or the frames measured were not doing the work.
bool headingApplied(const VitraneforiPadViewController& controller, double yaw) {
  const double angle = yaw - controller.frameDriver.yawOffset;
  const kit::AffineTransform& t = controller.outlets.rotatingView->transform();
  return std::abs(t.a - std::cos(angle)) < 1e-4 && std::abs(t.b - std::sin(angle)) < 1e-4;
}

// The controller's frame alone, called as the accelerometer calls it.
void BM_Frame(benchmark::State& state) {
  bench::LaunchedApp app;
  headless::Runner& runner = app.runner();
  VitraneforiPadViewController& controller = app.controller();
  kit::Accelerometer& accelerometer = app.platform().accelerometer();
  const auto sample =
      std::make_shared<const kit::Acceleration>(kit::Acceleration{0, 0, -1, runner.clock().now()});

  double yaw = runner.motion().current.attitude.yaw;
  for (auto _ : state) {
    // The motion manager reads the sensors once per clock time, so the
    // clock moves on a frame for the new yaw to be seen.
    yaw = nextYaw(yaw);
    runner.motion().current.attitude.yaw = yaw;
    runner.clock().advance(kFrameInterval);
    controller.accelerometerDidAccelerate(accelerometer, sample);
  }
  if (!headingApplied(controller, yaw)) state.SkipWithError("the frame did not turn the world");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Frame);

// The same frame as the host delivers it: the run loop's timer, the
// accelerometer's sample from the motion source, then the controller.
void BM_FrameThroughRunLoop(benchmark::State& state) {
  bench::LaunchedApp app;
  headless::Runner& runner = app.runner();
  double yaw = runner.motion().current.attitude.yaw;
  for (auto _ : state) {
    yaw = nextYaw(yaw);
    runner.motion().current.attitude.yaw = yaw;
    runner.deliverFrames(1);
  }
  if (!headingApplied(app.controller(), yaw))
    state.SkipWithError("the frame did not turn the world");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FrameThroughRunLoop);

}  // namespace
