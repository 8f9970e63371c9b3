// Drawing frames headless at 768 × 1024 on the GL ES context EGL gives
// (Mesa's software rasteriser on a machine without a GPU):
//
//  - BM_DrawListBuild: the walk of the view tree alone (CPU);
//  - BM_DrawSubmit: Compositor::draw, the walk and the GL calls, without
//    waiting for the pixels: the main thread's CPU time per frame (the
//    rasteriser's own threads finish each frame outside the timed part);
//  - BM_DrawFinished: the same with glFinish, in real time: frames per
//    second on this GL;
//  - BM_GlFloor: a clear and one solid quad through the compositor's own
//    program, timed as BM_DrawSubmit is: what any frame costs the main
//    thread on this GL, whatever is drawn;
//  - BM_CairoReference: the same visible tiles through Cairo's image
//    surface, in real time, with gl_speedup = Cairo's time per frame over
//    the compositor's (BM_DrawFinished of the same scene, same run).
//
// Scenes: the launch screen (panel faded in); the same with a 100 × 100
// table picture (a field of 7056 tiles); the world turned by 30° and zoomed
// out to a quarter, with the default picture and with the small one; and
// the largest field the table makes (a 26 × 26 picture, 93636 tiles)
// turned by 30° at the smallest zoom, a sixth.
//
// VITRANE_BENCH_FRAMES=DIR writes each scene's GL and Cairo pictures there,
// to see that both draw the same thing.
#include <benchmark/benchmark.h>

#include <GLES3/gl3.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "app/vitrane_view_controller.h"
#include "bench/cairo_reference.h"
#include "hosts/headless/runner.h"
#include "kit/image_codec.h"
#include "kit/log.h"
#include "render/compositor.h"
#include "render/draw_list.h"
#include "render/gl_program.h"
#include "render/offscreen_context.h"

namespace {

constexpr int kWidth = 768;
constexpr int kHeight = 1024;

enum Scene : int {
  kLaunch,
  kSmallTiles,
  kTurnedZoomedOut,
  kSmallTilesTurnedZoomedOut,
  kLargestField
};

const char* sceneName(int scene) {
  static const char* const kNames[] = {"launch", "small-tiles", "turned-zoomed-out",
                                       "small-tiles-turned-zoomed-out", "largest-field"};
  return kNames[scene];
}

// A made picture with detail in it, so filtering has something to do.
kit::ImageRef madeTablePicture(int side = 100) {
  auto b = std::make_shared<kit::Bitmap>(kit::Bitmap::make(side, side, kit::PixelFormat::RGBA8));
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      std::uint8_t* p = b->row(y) + x * 4;
      p[0] = static_cast<std::uint8_t>(120 + 60 * ((x / 5 + y / 7) % 2));
      p[1] = static_cast<std::uint8_t>(80 + x);
      p[2] = static_cast<std::uint8_t>(40 + (x * y) % 50);
      p[3] = 255;
    }
  return std::make_shared<kit::Image>(std::move(b));
}

// The application launched on the runner and brought to the scene.
class SceneApp {
 public:
  explicit SceneApp(int scene) : runner_({}, out_) {
    runner_.launch();
    kit::setLogSink([](const std::string&) {});
    VitraneforiPadViewController& c = *runner_.controller();
    if (scene == kSmallTiles || scene == kSmallTilesTurnedZoomedOut)
      c.updateTilePatch(madeTablePicture());
    // The smallest picture the table takes makes the largest field.
    if (scene == kLargestField) c.updateTilePatch(madeTablePicture(26));
    if (scene == kTurnedZoomedOut || scene == kSmallTilesTurnedZoomedOut ||
        scene == kLargestField) {
      runner_.motion().current.attitude.yaw = std::numbers::pi / 2 + std::numbers::pi / 6;
      const float zoom = scene == kLargestField ? 1 / 6.0f : 0.25f;
      c.outlets.telescoperView->setTransform(kit::AffineTransform::makeScale(zoom, zoom));
      runner_.deliverFrames(2);
    } else {
      runner_.advanceTo(0.35);  // the instructions panel has faded in
    }
  }

  const kit::View& window() const { return *runner_.appDelegate()->window; }
  render::FrameSettings settings() {
    render::FrameSettings s;
    s.time = runner_.clock().now();
    s.viewportWidth = kWidth;
    s.viewportHeight = kHeight;
    return s;
  }

 private:
  std::ostringstream out_;
  headless::Runner runner_;
};

// A context and its compositor, or why there is none.
struct Gl {
  std::unique_ptr<render::OffscreenContext> context;
  std::unique_ptr<render::Compositor> compositor;
  std::string error;

  Gl() {
    try {
      context = std::make_unique<render::OffscreenContext>(kWidth, kHeight);
      compositor = std::make_unique<render::Compositor>();
    } catch (const std::exception& e) {
      error = e.what();
    }
  }
};

void reportFrame(benchmark::State& state, const render::FrameStats& stats) {
  state.counters["quads"] = stats.quadsDrawn;
  state.counters["drawCalls"] = stats.drawCalls;
  state.counters["views"] = stats.viewsVisited;
}

void maybeSaveFrame(const kit::Bitmap& picture, int scene, const char* what) {
  const char* dir = std::getenv("VITRANE_BENCH_FRAMES");
  if (!dir || !*dir) return;
  const std::string path = std::string(dir) + "/" + sceneName(scene) + "-" + what + ".png";
  if (auto written = kit::writePngFile(picture, path); !written)
    std::fprintf(stderr, "cannot keep the frame: %s\n", written.error().message.c_str());
}

