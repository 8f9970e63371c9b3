// One rub event on the 768 × 1024 fake screen, as the main thread pays for
// it: the pan handler's stamp into the mask and its redraw request, the
// redraw's fresh snapshot of the mask, and the copy of the stamped
// rectangle into the mask's texture (on the GL ES context EGL gives; the
// rasteriser's own threads are not timed).
//
//  - BM_RubEvent/1, /2: one or two fingers moving 6 points an event,
//    back and forth over a 300-point stretch so the screen never goes;
//  - BM_RubEventWithoutGl: the same one-finger event, stamp and snapshot
//    only.
#include <benchmark/benchmark.h>

#include <memory>

#include "app/vitrane_view_controller.h"
#include "bench/bench_support.h"
#include "fakescreen/rubbed_view.h"
#include "render/gl_program.h"
#include "render/mask_texture.h"
#include "render/offscreen_context.h"

namespace {

// Where the finger is at event k: a zigzag inside (200..500, 300..400).
kit::Point fingerAt(long k) {
  const long step = k % 100;
  const float along = static_cast<float>(step < 50 ? step : 100 - step) * 6;
  return {200 + along, 300 + static_cast<float>(k % 17) * 6};
}

class RubbingApp {
 public:
  explicit RubbingApp(int fingers) : fingers_(fingers) {
    app_.controller().showFakeScreen();
    fake().rubPanGesture()->setTouches(fingerAt(0), fingers_);
    fake().rubPanGesture()->setState(kit::GestureState::Began);
    fake().displayIfNeeded();
  }
  RubbedView& fake() { return *app_.controller().outlets.iPhoneDesktopView; }

  // One Changed event of the pan, then the redraw.
  const kit::GreyImage& rub() {
    kit::PanGestureRecognizer& pan = *fake().rubPanGesture();
    pan.setTouches(fingerAt(++event_), fingers_);
    pan.setState(kit::GestureState::Changed);
    fake().displayIfNeeded();
    return *fake().alphaCGImage();
  }

 private:
  bench::LaunchedApp app_;
  int fingers_;
  long event_ = 0;
};

void BM_RubEvent(benchmark::State& state) {
  std::unique_ptr<render::OffscreenContext> gl;
  try {
    gl = std::make_unique<render::OffscreenContext>(16, 16);
  } catch (const render::OffscreenError& e) {
    state.SkipWithError(e.what());
    return;
  }
  RubbingApp app(static_cast<int>(state.range(0)));
  gl->makeCurrent();
  render::MaskTextures masks(render::queryGlCapabilities());
  masks.textureFor(*app.fake().alphaCGImage());
  const std::uint64_t before = masks.uploadedSamples();
  for (auto _ : state) benchmark::DoNotOptimize(masks.textureFor(app.rub()));
  state.counters["samples_uploaded_per_event"] =
      static_cast<double>(masks.uploadedSamples() - before) /
      static_cast<double>(state.iterations());
  if (app.fake().isHidden()) state.SkipWithError("the fake screen vanished while rubbing");
}
BENCHMARK(BM_RubEvent)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_RubEventWithoutGl(benchmark::State& state) {
  RubbingApp app(1);
  for (auto _ : state) benchmark::DoNotOptimize(app.rub().generation());
}
BENCHMARK(BM_RubEventWithoutGl)->Unit(benchmark::kMicrosecond);

}  // namespace
