#include "hosts/headless/runner.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <numbers>

#include "hosts/headless/state_dump.h"
#include "kit/animated_png.h"
#include "kit/image_codec.h"
#include "kit/posix_io.h"
#include "kit/log.h"
#include "render/compositor.h"
#include "render/offscreen_context.h"

namespace headless {

namespace {
// Frame times are computed as k × interval; timers scheduled for "the same
// time" by other arithmetic may differ from them in the last bits.
constexpr double kTimeTolerance = 1e-9;

std::string formatNumber(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.3f", v);
  std::string s = buf;
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  if (s == "-0") s = "0";
  return s;
}

// The scenario's camera: there (unless the scenario says otherwise), and
// answered by picker lines rather than by taking pictures itself.
class ScriptedCamera : public kit::Camera {
 public:
  bool isAvailable() override { return true; }
  kit::Result<kit::ImageRef> captureStill() override {
    return kit::Error{"the scenario's camera is answered by picker lines"};
  }
};

// Saved photos go under the output folder, never into the user's pictures.
constexpr const char* kAlbumFolder = "saved-photos";
}  // namespace

Runner::Runner(RunnerOptions options, std::ostream& out) : options_(std::move(options)), out_(out) {
  if (options_.resourceDir.empty()) options_.resourceDir = kit::Bundle::defaultResourceDir();
  // The flat, still tablet of the scenario format: heading π/2 shows the
  // picture unrotated.
  motion_.current.attitude.yaw = std::numbers::pi / 2;
  kit::setLogSink([this](const std::string& message) {
    if (options_.trace)
      printLine(std::to_string(framesDelivered()) + " " + message);
    else
      printLine(message);
  });
}

Runner::~Runner() {
  // The compositor's textures are deleted in its own context.
  try {
    if (gl_) gl_->makeCurrent();
  } catch (const std::exception&) {
  }
  compositor_.reset();
  gl_.reset();
  // The application goes before the platform it uses, touch delivery
  // before the window it delivers to.
  touches_.reset();
  app_.reset();
  platform_.reset();
  kit::setLogSink({});
}

VitraneforiPadViewController* Runner::controller() const {
  return app_ ? app_->viewController.get() : nullptr;
}

std::uint64_t Runner::framesDelivered() const {
  return platform_ ? platform_->accelerometer().deliveries() : 0;
}

void Runner::printLine(const std::string& line) { out_ << line << '\n'; }

void Runner::run(const Scenario& scenario) {
  for (const Command& command : scenario.commands) {
    if (command.isConfiguration()) {
      configure(command.body);
      continue;
    }
    if (!app_) launch();
    execute(command, scenario.file);
  }
  if (!app_) launch();
  // A movie still running at the end is kept, as if ended there.
  if (movie_) finishMovie();
  out_.flush();
}

void Runner::configure(const CommandBody& body) {
  if (std::holds_alternative<DeviceMotionUnavailable>(body)) motion_.available = false;
  if (const auto* o = std::get_if<OpenUrl>(&body)) openUrlSucceeds_ = o->succeeds;
  if (std::holds_alternative<CameraUnavailable>(body)) cameraAvailable_ = false;
  if (const auto* s = std::get_if<Seed>(&body)) seed_ = s->value;
  if (const auto* l = std::get_if<LibraryFolder>(&body)) {
    library_.root = l->path;
    library_.refused = false;
  }
  if (std::holds_alternative<LibraryRefused>(body)) library_.refused = true;
  if (const auto* f = std::get_if<FlatPivot>(&body)) flatPivotMode_ = f->mode;
  if (const auto* n = std::get_if<TabletNoiseLine>(&body)) tablet_.setNoise(n->noise);
}

void Runner::launch() {
  platform_ = std::make_unique<kit::Platform>(clock_, motion_, options_.resourceDir);
  platform_->application().urlOpener = [this](const std::string&) { return openUrlSucceeds_; };
  kit::ImagePickerServices& pickers = platform_->imagePickers();
  pickers.camera = cameraAvailable_ ? std::make_shared<ScriptedCamera>() : nullptr;
  pickers.savedPhotosAlbum().setFolder(
      (std::filesystem::path(options_.outDir) / kAlbumFolder).string());
  if (seed_) platform_->random().seed(*seed_);
  platform_->photoLibrarySource() = library_;
  app_ = std::make_unique<VitraneforiPadAppDelegate>(*platform_);
  app_->viewController->flatPivotMode = flatPivotMode_;
  app_->applicationDidFinishLaunchingWithOptions();
  touches_ = std::make_unique<kit::TouchDispatcher>(*app_->window, platform_->runLoop());
  settle();
  tablet_.launched(*controller());
}

void Runner::settle() {
  // Background work (library photos) runs until it waits for the main
  // thread or ends, and what it posted is delivered now: its results land
  // at the same step of every run.
  platform_->backgroundQueue().settle();
}

void Runner::advanceTo(double t) {
  kit::RunLoop& loop = platform_->runLoop();
  for (;;) {
    settle();
    const auto next = loop.nextTimerTime();
    if (!next || *next > t + kTimeTolerance) break;
    if (*next > clock_.now()) clock_.set(*next);
    loop.fireNextTimerDueBy(*next);
    // Frames run by `wait` as well as by `frames` are in the movie.
    if (movie_ && framesDelivered() >=
                      movie_->lastPicture + static_cast<std::uint64_t>(movie_->movie.every)) {
      settle();
      movieFrame();
    }
  }
  settle();
  if (t > clock_.now()) clock_.set(t);
}

void Runner::deliverFrames(long long count) {
  for (long long i = 0; i < count; ++i) {
    const auto due = platform_->accelerometer().nextDeliveryTime();
    if (!due) return;  // no clock: the application never asked for samples
    advanceTo(*due);
  }
}

namespace {
// A movie holds its pictures until it ends; this many is about a minute at
// the default pace, far beyond a demonstration and well within memory.
constexpr std::size_t kMaxMoviePictures = 600;
}  // namespace

void Runner::startMovie(const Movie& movie) {
  if (movie_) finishMovie();
  movie_.emplace();
  movie_->movie = movie;
  movieFrame();  // the screen as the movie starts
}

void Runner::movieFrame() {
  movie_->lastPicture = framesDelivered();
  if (movie_->pictures.size() >= kMaxMoviePictures)
    throw std::runtime_error("movie " + movie_->movie.path + ": more than " +
                             std::to_string(kMaxMoviePictures) +
                             " pictures; end it sooner or take fewer");
  const float width = static_cast<float>(movie_->movie.width);
  movie_->pictures.push_back(kit::fittedBitmap(snapshot(), kit::Size{width, 0}));
}

void Runner::finishMovie() {
  Recording recording = std::move(*movie_);
  movie_.reset();
  std::filesystem::path file(recording.movie.path);
  if (file.is_relative()) file = std::filesystem::path(options_.outDir) / file;
  std::error_code made;
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), made);
  auto fail = [&](const std::string& why) {
    return std::runtime_error("movie: cannot write " + file.string() + ": " + why);
  };
  if (made) throw fail(made.message());
  // Shown at the pace it was taken: every N frames of 120 a second.
  const auto every = static_cast<int>(std::min<long long>(recording.movie.every, 0xFFFF));
  const auto bytes = kit::encodeAnimatedPng(recording.pictures, every, 120);
  if (!bytes) throw fail(bytes.error().message);
  if (auto written = kit::writeFileAtomically(file.string(), *bytes); !written)
    throw fail(written.error().message);
}

