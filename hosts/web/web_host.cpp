#include "hosts/web/web_host.h"

#include <GLES3/gl3.h>

#include <cmath>
#include <cstdio>
#include <iterator>
#include <optional>
#include <stdexcept>

#include "hosts/headless/state_dump.h"
#include "hosts/web/page_bridge.h"
#include "kit/image_codec.h"
#include "kit/log.h"
#include "kit/posix_io.h"
#include "render/window_frame.h"

namespace web {

namespace {

std::optional<desktop::TabletKey> tabletKeyFor(const std::string& code, bool shift) {
  using desktop::TabletKey;
  // By position, as in the window, so W A S D sit under the left hand on
  // any layout.
  if (code == "ArrowLeft") return shift ? TabletKey::SlideLeft : TabletKey::TurnLeft;
  if (code == "ArrowRight") return shift ? TabletKey::SlideRight : TabletKey::TurnRight;
  if (code == "ArrowUp" && shift) return TabletKey::SlideUp;
  if (code == "ArrowDown" && shift) return TabletKey::SlideDown;
  if (code == "KeyW") return TabletKey::LiftTop;
  if (code == "KeyS") return TabletKey::LiftBottom;
  if (code == "KeyA") return TabletKey::LiftLeft;
  if (code == "KeyD") return TabletKey::LiftRight;
  if (code == "Space") return TabletKey::LayFlat;
  return std::nullopt;
}

MotionOrigin originOf(BrowserMotionSource::State state) {
  switch (state) {
    case BrowserMotionSource::State::Sensors: return MotionOrigin::Sensors;
    case BrowserMotionSource::State::SimulatedTablet: return MotionOrigin::SimulatedTablet;
    case BrowserMotionSource::State::Waiting: break;
  }
  return MotionOrigin::Waiting;
}

std::string fileName(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The page's address chooses the flat-pivot mode, as --flat-pivot does
// the window's: ?flat-pivot=estimate or ?flat-pivot=centre (the default).
FlatPivotMode flatPivotModeOfPage() {
  const std::string asked = pageParameter("flat-pivot");
  if (asked.empty()) return FlatPivotMode::Centre;
  if (auto mode = flatPivotModeNamed(asked)) return *mode;
  std::fprintf(stderr, "vitrane: flat-pivot is estimate or centre, not '%s'; centre it is\n",
               asked.c_str());
  return FlatPivotMode::Centre;
}

}  // namespace

WebHost::WebHost(const char* canvasSelector)
    : canvas_(canvasSelector), platform_(clock_, motion_, kResourceFolder) {
  kit::setLogSink([](const std::string& line) { consoleLine(line); });
  platform_.sounds().player = [this](const std::string& path) { sounds_.play(path); };
  platform_.application().urlOpener = [](const std::string& url) { return openLink(url); };
  platform_.photoLibrarySource().root = kLibraryFolder;
  platform_.photoLibrarySource().prepare = [this](std::function<void()> ready) {
    prepareLibrary(std::move(ready));
  };
  kit::ImagePickerServices& pickers = platform_.imagePickers();
  pickers.camera = camera_;
  pickers.savedPhotosAlbum().setFolder(kSavedPhotosFolder);
  pickers.savedPhotosAlbum().onSaved = [this](const std::string& path) { offerSaved(path); };
}

WebHost::~WebHost() {
  touches_.reset();
  sink_.reset();
  app_.reset();
  compositor_.reset();
  if (context_) emscripten_webgl_destroy_context(context_);
  kit::setLogSink({});
}

void WebHost::launch() {
  EmscriptenWebGLContextAttributes attributes;
  emscripten_webgl_init_context_attributes(&attributes);
  attributes.majorVersion = 2;
  attributes.minorVersion = 0;
  attributes.alpha = EM_FALSE;
  attributes.depth = EM_FALSE;
  attributes.stencil = EM_TRUE;
  attributes.antialias = EM_FALSE;
  attributes.premultipliedAlpha = EM_TRUE;
  // Screenshots of the page (the browser tests') read the last picture.
  attributes.preserveDrawingBuffer = EM_TRUE;
  context_ = emscripten_webgl_create_context(canvas_.c_str(), &attributes);
  if (context_ <= 0) throw std::runtime_error("this browser gives no WebGL2 context");
  emscripten_webgl_make_context_current(context_);
  makeCompositor();

  app_ = std::make_unique<VitraneforiPadAppDelegate>(platform_);
  app_->viewController->flatPivotMode = flatPivotModeOfPage();
  app_->applicationDidFinishLaunchingWithOptions();
  platform_.runLoop().drainMainQueue();
  sink_ = std::make_unique<kit::TouchDispatcher>(*app_->window, platform_.runLoop());
  touches_ = std::make_unique<desktop::TouchMapper>(*sink_);
  resize(cssWidth_, cssHeight_, pixelWidth_, pixelHeight_);
}

void WebHost::makeCompositor() {
  compositor_ = std::make_unique<render::Compositor>();
  needsDraw_ = true;
}

void WebHost::frame() {
  clock_.beginStep();
  kit::RunLoop& loop = platform_.runLoop();
  loop.fireDueTimers();
  // Background work (the photo library) runs here, between frames: this
  // build has one thread.
  platform_.backgroundQueue().settle();
  loop.fireDueTimers();
  loop.drainMainQueue();
  answerPickers();
  if (motion_.takeStateChange()) motionOriginChanged(originOf(motion_.state()));

  if (redraw_.isStale()) needsDraw_ = true;
  if (!needsDraw_ || contextLost_ || !compositor_ || pixelWidth_ <= 0 || pixelHeight_ <= 0) return;
  draw();
  if (!firstFrameShown_) {
    firstFrameShown_ = true;
    firstFrameShown();
  }
}

void WebHost::draw() {
  const desktop::Letterbox box = desktop::fitScreen(pixelWidth_, pixelHeight_);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDisable(GL_SCISSOR_TEST);
  glViewport(0, 0, pixelWidth_, pixelHeight_);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  render::FrameSettings settings;
  settings.time = clock_.now();
  settings.viewportWidth = pixelWidth_;
  settings.viewportHeight = pixelHeight_;
  settings.pixelsPerPoint = box.pixelsPerPoint;
  settings.offsetX = static_cast<float>(box.x);
  settings.offsetY = static_cast<float>(box.y);
  settings.clearColor = kit::Color::black();
  try {
    compositor_->draw(*app_->window, settings);
  } catch (const render::RenderError& e) {
    // A context lost mid-frame reports errors; its restoration redraws.
    if (!emscripten_is_webgl_context_lost(context_))
      kit::log("Drawing failed: %@", std::string(e.what()));
    return;
  }
  // The world reaches beyond the screen; the glass ends at its edges.
  render::blackOutAround({box.x, box.y, box.width, box.height}, pixelWidth_, pixelHeight_);
  needsDraw_ = false;
  // The time the picture shows, not the time it was finished: a slow draw
  // must not count an animation as over that it showed part way.
  redraw_.drawn(settings.time);
}

void WebHost::resize(double cssWidth, double cssHeight, int pixelWidth, int pixelHeight) {
  cssWidth_ = cssWidth;
  cssHeight_ = cssHeight;
  pixelWidth_ = pixelWidth;
  pixelHeight_ = pixelHeight;
  needsDraw_ = true;
  if (!touches_) return;
  desktop::WindowGeometry g;
  g.windowWidth = std::max(1, static_cast<int>(std::lround(cssWidth)));
  g.windowHeight = std::max(1, static_cast<int>(std::lround(cssHeight)));
  g.drawableWidth = std::max(1, pixelWidth);
  g.drawableHeight = std::max(1, pixelHeight);
  touches_->setGeometry(g);
}

void WebHost::pointer(PointerAction action, int id, bool isMouse, double x, double y, bool mirror) {
  if (!touches_) return;
  clock_.beginStep();
  // Frames and timers due before this touch go first, as in the window.
  platform_.runLoop().fireDueTimers();
  const double t = clock_.now();
  const float fx = static_cast<float>(x), fy = static_cast<float>(y);
  if (isMouse) {
    switch (action) {
      case PointerAction::Down: touches_->mouseDown(fx, fy, mirror, t); break;
      case PointerAction::Move: touches_->mouseMoved(fx, fy, mirror, t); break;
      case PointerAction::Up: touches_->mouseUp(fx, fy, t); break;
      case PointerAction::Cancel: touches_->cancelAll(t); break;
    }
  } else {
    // The mapper takes fingers normalised over the window, as SDL gives them.
    const float nx = static_cast<float>(x / std::max(1.0, cssWidth_));
    const float ny = static_cast<float>(y / std::max(1.0, cssHeight_));
    switch (action) {
      case PointerAction::Down: touches_->fingerDown(0, id, nx, ny, t); break;
      case PointerAction::Move: touches_->fingerMoved(0, id, nx, ny, t); break;
      case PointerAction::Up: touches_->fingerUp(0, id, nx, ny, t); break;
      case PointerAction::Cancel: touches_->cancelAll(t); break;
    }
  }
  platform_.runLoop().drainMainQueue();
  // A button that opened a picker: the page's chooser can open now, while
  // the browser still counts this as the user's gesture.
  answerPickers();
  needsDraw_ = true;
}

void WebHost::cancelTouches() {
  if (touches_) touches_->cancelAll(clock_.now());
  keys_.releaseAll(clock_.now());
}

void WebHost::key(bool down, const std::string& code, bool shift, bool repeat) {
  const double t = clock_.now();
  if (!down && (code == "ArrowLeft" || code == "ArrowRight")) {
    keys_.release(
        code == "ArrowLeft" ? desktop::TabletKey::TurnLeft : desktop::TabletKey::TurnRight, t);
    return;
  }
  const auto tabletKey = tabletKeyFor(code, shift);
  if (!down || !tabletKey) return;
  try {
    keys_.press(*tabletKey, t, repeat);
  } catch (const std::invalid_argument& e) {
    std::fprintf(stderr, "vitrane: the tablet cannot do that: %s\n", e.what());
  }
}

void WebHost::prepareLibrary(std::function<void()> ready) {
  if (library_ == LibraryChoice::Chosen) {
    ready();
    return;
  }
  libraryWaiting_.push_back(std::move(ready));
  if (library_ == LibraryChoice::NotAsked) {
    library_ = LibraryChoice::Asking;
    chooseFiles(FileChoice::Library);
  }
}

void WebHost::libraryChosen(int count) {
  // A cancelled chooser leaves the library as it is (empty, or what was
  // dropped on the page); the next load asks again.
  library_ = count >= 0 ? LibraryChoice::Chosen : LibraryChoice::NotAsked;
  auto waiting = std::move(libraryWaiting_);
  libraryWaiting_.clear();
  for (auto& ready : waiting) ready();
}

void WebHost::answerPickers() {
  kit::ImagePickerController* picker = platform_.imagePickers().openPicker();
  if (picker == askedPicker_) return;
  askedPicker_ = picker;
  if (!picker) return;
  chooseFiles(picker->sourceType() == kit::ImagePickerSourceType::Camera ? FileChoice::Camera
                                                                         : FileChoice::Photo);
}

void WebHost::photoChosen(const std::string& path, const std::string& name) {
  kit::ImagePickerController* picker = platform_.imagePickers().openPicker();
  const bool fromCamera = picker && picker->sourceType() == kit::ImagePickerSourceType::Camera;
  kit::DecodeOptions options;
  // A camera's still is upright, as the platform's camera gives it.
  options.applyOrientationToPixels = fromCamera;
  // Unreadable, it is no picture: the decoder below says so.
  const std::vector<std::uint8_t> bytes = kit::readWholeFile(path).valueOr({});
  std::remove(path.c_str());
  // From memory: the decoder's reasons then name no file of the page's own.
  auto decoded = kit::decodeImage(bytes.data(), bytes.size(), options);
  if (!picker) return;
  if (!decoded) {
    kit::log("Image picker: passing over %@: %@", name, decoded.error().message);
    picker->cancel();
    return;
  }
  auto image = std::make_shared<const kit::Image>(decoded->bitmap, decoded->orientation);
  if (fromCamera) {
    camera_->setStill(image);
    if (const kit::Result<void> taken = picker->takePicture(); !taken) {
      kit::log("The camera took no picture: %@", taken.error().message);
      picker->cancel();
    }
    return;
  }
  // The browser's chooser has no crop step: a crop takes the largest
  // square in the middle of the photo.
  std::optional<kit::Rect> crop;
  if (picker->allowsEditing()) {
    const kit::Size size = image->size();
    const float side = std::min(size.width, size.height);
    crop = kit::Rect{{(size.width - side) / 2, (size.height - side) / 2}, {side, side}};
  }
  picker->finishPicking(image, crop);
}

void WebHost::photoChoiceCancelled() {
  if (kit::ImagePickerController* picker = platform_.imagePickers().openPicker()) picker->cancel();
}

void WebHost::offerSaved(const std::string& path) {
  const auto bytes = kit::readWholeFile(path);
  if (!bytes || bytes->empty()) return;
  offerSavedPhoto(fileName(path), bytes->data(), bytes->size());
}

void WebHost::contextLost() {
  contextLost_ = true;
  // Its textures and programs went with the context.
  compositor_.reset();
}

void WebHost::contextRestored() {
  contextLost_ = false;
  emscripten_webgl_make_context_current(context_);
  try {
    makeCompositor();
  } catch (const std::exception& e) {
    kit::log("Drawing cannot resume: %@", std::string(e.what()));
  }
}

std::string WebHost::stateJson() {
  if (!app_) return "{}";
  return headless::stateDump(*app_->viewController, platform_,
                             platform_.accelerometer().deliveries(), clock_.now())
      .dump();
}

}  // namespace web
