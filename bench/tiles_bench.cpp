// The tile field: rebuilding it for a new table image, and the per-frame
// placement that keeps it under the screen.
#include <benchmark/benchmark.h>

#include <memory>

#include "app/vitrane_view_controller.h"
#include "bench/bench_support.h"
#include "kit/bitmap.h"
#include "kit/image.h"

namespace {

constexpr const char* kDefaultTexture = "WoodGrain1200x900.jpg";

kit::ImageRef solidImage(int width, int height) {
  auto bitmap =
      std::make_shared<kit::Bitmap>(kit::Bitmap::make(width, height, kit::PixelFormat::RGBA8));
  for (std::size_t i = 0; i < bitmap->pixels.size(); ++i)
    bitmap->pixels[i] = static_cast<std::uint8_t>(i * 7);
  return std::make_shared<kit::Image>(std::move(bitmap));
}

template <typename MakeImage>
void runRebuild(benchmark::State& state, MakeImage makeImage) {
  bench::LaunchedApp app;
  VitraneforiPadViewController& controller = app.controller();
  const kit::ImageRef image = makeImage(app);
  if (!image) {
    state.SkipWithError("no table image");
    return;
  }
  // Once outside the loop, so every timed rebuild also takes down a field
  // of the same size, as a change of picture does.
  controller.updateTilePatch(image);
  for (auto _ : state) controller.updateTilePatch(image);
  const auto tiles = controller.outlets.seamlessTiles->subviews().size();
  state.counters["tiles"] = static_cast<double>(tiles);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(tiles));
}

// The default 1200×900 picture: 18 by 18 tiles.
void BM_TileRebuildDefault(benchmark::State& state) {
  runRebuild(state, [](bench::LaunchedApp& app) {
    return app.platform().bundle().imageNamed(kDefaultTexture);
  });
}
BENCHMARK(BM_TileRebuildDefault)->Unit(benchmark::kMicrosecond);

// A 100×100 picture: 84 by 84 tiles.
void BM_TileRebuildSmall(benchmark::State& state) {
  runRebuild(state, [](bench::LaunchedApp&) { return solidImage(100, 100); });
}
BENCHMARK(BM_TileRebuildSmall)->Unit(benchmark::kMicrosecond);

// The per-frame step that moves the field by whole periods.
void BM_AdjustSeamlessPatch(benchmark::State& state) {
  bench::LaunchedApp app;
  VitraneforiPadViewController& controller = app.controller();
  for (auto _ : state) controller.adjustSeamlessPatch();
  benchmark::DoNotOptimize(controller.outlets.seamlessTiles->center());
}
BENCHMARK(BM_AdjustSeamlessPatch);

}  // namespace