void Runner::applyMotion(const MotionChange& c) {
  kit::MotionSample& s = motion_.current;
  if (c.yaw) s.attitude.yaw = *c.yaw;
  if (c.pitch) s.attitude.pitch = *c.pitch;
  if (c.roll) s.attitude.roll = *c.roll;
  if (c.rate) s.rotationRate = *c.rate;
  if (c.rateZ) s.rotationRate.z = *c.rateZ;
  if (c.gravity) s.gravity = *c.gravity;
  if (c.accel) s.acceleration = *c.accel;
}

void Runner::execute(const Command& command, const std::string& file) {
  std::visit(
      [&](const auto& body) {
        using T = std::decay_t<decltype(body)>;
        if constexpr (std::is_same_v<T, MotionChange>) {
          applyMotion(body);
        } else if constexpr (std::is_same_v<T, Frames>) {
          deliverFrames(body.count);
        } else if constexpr (std::is_same_v<T, Wait>) {
          advanceTo(clock_.now() + body.seconds);
        } else if constexpr (std::is_same_v<T, SendAction>) {
          const auto action = controller()->actionNamed(body.name);
          if (!action)
            throw ScenarioError(file, command.line, "unknown action \"" + body.name + "\"");
          action(nullptr);
          settle();
        } else if constexpr (std::is_same_v<T, Dump>) {
          printLine("STATE " +
                    stateDump(*controller(), *platform_, framesDelivered(), clock_.now()).dump());
        } else if constexpr (std::is_same_v<T, TabletLine>) {
          tablet_.run(body, *this, file, command.line);
        } else if constexpr (std::is_same_v<T, TouchLine>) {
          touchDriver_.run(body, *this);
          settle();
        } else if constexpr (std::is_same_v<T, ButtonLine>) {
          // Touch up inside, without the fingers: the button's actions, when
          // it is enabled.
          kit::Button* button = nullptr;
          for (const auto& [outlet, view] : controller()->outletViews())
            if (outlet == body.outlet) button = dynamic_cast<kit::Button*>(view);
          if (!button)
            throw ScenarioError(file, command.line,
                                "no button \"" + body.outlet + "\" among the outlets");
          button->sendActions();
          settle();
        } else if constexpr (std::is_same_v<T, IllusionLine>) {
          printLine(tablet_.illusionLine(*controller()));
        } else if constexpr (std::is_same_v<T, Snapshot>) {
          try {
            writeSnapshot(body.path);
          } catch (const std::runtime_error& e) {
            throw std::runtime_error(file + ":" + std::to_string(command.line) + ": snapshot " +
                                     body.path + ": " + e.what());
          }
        } else if constexpr (std::is_same_v<T, Movie>) {
          try {
            if (!body.path.empty())
              startMovie(body);
            else if (movie_)
              finishMovie();
            else
              throw ScenarioError(file, command.line, "movie end with no movie running");
          } catch (const std::runtime_error& e) {
            if (dynamic_cast<const ScenarioError*>(&e)) throw;
            throw std::runtime_error(file + ":" + std::to_string(command.line) + ": " + e.what());
          }
        } else if constexpr (std::is_same_v<T, PickerAnswer>) {
          answerPicker(body, file, command.line);
          settle();
        } else if constexpr (std::is_same_v<T, Probe>) {
          const kit::View* view = findProbeView(*controller(), body.view);
          if (!view)
            throw ScenarioError(file, command.line,
                                "no view \"" + body.view + "\" (an outlet name, or piece:N)");
          const kit::Point p = view->convertPointToView(
              {static_cast<float>(body.x), static_cast<float>(body.y)}, nullptr);
          printLine("PROBE " + body.view + " " + body.xText + " " + body.yText + " " +
                    formatNumber(p.x) + " " + formatNumber(p.y));
        }
      },
      command.body);
}