// Seconds a frame of BM_DrawFinished, per scene, for the ratio.
std::map<int, std::vector<double>>& glFrameSeconds() {
  static std::map<int, std::vector<double>> seconds;
  return seconds;
}

void BM_DrawListBuild(benchmark::State& state) {
  SceneApp app(static_cast<int>(state.range(0)));
  const render::FrameSettings s = app.settings();
  render::DrawList list;
  for (auto _ : state) {
    render::buildDrawList(app.window(), s, list);
    benchmark::DoNotOptimize(list.commands.data());
  }
  state.counters["quads"] = list.quads;
  state.counters["views"] = list.viewsVisited;
}

void BM_DrawSubmit(benchmark::State& state) {
  Gl gl;
  if (!gl.error.empty()) {
    state.SkipWithError(gl.error.c_str());
    return;
  }
  SceneApp app(static_cast<int>(state.range(0)));
  const render::FrameSettings s = app.settings();
  gl.compositor->draw(app.window(), s);  // textures and text made before timing
  glFinish();
  for (auto _ : state) {
    gl.compositor->draw(app.window(), s);
    state.PauseTiming();
    glFinish();
    state.ResumeTiming();
  }
  reportFrame(state, gl.compositor->lastFrameStats());
}

void BM_DrawFinished(benchmark::State& state) {
  Gl gl;
  if (!gl.error.empty()) {
    state.SkipWithError(gl.error.c_str());
    return;
  }
  const int scene = static_cast<int>(state.range(0));
  SceneApp app(scene);
  const render::FrameSettings s = app.settings();
  gl.compositor->draw(app.window(), s);
  glFinish();
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    gl.compositor->draw(app.window(), s);
    glFinish();
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  glFrameSeconds()[scene].push_back(seconds / static_cast<double>(state.iterations()));
  reportFrame(state, gl.compositor->lastFrameStats());
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  maybeSaveFrame(gl.context->readPixels(), scene, "gl");
}

// What the GL itself costs the main thread a frame, whatever is drawn: a
// clear and one draw call of one solid quad, through the compositor's own
// program. The draw aims are read against it.
void BM_GlFloor(benchmark::State& state) {
  Gl gl;
  if (!gl.error.empty()) {
    state.SkipWithError(gl.error.c_str());
    return;
  }
  const render::QuadProgram program(gl.context->glesMajorVersion(), render::QuadFill::Solid);
  const GLfloat corners[] = {0, 0, kWidth, 0, 0, kHeight, kWidth, kHeight};
  GLuint buffer = 0;
  glGenBuffers(1, &buffer);
  glBindBuffer(GL_ARRAY_BUFFER, buffer);
  glBufferData(GL_ARRAY_BUFFER, sizeof corners, corners, GL_STATIC_DRAW);
  glEnableVertexAttribArray(render::QuadProgram::kPosition);
  glVertexAttribPointer(render::QuadProgram::kPosition, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
  glVertexAttrib4f(render::QuadProgram::kColor, 0.5f, 0.4f, 0.3f, 1);
  const auto frame = [&] {
    glViewport(0, 0, kWidth, kHeight);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    program.use(kWidth, kHeight);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  };
  frame();
  glFinish();
  for (auto _ : state) {
    frame();
    state.PauseTiming();
    glFinish();
    state.ResumeTiming();
  }
  glDeleteBuffers(1, &buffer);
  state.SetLabel(gl.context->description());
}

#if VITRANE_HAVE_CAIRO
void BM_CairoReference(benchmark::State& state) {
  const int scene = static_cast<int>(state.range(0));
  SceneApp app(scene);
  const render::FrameSettings s = app.settings();
  bench::CairoReference cairo(kWidth, kHeight);
  render::DrawList list;
  render::buildDrawList(app.window(), s, list);
  cairo.draw(list);  // pictures converted before timing, as textures are uploaded
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    render::buildDrawList(app.window(), s, list);
    cairo.draw(list);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
      static_cast<double>(state.iterations());
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["quads"] = list.quads;
  // Against the median of the compositor's runs of the same scene so far.
  std::vector<double> gl = glFrameSeconds()[scene];
  if (!gl.empty()) {
    std::nth_element(gl.begin(), gl.begin() + static_cast<std::ptrdiff_t>(gl.size() / 2), gl.end());
    state.counters["gl_speedup"] = seconds / gl[gl.size() / 2];
  }
  maybeSaveFrame(cairo.pixels(), scene, "cairo");
}
#endif

void scenes(benchmark::internal::Benchmark* b) {
  for (int scene :
       {kLaunch, kSmallTiles, kTurnedZoomedOut, kSmallTilesTurnedZoomedOut, kLargestField})
    b->Arg(scene);
  b->ArgName("scene")->Unit(benchmark::kMillisecond);
}

void zoomedOutScenes(benchmark::internal::Benchmark* b) {
  for (int scene : {kTurnedZoomedOut, kSmallTilesTurnedZoomedOut}) b->Arg(scene);
  b->ArgName("scene")->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_DrawListBuild)->Apply(scenes);
BENCHMARK(BM_DrawSubmit)->Apply(scenes);
BENCHMARK(BM_DrawFinished)->Apply(scenes)->UseRealTime();
BENCHMARK(BM_GlFloor)->Unit(benchmark::kMillisecond);
#if VITRANE_HAVE_CAIRO
BENCHMARK(BM_CairoReference)->Apply(zoomedOutScenes)->UseRealTime();
#endif

}  // namespace
