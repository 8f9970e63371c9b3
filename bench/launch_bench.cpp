// Start-up: from nothing to the first frame on screen, and the decode of
// the default table picture on its own for comparison.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <iterator>
#include <sstream>
#include <vector>

#include "hosts/headless/runner.h"
#include "kit/bundle.h"
#include "kit/image_codec.h"
#include "kit/posix_io.h"

namespace {

constexpr const char* kDefaultTexture = "WoodGrain1200x900.jpg";

// A new runner makes a new platform and so a new bundle with an empty image
// cache: every launch decodes its pictures and reads the interface file.
// The log goes to the runner's output stream, as in a headless run.
//
// After the first launch the allocator keeps the big pixel buffers' memory
// for the next one, so this measures a launch on warm memory. A fresh
// process pays a page fault for every page of every decoded picture; to
// see that here, run with a fixed allocator threshold:
//   GLIBC_TUNABLES=glibc.malloc.mmap_threshold=131072 vitrane_bench --benchmark_filter=Launch
void BM_LaunchToFirstFrame(benchmark::State& state) {
  for (auto _ : state) {
    std::ostringstream out;
    headless::Runner runner({}, out);
    runner.launch();
    runner.deliverFrames(1);
    benchmark::DoNotOptimize(runner.framesDelivered());
  }
}
BENCHMARK(BM_LaunchToFirstFrame)->Unit(benchmark::kMillisecond);

std::vector<std::uint8_t> readTexture() {
  kit::Bundle bundle(kit::Bundle::defaultResourceDir());
  const auto path = bundle.pathForResource(kDefaultTexture);
  if (!path) return {};
  return kit::readWholeFile(*path).valueOr({});
}

// The JPEG decode alone, from bytes already in memory.
void BM_DecodeDefaultTexture(benchmark::State& state) {
  const std::vector<std::uint8_t> bytes = readTexture();
  if (bytes.empty()) {
    state.SkipWithError("the default table texture is missing");
    return;
  }
  for (auto _ : state) {
    auto decoded = kit::decodeImage(bytes.data(), bytes.size());
    if (!decoded) {
      state.SkipWithError(decoded.error().message.c_str());
      break;
    }
    benchmark::DoNotOptimize(decoded->bitmap->pixels.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_DecodeDefaultTexture)->Unit(benchmark::kMillisecond);

// The same decode through the file, as the bundle does it.
void BM_DecodeDefaultTextureFile(benchmark::State& state) {
  kit::Bundle bundle(kit::Bundle::defaultResourceDir());
  const auto path = bundle.pathForResource(kDefaultTexture);
  if (!path) {
    state.SkipWithError("the default table texture is missing");
    return;
  }
  for (auto _ : state) {
    auto decoded = kit::decodeImageFile(*path);
    if (!decoded) {
      state.SkipWithError(decoded.error().message.c_str());
      break;
    }
    benchmark::DoNotOptimize(decoded->bitmap->pixels.data());
  }
}
BENCHMARK(BM_DecodeDefaultTextureFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