void Runner::answerPicker(const PickerAnswer& answer, const std::string& file, int line) {
  kit::ImagePickerController* picker = platform_->imagePickers().openPicker();
  if (!picker) throw ScenarioError(file, line, "no picker is open");
  switch (answer.kind) {
    case PickerAnswer::Kind::Cancel: picker->cancel(); return;
    case PickerAnswer::Kind::Dismiss: {
      kit::PopoverController* popover = picker->presentingPopover();
      if (!popover)
        throw ScenarioError(
            file, line, "the open picker is not in a popover (picker cancel closes the camera)");
      popover->dismissByUser();
      return;
    }
    case PickerAnswer::Kind::File: break;
  }
  // A file that cannot be read is handed over as no picture, for the
  // application to refuse; why goes to standard error.
  kit::ImageRef image;
  const auto decoded = kit::decodeImageFile(answer.path);
  if (decoded)
    image = std::make_shared<kit::Image>(decoded->bitmap, decoded->orientation);
  else
    std::cerr << file << ":" << line << ": warning: picker: cannot read " << answer.path << ": "
              << decoded.error().message << "\n";
  std::optional<kit::Rect> crop;
  if (answer.hasCrop)
    crop = kit::Rect{static_cast<float>(answer.cropX), static_cast<float>(answer.cropY),
                     static_cast<float>(answer.cropWidth), static_cast<float>(answer.cropHeight)};
  picker->finishPicking(std::move(image), crop);
}

namespace {
// Replays show the same clock in every run: the virtual clock's minutes
// counted from 9:41 in the morning.
std::string virtualStatusBarClock(double seconds) {
  const long long minutes = 9 * 60 + 41 + static_cast<long long>(std::floor(seconds / 60));
  return render::statusBarClockText(static_cast<int>(minutes / 60 % 24),
                                    static_cast<int>(minutes % 60));
}
}  // namespace

kit::Bitmap Runner::snapshot() {
  if (!app_) launch();
  const kit::Window& window = *app_->window;
  const kit::Rect bounds = window.bounds();
  const int width = static_cast<int>(std::lround(bounds.size.width));
  const int height = static_cast<int>(std::lround(bounds.size.height));
  if (!gl_) {
    // Both or neither: a context whose shaders failed is not kept half made.
    auto context = std::make_unique<render::OffscreenContext>(width, height);
    compositor_ = std::make_unique<render::Compositor>();
    gl_ = std::move(context);
  }
  gl_->makeCurrent();
  render::FrameSettings settings;
  settings.time = clock_.now();
  settings.viewportWidth = gl_->width();
  settings.viewportHeight = gl_->height();
  settings.statusBarVisible = !platform_->application().isStatusBarHidden();
  settings.statusBarClock = virtualStatusBarClock(clock_.now());
  compositor_->draw(window, settings);
  return gl_->readPixels();
}

void Runner::writeSnapshot(const std::string& path) {
  std::filesystem::path file(path);
  if (file.is_relative()) file = std::filesystem::path(options_.outDir) / file;
  const kit::Bitmap picture = snapshot();
  if (file.has_parent_path()) {
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    if (error)
      throw std::runtime_error("cannot make the folder " + file.parent_path().string() + ": " +
                               error.message());
  }
  if (const kit::Result<void> written = kit::writePngFile(picture, file.string()); !written)
    throw std::runtime_error("cannot write " + file.string() + ": " + written.error().message);
}

}  // namespace headless
