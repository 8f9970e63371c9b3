// vitrane: the application in a desktop window, with the keyboard standing
// in for the motion sensors and the mouse for fingers.
#include <GLES3/gl3.h>
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <exception>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "app/app_delegate.h"
#include "fakescreen/rubbed_view.h"
#include "hosts/desktop/birds_eye.h"
#include "hosts/desktop/input_script.h"
#include "hosts/desktop/key_hint.h"
#include "hosts/desktop/link_opener.h"
#include "hosts/desktop/log_file.h"
#include "hosts/desktop/loop_timing.h"
#include "hosts/desktop/mirror_mark.h"
#include "hosts/desktop/motion_replay.h"
#include "hosts/desktop/notice.h"
#include "hosts/desktop/options.h"
#include "hosts/desktop/process.h"
#include "kit/log.h"
#include "hosts/desktop/screen_mapping.h"
#include "hosts/desktop/session_recorder.h"
#include "hosts/desktop/sound_player.h"
#include "hosts/desktop/tablet_keys.h"
#include "kit/bundle.h"
#include "kit/image_codec.h"
#include "kit/image_view.h"
#include "kit/iio_motion_source.h"
#include "kit/platform.h"
#include "kit/simulated_tablet.h"
#include "kit/touch_dispatcher.h"
#include "render/compositor.h"

namespace desktop {
namespace {

volatile std::sig_atomic_t quitSignalled = 0;
void onQuitSignal(int) { quitSignalled = 1; }

void installSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = onQuitSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

// Scripted fingers get a device of their own, apart from any real one.
constexpr SDL_TouchID kScriptTouchDevice = -2;

struct GlWindow {
  SDL_Window* window = nullptr;
  SDL_GLContext context = nullptr;
};

WindowSize displayedWindowSize() {
  SDL_Rect usable;
  if (SDL_GetDisplayUsableBounds(0, &usable) != 0) return initialWindowSize(0, 0);
  return initialWindowSize(usable.w, usable.h);
}

bool openWindow(GlWindow& out, std::string& error) {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
  const WindowSize size = displayedWindowSize();
  out.window = SDL_CreateWindow("Vitrane", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, size.width, size.height,
                                SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
  if (!out.window) {
    error = std::string("cannot open a window: ") + SDL_GetError();
    return false;
  }
  SDL_SetWindowMinimumSize(out.window, 192, 256);

  std::string failures;
  for (int major : {3, 2}) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, major);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    out.context = SDL_GL_CreateContext(out.window);
    if (out.context) return true;
    failures += std::string(failures.empty() ? "" : "; ") + "ES " + std::to_string(major) + ".0: " + SDL_GetError();
  }
  SDL_DestroyWindow(out.window);
  out.window = nullptr;
  error = "no OpenGL ES context (" + failures + ")";
  return false;
}

// With no display SDL falls back to drivers that draw nowhere; the window
// would run unseen until killed. Only someone who asks for one gets it.
bool isInvisibleVideoDriver(const char* driver) {
  if (!driver) return false;
  const std::string name = driver;
  const char* requested = std::getenv("SDL_VIDEODRIVER");
  return (name == "offscreen" || name == "dummy") && !(requested && *requested);
}

std::optional<TabletKey> tabletKeyFor(SDL_Scancode code, bool shift) {
  // By position, so W A S D sit under the left hand on any layout.
  switch (code) {
    case SDL_SCANCODE_LEFT: return shift ? TabletKey::SlideLeft : TabletKey::TurnLeft;
    case SDL_SCANCODE_RIGHT: return shift ? TabletKey::SlideRight : TabletKey::TurnRight;
    case SDL_SCANCODE_UP: return shift ? std::optional(TabletKey::SlideUp) : std::nullopt;
    case SDL_SCANCODE_DOWN: return shift ? std::optional(TabletKey::SlideDown) : std::nullopt;
    case SDL_SCANCODE_W: return TabletKey::LiftTop;
    case SDL_SCANCODE_S: return TabletKey::LiftBottom;
    case SDL_SCANCODE_A: return TabletKey::LiftLeft;
    case SDL_SCANCODE_D: return TabletKey::LiftRight;
    case SDL_SCANCODE_SPACE: return TabletKey::LayFlat;
    default: return std::nullopt;
  }
}

// A view's own coordinates to the screen's (its tree's root), from the
// views' model values.
kit::AffineTransform toScreen(const kit::View& view) {
  return affineThrough([&](kit::Point p) { return view.convertPointToView(p, nullptr); });
}

// The picture's tile field as it lies now, in the picture's coordinates;
// none while it has no tiles.
std::optional<TileField> tileFieldOf(const VitraneforiPadViewController& vc) {
  const kit::View& field = *vc.outlets.seamlessTiles;
  const float pitchX = static_cast<float>(vc.tiles.tileHorizontalPitch);
  const float pitchY = static_cast<float>(vc.tiles.tileVerticalPitch);
  if (field.isHidden() || pitchX < 1 || pitchY < 1) return std::nullopt;
  const auto& tiles = field.subviews();
  const auto columns = static_cast<std::size_t>(std::lround(field.bounds().size.width / pitchX));
  if (columns < 2 || tiles.size() < columns + 2) return std::nullopt;
  TileField f;
  const std::size_t firsts[4] = {0, 1, columns, columns + 1};
  for (int k = 0; k < 4; ++k) {
    const auto* tile = dynamic_cast<const kit::ImageView*>(tiles[firsts[k]].get());
    if (!tile || !tile->image()) return std::nullopt;
    f.faces[k] = tile->image();
  }
  // Whole periods of the pattern off, so that the field's recentring under
  // the screen, a period at a time, leaves this unchanged.
  const kit::Point o = field.convertPointToView(tiles[0]->frame().origin, vc.outlets.stretcherView.get());
  f.origin = {o.x - 2 * pitchX * std::floor(o.x / (2 * pitchX)), o.y - 2 * pitchY * std::floor(o.y / (2 * pitchY))};
  f.pitchX = pitchX;
  f.pitchY = pitchY;
  return f;
}

// Whether the context can copy between framebuffers (OpenGL ES 3), which
// the panel beside the screen is drawn with.
bool canBlit() {
  const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  int major = 0;
  return version && std::sscanf(version, "OpenGL ES %d", &major) == 1 && major >= 3;
}

// An offscreen framebuffer of one square size, for the bird's-eye panel:
// the compositor clears all of the framebuffer it draws into.
class PanelTarget {
 public:
  PanelTarget() = default;
  PanelTarget(const PanelTarget&) = delete;
  PanelTarget& operator=(const PanelTarget&) = delete;
  ~PanelTarget() { release(); }

  // Binds it, made side pixels square; false when the driver will not.
  bool bind(int side) {
    if (side != side_) {
      release();
      glGenFramebuffers(1, &framebuffer_);
      glGenRenderbuffers(2, buffers_);
      glBindRenderbuffer(GL_RENDERBUFFER, buffers_[0]);
      glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, side, side);
      glBindRenderbuffer(GL_RENDERBUFFER, buffers_[1]);
      glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, side, side);
      glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
      glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, buffers_[0]);
      glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, buffers_[1]);
      side_ = side;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  }
  GLuint framebuffer() const { return framebuffer_; }

 private:
  void release() {
    if (!framebuffer_) return;
    glDeleteFramebuffers(1, &framebuffer_);
    glDeleteRenderbuffers(2, buffers_);
    framebuffer_ = 0;
    side_ = 0;
  }
  GLuint framebuffer_ = 0;
  GLuint buffers_[2] = {0, 0};
  int side_ = 0;
};

bool isMirrorModifier(SDL_Keycode key) {
  return key == SDLK_LCTRL || key == SDLK_RCTRL || key == SDLK_LALT || key == SDLK_RALT;
}

// Where motion comes from, chosen before the window opens.
struct MotionChoice {
  std::unique_ptr<kit::MotionSource> live;  // null: the keyboard's tablet
  ReplayMotionSource* replay = nullptr;     // live, when it is a replay
};

class DesktopHost {
 public:
  DesktopHost(const Options& options, SDL_Window* window, bool vsync, std::vector<InputStep> script,
              MotionChoice motion)
      : options_(options),
        window_(window),
        vsync_(vsync),
        script_(std::move(script)),
        motion_(std::move(motion)),
        platform_(clock_, motionSource(),
                  options.resourceDir.empty() ? kit::Bundle::defaultResourceDir() : options.resourceDir) {
    SDL_DisplayMode mode;
    if (SDL_GetWindowDisplayMode(window_, &mode) == 0 && mode.refresh_rate > 0) refreshRate_ = mode.refresh_rate;
    platform_.sounds().player = [this](const std::string& path) { sounds_.play(path); };
    platform_.application().urlOpener = [this](const std::string& url) {
      if (links_.open(url)) return true;
      if (notice_) notice_->show(linkFailureText(url));
      return false;
    };
    platform_.photoLibrarySource().root = options.libraryDir;
    platform_.imagePickers().camera = kit::makeSystemCamera();
  }

  // Throws what the launch throws.
  void launch() {
    app_ = std::make_unique<VitraneforiPadAppDelegate>(platform_);
    app_->viewController->flatPivotMode =
        options_.flatPivotEstimate ? FlatPivotMode::Estimate : FlatPivotMode::Centre;
    app_->applicationDidFinishLaunchingWithOptions();
    platform_.runLoop().drainMainQueue();
    keyHint_.addTo(*app_->window);
    app_->window->addSubview(mirrorMark_.view());
    notice_ = std::make_unique<Notice>(platform_.runLoop());
    app_->window->addSubview(notice_->view());
    recordLaunch();
    startMotionClock();
    sink_ = std::make_unique<kit::TouchDispatcher>(*app_->window, platform_.runLoop());
    touches_ = std::make_unique<TouchMapper>(recordedTouches(*sink_));
    updateGeometry();
  }

  // Answers the exit status.
  int run() {
    int timeout = 0;
    for (;;) {
      SDL_Event event;
      const bool gotEvent = SDL_WaitEventTimeout(&event, timeout) != 0;
      clock_.beginStep();
      // What fell due while waiting comes first, then the events taken now:
      // frames and touches reach the application in time order, as a
      // replay of a recording delivers them.
      platform_.runLoop().fireDueTimers();
      if (gotEvent) {
        handleEvent(event, mirrorHeld());
        while (SDL_PollEvent(&event)) handleEvent(event, mirrorHeld());
      }
      replayDueSteps();
      if (options_.exitAfter && clock_.now() >= *options_.exitAfter) quit_ = true;
      if (quitSignalled || quit_) break;

      kit::RunLoop& loop = platform_.runLoop();
      loop.fireDueTimers();
      loop.drainMainQueue();
      answerCameraPicker();
      for (const std::string& url : links_.failedAmong(reapChildren())) notice_->show(linkFailureText(url));
      updateOverlays();
      if (redraw_.isStale()) needsDraw_ = true;
      if (birdsEyeChanges()) needsDraw_ = true;

      if (needsDraw_ && isDrawable() && clock_.now() >= nextPresentAllowed_) present();
      timeout = waitMilliseconds(clock_.now(), loop.nextTimerTime(), nextHostEvent());
    }
    if (touches_) touches_->cancelAll(clock_.now());
    if (options_.countFramesAfter)
      std::fprintf(stderr, "vitrane: %d frames drawn from %g s on\n", framesCounted_, *options_.countFramesAfter);
    int status = options_.screenshotPath.empty() || writeScreenshot() ? 0 : 1;
    if (recorder_) {
      recorder_->finish();
      if (!recordFile_) {
        std::fprintf(stderr, "vitrane: cannot write %s\n", options_.recordPath.c_str());
        status = 1;
      }
    }
    return status;
  }

  // The application goes before the compositors and the context they draw
  // with; the caller deletes the context after this.
  ~DesktopHost() {
    touches_.reset();
    sink_.reset();  // holds the window
    app_.reset();
    birdsEye_.reset();
    panelTarget_.reset();
    panelCompositor_.reset();
    compositor_.reset();
  }

  // A camera picker takes its still from the machine's camera at once; one
  // that cannot take a picture is cancelled, with the reason in the log.
  void answerCameraPicker() {
    kit::ImagePickerController* picker = platform_.imagePickers().openPicker();
    if (!picker || picker->sourceType() != kit::ImagePickerSourceType::Camera) return;
    std::string why;
    if (picker->takePicture(&why)) return;
    kit::log("The camera took no picture: %@", why);
    picker->cancel();
  }

  void makeCompositor() {
    compositor_ = std::make_unique<render::Compositor>();
    // A compositor of its own keeps the two trees' text and textures from
    // taking each other's place in its caches frame after frame.
    if (canBlit()) {
      panelCompositor_ = std::make_unique<render::Compositor>();
      panelTarget_ = std::make_unique<PanelTarget>();
    } else {
      std::fprintf(stderr, "vitrane: the table seen from above needs OpenGL ES 3; this context has less\n");
    }
  }

 private:
  // What the host lays over the application follows what the person does
  // and what the application shows.
  void updateOverlays() {
    keyHint_.setScreenCovered(!app_->viewController->outlets.iPhoneDesktopView->isHidden());
    std::optional<kit::Point> mouse;
    if (mouseInWindow_) mouse = touches_->screenPointFromWindow(mouseX_, mouseY_);
    mirrorMark_.update(mirrorHeldNow_, mouse);
  }

  bool mirrorHeld() const { return (SDL_GetModState() & (KMOD_CTRL | KMOD_ALT)) != 0; }

  bool isDrawable() const {
    return (SDL_GetWindowFlags(window_) & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN)) == 0 &&
           !fitScreen(drawableWidth_, drawableHeight_).isEmpty();
  }

  // The earliest thing the host itself must do: a scripted step, the exit,
  // a frame held back by pacing.
  std::optional<double> nextHostEvent() const {
    std::optional<double> next;
    auto consider = [&](double t) { next = next ? std::min(*next, t) : t; };
    if (nextStep_ < script_.size()) consider(script_[nextStep_].time);
    if (options_.exitAfter) consider(*options_.exitAfter);
    if (needsDraw_ && isDrawable()) consider(nextPresentAllowed_);
    return next;
  }

  // The panel changes where the application's views may not: a slide
  // moves nothing on the screen, and the panel's view glides after the
  // tablet and fades a slide's marks after it has stopped.
  bool birdsEyeChanges() {
    if (tablet_.isMoving()) tabletMovesEnd_ = tablet_.movesEnd();
    else tabletMovesEnd_ = std::min(tabletMovesEnd_, tablet_.now());
    if (!birdsEye_ || motion_.live || !placeBirdsEye(drawableWidth_, drawableHeight_, birdsEyeMode_)) return false;
    const double now = clock_.now();
    return now < tabletMovesEnd_ + 5 * BirdsEyeView::kGlideSeconds || now < birdsEye_->changesUntil();
  }

  void updateGeometry() {
    WindowGeometry g;
    SDL_GetWindowSize(window_, &g.windowWidth, &g.windowHeight);
    SDL_GL_GetDrawableSize(window_, &g.drawableWidth, &g.drawableHeight);
    drawableWidth_ = g.drawableWidth;
    drawableHeight_ = g.drawableHeight;
    if (touches_) touches_->setGeometry(g);
    needsDraw_ = true;
  }

  void handleEvent(const SDL_Event& e, bool mirror) {
    const double t = clock_.now();
    switch (e.type) {
      case SDL_QUIT:
        quit_ = true;
        break;
      case SDL_WINDOWEVENT:
        switch (e.window.event) {
          case SDL_WINDOWEVENT_CLOSE: quit_ = true; break;
          case SDL_WINDOWEVENT_LEAVE: mouseInWindow_ = false; break;
          case SDL_WINDOWEVENT_FOCUS_LOST:
            // The key-up and button-up events of whatever is held now will
            // go to another window.
            keys_.releaseAll(t);
            touches_->cancelAll(t);
            break;
          // Resized, moved to a display of another density, shown,
          // exposed: the pixels may have changed under the same size.
          default: updateGeometry(); break;
        }
        break;
      case SDL_KEYDOWN:
      case SDL_KEYUP: handleKey(e.key, mirror, t); break;
      case SDL_MOUSEBUTTONDOWN:
        if (e.button.which == SDL_TOUCH_MOUSEID || e.button.button != SDL_BUTTON_LEFT) break;
        mouseX_ = static_cast<float>(e.button.x);
        mouseY_ = static_cast<float>(e.button.y);
        mirrorHeldNow_ = mirror;
        touches_->mouseDown(mouseX_, mouseY_, mirror, t);
        needsDraw_ = true;
        break;
      case SDL_MOUSEMOTION:
        if (e.motion.which == SDL_TOUCH_MOUSEID) break;
        mouseX_ = static_cast<float>(e.motion.x);
        mouseY_ = static_cast<float>(e.motion.y);
        mouseInWindow_ = true;
        mirrorHeldNow_ = mirror;
        touches_->mouseMoved(mouseX_, mouseY_, mirror, t);
        needsDraw_ = true;
        break;
      case SDL_MOUSEBUTTONUP:
        if (e.button.which == SDL_TOUCH_MOUSEID || e.button.button != SDL_BUTTON_LEFT) break;
        touches_->mouseUp(static_cast<float>(e.button.x), static_cast<float>(e.button.y), t);
        needsDraw_ = true;
        break;
      case SDL_FINGERDOWN:
      case SDL_FINGERMOTION:
      case SDL_FINGERUP: {
        const SDL_TouchFingerEvent& f = e.tfinger;
        if (f.touchId == SDL_MOUSE_TOUCHID) break;  // the mouse, already seen as the mouse
        if (e.type == SDL_FINGERDOWN) touches_->fingerDown(f.touchId, f.fingerId, f.x, f.y, t);
        if (e.type == SDL_FINGERMOTION) touches_->fingerMoved(f.touchId, f.fingerId, f.x, f.y, t);
        if (e.type == SDL_FINGERUP) touches_->fingerUp(f.touchId, f.fingerId, f.x, f.y, t);
        needsDraw_ = true;
        break;
      }
      default: break;
    }
  }

  void handleKey(const SDL_KeyboardEvent& key, bool mirror, double t) {
    const bool down = key.type == SDL_KEYDOWN;
    const SDL_Scancode code = key.keysym.scancode;
    if (!down && (code == SDL_SCANCODE_LEFT || code == SDL_SCANCODE_RIGHT)) {
      // Whatever Shift does now: the key may have gone down without it.
      keys_.release(code == SDL_SCANCODE_LEFT ? TabletKey::TurnLeft : TabletKey::TurnRight, t);
    } else if (auto tabletKey = tabletKeyFor(code, (key.keysym.mod & KMOD_SHIFT) != 0)) {
      if (down) pressTabletKey(*tabletKey, t, key.repeat != 0);
    } else if (key.keysym.sym == SDLK_h && down && !key.repeat) {
      keyHint_.toggle();
    } else if (key.keysym.sym == SDLK_b && down && !key.repeat) {
      birdsEyeMode_ = toggledBirdsEye(birdsEyeMode_, drawableWidth_, drawableHeight_);
      needsDraw_ = true;
    } else if (isMirrorModifier(key.keysym.sym) && !key.repeat) {
      // The second finger comes down or lifts with the modifier, even while
      // the mouse is still.
      mirrorHeldNow_ = mirror;
      touches_->mouseMoved(mouseX_, mouseY_, mirror, t);
    }
  }

  // Scripted input goes through the same handling as the real thing.
  void replayDueSteps() {
    while (nextStep_ < script_.size() && script_[nextStep_].time <= clock_.now()) {
      const InputStep& step = script_[nextStep_++];
      SDL_Event e{};
      bool mirror = step.mirror;
      switch (step.kind) {
        case InputStep::Kind::Quit: quit_ = true; return;
        case InputStep::Kind::Window:
          // The window system answers with a size event of its own.
          SDL_SetWindowSize(window_, step.width, step.height);
          continue;
        case InputStep::Kind::Key:
          e.type = step.action == InputStep::Action::Down ? SDL_KEYDOWN : SDL_KEYUP;
          e.key.type = e.type;
          e.key.keysym.sym = SDL_GetKeyFromName(step.key.c_str());
          e.key.keysym.scancode = SDL_GetScancodeFromKey(e.key.keysym.sym);
          e.key.keysym.mod = step.shift ? KMOD_LSHIFT : KMOD_NONE;
          mirror = isMirrorModifier(e.key.keysym.sym) && e.type == SDL_KEYDOWN;
          break;
        case InputStep::Kind::Mouse: {
          const kit::Point w = touches_->windowPointFromScreen(step.location);
          e.type = step.action == InputStep::Action::Down ? SDL_MOUSEBUTTONDOWN
                   : step.action == InputStep::Action::Up ? SDL_MOUSEBUTTONUP
                                                          : SDL_MOUSEMOTION;
          if (e.type == SDL_MOUSEMOTION) {
            e.motion.x = static_cast<Sint32>(w.x);
            e.motion.y = static_cast<Sint32>(w.y);
            e.motion.state = SDL_BUTTON_LMASK;
          } else {
            e.button.button = SDL_BUTTON_LEFT;
            e.button.x = static_cast<Sint32>(w.x);
            e.button.y = static_cast<Sint32>(w.y);
          }
          break;
        }
        case InputStep::Kind::Finger: {
          const kit::Point n = touches_->normalisedPointFromScreen(step.location);
          e.type = step.action == InputStep::Action::Down ? SDL_FINGERDOWN
                   : step.action == InputStep::Action::Up ? SDL_FINGERUP
                                                          : SDL_FINGERMOTION;
          e.tfinger.touchId = kScriptTouchDevice;
          e.tfinger.fingerId = step.finger;
          e.tfinger.x = n.x;
          e.tfinger.y = n.y;
          break;
        }
      }
      handleEvent(e, mirror);
    }
  }

  void draw() {
    const Letterbox box = fitScreen(drawableWidth_, drawableHeight_);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glViewport(0, 0, drawableWidth_, drawableHeight_);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);

    // Above anything the application may have added to its window since.
    keyHint_.bringToFront(*app_->window);
    app_->window->bringSubviewToFront(mirrorMark_.view().get());
    app_->window->bringSubviewToFront(notice_->view().get());
    render::FrameSettings settings;
    settings.time = clock_.now();
    settings.viewportWidth = drawableWidth_;
    settings.viewportHeight = drawableHeight_;
    settings.pixelsPerPoint = box.pixelsPerPoint;
    settings.offsetX = static_cast<float>(box.x);
    settings.offsetY = static_cast<float>(box.y);
    settings.clearColor = kit::Color::black();
    compositor_->draw(*app_->window, settings);
    paintBars(box);
    if (auto panel = placeBirdsEye(drawableWidth_, drawableHeight_, birdsEyeMode_)) drawBirdsEye(*panel);
  }

  // Which table point each picture point stands for: at launch the picture
  // counts as showing the table exactly.
  void recordLaunch() {
    const VitraneforiPadViewController& vc = *app_->viewController;
    const kit::TabletPose pose = tablet_.pose();
    const kit::AffineTransform screenToTable = affineThrough([&](kit::Point s) {
      const kit::Vector3 t = pose.tablePointUnder(s.x, s.y);
      return kit::Point{static_cast<float>(t.x), static_cast<float>(t.y)};
    });
    pictureToTable_ = kit::AffineTransform::concat(toScreen(*vc.outlets.stretcherView), screenToTable);
    birdsEye_ = std::make_unique<BirdsEyeView>(tablet_.geometry());
  }

  // The live source the platform reads: the sensors, a replay or the
  // keyboard's tablet, seen through the recording when there is one.
  kit::MotionSource& motionSource() {
    kit::MotionSource& live = motion_.live ? *motion_.live : static_cast<kit::MotionSource&>(tablet_);
    if (options_.recordPath.empty()) return live;
    recordFile_.open(options_.recordPath, std::ios::binary | std::ios::trunc);
    if (!recordFile_) throw std::runtime_error("cannot write " + options_.recordPath);
    recorder_ = std::make_unique<SessionRecorder>(recordFile_);
    // The replay turns a flat tablet about the same pivot as the session did.
    if (options_.flatPivotEstimate) recorder_->configuration("flat-pivot estimate");
    recordingMotion_ = std::make_unique<RecordingMotionSource>(live, *recorder_);
    return *recordingMotion_;
  }

  kit::TouchSink& recordedTouches(kit::TouchSink& sink) {
    if (!recorder_) return sink;
    recordingTouches_ = std::make_unique<RecordingTouchSink>(sink, *recorder_);
    return *recordingTouches_;
  }

  // Set-up started the accelerometer: its start is the time 0 of a replay
  // and of a recording, as it is the runner's.
  void startMotionClock() {
    const kit::Accelerometer& a = platform_.accelerometer();
    const double start = a.nextDeliveryTime() ? *a.nextDeliveryTime() - a.updateInterval() : clock_.now();
    if (motion_.replay) motion_.replay->setOrigin(start);
    if (recorder_) recorder_->begin(start);
  }

  void pressTabletKey(TabletKey key, double t, bool repeat) {
    if (motion_.live) {
      if (!keysIgnoredSaid_)
        std::fprintf(stderr, "vitrane: the keys move the simulated tablet, which is not in use (--motion sim)\n");
      keysIgnoredSaid_ = true;
      return;
    }
    try {
      keys_.press(key, t, repeat);
    } catch (const std::invalid_argument& e) {
      std::fprintf(stderr, "vitrane: the tablet cannot do that: %s\n", e.what());
    }
  }

  // The panel is drawn apart and copied in: the compositor clears all of
  // the framebuffer it draws into.
  void drawBirdsEye(const PanelRect& panel) {
    // The panel shows the keyboard's tablet, which real sensors do not move.
    if (!panelCompositor_ || !birdsEye_ || motion_.live) return;
    const VitraneforiPadViewController& vc = *app_->viewController;
    birdsEye_->setTable(tileFieldOf(vc), pictureToTable_);
    BirdsEyeView::State state;
    state.time = tablet_.now();
    state.pose = tablet_.pose();
    state.pivot = tablet_.defaultPivot();
    state.picturePivot = vc.pivot.currentAnchor();
    state.estimatedPivot = vc.estimatedFlatPivot();
    state.pictureScreenToTable =
        kit::AffineTransform::concat(toScreen(*vc.outlets.stretcherView).inverted(), pictureToTable_);
    state.photos = photosOnTable(*vc.outlets.photosLayerView, *vc.outlets.stretcherView);
    if (const auto& slide = keys_.lastSlide()) state.slide = BirdsEyeView::State::Slide{slide->from, slide->ends};
    birdsEye_->update(state);

    if (!panelTarget_->bind(panel.side)) {
      std::fprintf(stderr, "vitrane: no framebuffer for the table seen from above; it stays hidden\n");
      panelCompositor_.reset();
      glBindFramebuffer(GL_FRAMEBUFFER, 0);
      return;
    }
    render::FrameSettings settings;
    settings.time = clock_.now();
    settings.viewportWidth = panel.side;
    settings.viewportHeight = panel.side;
    settings.pixelsPerPoint = static_cast<float>(panel.side) / kBirdsEyePoints;
    settings.clearColor = kit::Color::black();
    panelCompositor_->draw(*birdsEye_->root(), settings);

    glBindFramebuffer(GL_READ_FRAMEBUFFER, panelTarget_->framebuffer());
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glDisable(GL_SCISSOR_TEST);
    // GL counts rows from the bottom, in both framebuffers.
    const int top = drawableHeight_ - panel.y;
    glBlitFramebuffer(0, 0, panel.side, panel.side, panel.x, top - panel.side, panel.x + panel.side, top,
                      GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
  }

  // The world reaches far beyond the screen's edges; on a tablet the glass
  // ends there, so whatever was drawn beside the screen is blacked out.
  void paintBars(const Letterbox& box) {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(0, 0, 0, 1);
    glEnable(GL_SCISSOR_TEST);
    const int w = drawableWidth_, h = drawableHeight_;
    const int right = box.x + box.width, bottom = box.y + box.height;
    // GL counts rows from the bottom.
    const int bars[4][4] = {{0, 0, box.x, h},
                            {right, 0, w - right, h},
                            {0, h - box.y, w, box.y},
                            {0, 0, w, h - bottom}};
    for (const auto& b : bars) {
      if (b[2] <= 0 || b[3] <= 0) continue;
      glScissor(b[0], b[1], b[2], b[3]);
      glClear(GL_COLOR_BUFFER_BIT);
    }
    glDisable(GL_SCISSOR_TEST);
  }

  void present() {
    // The time the picture shows: a draw or swap that takes long must not
    // count an animation as over that the picture showed part way.
    const double shown = clock_.now();
    draw();
    SDL_GL_SwapWindow(window_);
    needsDraw_ = false;
    redraw_.drawn(shown);
    if (options_.countFramesAfter && shown >= *options_.countFramesAfter) ++framesCounted_;
    // Without vsync the loop would draw every frame, twice a refresh; with
    // it, a driver that ignores the interval must not make it spin either.
    const double period = 1.0 / refreshRate_;
    nextPresentAllowed_ = clock_.now() + (vsync_ ? 0.75 : 1.0) * period;
  }

  bool writeScreenshot() {
    if (!isDrawable()) {
      std::fprintf(stderr, "vitrane: no screenshot: the window has no pixels to read\n");
      return false;
    }
    draw();
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    kit::Bitmap shot = kit::Bitmap::make(drawableWidth_, drawableHeight_, kit::PixelFormat::RGBA8);
    std::vector<std::uint8_t> pixels(shot.pixels.size());
    glReadPixels(0, 0, drawableWidth_, drawableHeight_, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    if (glGetError() != GL_NO_ERROR) {
      std::fprintf(stderr, "vitrane: no screenshot: the frame could not be read back\n");
      return false;
    }
    // GL's rows run bottom to top; the window may have no alpha channel.
    for (int y = 0; y < drawableHeight_; ++y) {
      std::copy_n(pixels.data() + shot.rowBytes() * static_cast<std::size_t>(drawableHeight_ - 1 - y),
                  shot.rowBytes(), shot.row(y));
      for (int x = 0; x < drawableWidth_; ++x) shot.row(y)[4 * x + 3] = 255;
    }
    std::string error;
    if (!kit::writePngFile(shot, options_.screenshotPath, &error)) {
      std::fprintf(stderr, "vitrane: cannot write %s: %s\n", options_.screenshotPath.c_str(), error.c_str());
      return false;
    }
    return true;
  }

  const Options& options_;
  SDL_Window* window_;
  bool vsync_;
  std::vector<InputStep> script_;
  std::size_t nextStep_ = 0;
  int refreshRate_ = 60;

  kit::RealClock realClock_;
  SteppedClock clock_{realClock_};
  kit::SimulatedTablet tablet_{kit::TabletGeometry{}, clock_.now()};
  TabletKeyboard keys_{tablet_};
  SoundPlayer sounds_;
  MotionChoice motion_;
  std::ofstream recordFile_;
  std::unique_ptr<SessionRecorder> recorder_;
  std::unique_ptr<RecordingMotionSource> recordingMotion_;
  std::unique_ptr<RecordingTouchSink> recordingTouches_;
  bool keysIgnoredSaid_ = false;
  kit::Platform platform_;
  std::unique_ptr<render::Compositor> compositor_;
  std::unique_ptr<render::Compositor> panelCompositor_;
  std::unique_ptr<PanelTarget> panelTarget_;
  std::unique_ptr<BirdsEyeView> birdsEye_;
  BirdsEyeMode birdsEyeMode_ = BirdsEyeMode::Auto;
  double tabletMovesEnd_ = -std::numeric_limits<double>::infinity();  // as last seen moving
  kit::AffineTransform pictureToTable_;
  std::unique_ptr<VitraneforiPadAppDelegate> app_;
  KeyHint keyHint_;
  MirrorMark mirrorMark_;
  LinkOpener links_;
  std::unique_ptr<Notice> notice_;
  // Touch delivery to the window: goes before the application.
  std::unique_ptr<kit::TouchDispatcher> sink_;
  std::unique_ptr<TouchMapper> touches_;

  int drawableWidth_ = 0, drawableHeight_ = 0;
  float mouseX_ = 0, mouseY_ = 0;
  bool mouseInWindow_ = false;
  bool mirrorHeldNow_ = false;  // as the last mouse or modifier event found it
  bool needsDraw_ = true;
  RedrawWatch redraw_;
  int framesCounted_ = 0;
  bool quit_ = false;
  double nextPresentAllowed_ = 0;
};

std::optional<std::vector<InputStep>> loadScript(const std::string& path) {
  if (path.empty()) return std::vector<InputStep>{};
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  if (!in) {
    std::fprintf(stderr, "vitrane: cannot read %s\n", path.c_str());
    return std::nullopt;
  }
  try {
    std::vector<InputStep> steps = parseInputScript(text.str(), path);
    for (const InputStep& step : steps)
      if (step.kind == InputStep::Kind::Key && SDL_GetKeyFromName(step.key.c_str()) == SDLK_UNKNOWN) {
        std::fprintf(stderr, "vitrane: %s: no key is called \"%s\"\n", path.c_str(), step.key.c_str());
        return std::nullopt;
      }
    return steps;
  } catch (const InputScriptError& e) {
    std::fprintf(stderr, "vitrane: %s\n", e.what());
    return std::nullopt;
  }
}

// The motion source the options ask for; nothing (with a message) when it
// cannot be had. Auto says on standard error which it took.
std::optional<MotionChoice> chooseMotion(const Options& options) {
  MotionChoice choice;
  using Motion = Options::Motion;
  if (options.motion == Motion::Replay) {
    std::ifstream in(options.replayPath, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    if (!in) {
      std::fprintf(stderr, "vitrane: cannot read %s\n", options.replayPath.c_str());
      return std::nullopt;
    }
    try {
      auto replay = std::make_unique<ReplayMotionSource>(text.str(), options.replayPath);
      choice.replay = replay.get();
      choice.live = std::move(replay);
    } catch (const ReplayError& e) {
      std::fprintf(stderr, "vitrane: %s\n", e.what());
      return std::nullopt;
    }
    return choice;
  }
  if (options.motion == Motion::Simulated) return choice;
  const kit::IioPaths paths = options.iioRoot.empty() ? kit::IioPaths{} : kit::IioPaths::underRoot(options.iioRoot);
  std::string why;
  auto iio = kit::IioMotionSource::open(paths, {}, &why);
  if (iio) {
    if (options.motion == Motion::Auto)
      std::fprintf(stderr, "vitrane: motion from the IIO sensors: %s\n", iio->description().c_str());
    choice.live = std::move(iio);
    return choice;
  }
  if (options.motion == Motion::Iio) {
    std::fprintf(stderr, "vitrane: %s\n", why.c_str());
    return std::nullopt;
  }
  std::fprintf(stderr, "vitrane: motion from the simulated tablet on the keyboard (%s)\n", why.c_str());
  return choice;
}

int runApplication(Options options) {
  // First of all, so that an interrupt at any moment from here on ends in
  // the clean exit.
  installSignalHandlers();
  std::unique_ptr<LogFile> logFile;
  if (options.logPath != "-") {
    const bool chosen = !options.logPath.empty();
    const std::string path =
        chosen ? options.logPath : defaultLogPath(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
    std::string why = "no state folder is known (neither XDG_STATE_HOME nor HOME is set)";
    if (!path.empty()) logFile = LogFile::open(path, &why);
    if (!logFile && chosen) {
      std::fprintf(stderr, "vitrane: cannot write the log to %s: %s\n", path.c_str(), why.c_str());
      return 1;
    }
    // Nothing is lost: the log stays on the terminal.
    if (!logFile) std::fprintf(stderr, "vitrane: the log goes to the terminal: %s%s%s\n", path.c_str(),
                               path.empty() ? "" : ": ", why.c_str());
  }
  if (options.libraryDir.empty()) options.libraryDir = defaultPicturesFolder();
  if (const std::string problem = libraryFolderProblem(options.libraryDir); !problem.empty())
    std::fprintf(stderr, "vitrane: %s\n", problem.c_str());

  // The loop watches its own flag; SDL's handlers would turn a signal into
  // a quit event only while events are being pumped.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // Each pointing device is seen once: fingers as fingers, the mouse as the mouse.
  SDL_SetHint(SDL_HINT_TOUCH_MOUSE_EVENTS, "0");
  SDL_SetHint(SDL_HINT_MOUSE_TOUCH_EVENTS, "0");
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    std::fprintf(stderr, "vitrane: cannot open a window: %s\n", SDL_GetError());
    return 1;
  }
  if (isInvisibleVideoDriver(SDL_GetCurrentVideoDriver())) {
    std::fprintf(stderr, "vitrane: no display to open the window on (DISPLAY and WAYLAND_DISPLAY reach none)\n");
    SDL_Quit();
    return 1;
  }

  GlWindow gl;
  std::string error;
  if (!openWindow(gl, error)) {
    std::fprintf(stderr, "vitrane: %s\n", error.c_str());
    SDL_Quit();
    return 1;
  }
  // Some drivers cannot follow the display; the loop paces itself then.
  const bool vsync = SDL_GL_SetSwapInterval(1) == 0;

  int status = 1;
  auto motion = chooseMotion(options);
  if (auto script = loadScript(options.scriptPath); script && motion) {
    try {
      DesktopHost host(options, gl.window, vsync, std::move(*script), std::move(*motion));
      host.makeCompositor();
      host.launch();
      status = host.run();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "vitrane: %s\n", e.what());
      status = 1;
    }
  }
  SDL_GL_DeleteContext(gl.context);
  SDL_DestroyWindow(gl.window);
  SDL_Quit();
  return status;
}

}  // namespace
}  // namespace desktop

int main(int argc, char** argv) {
  const desktop::ParsedArguments parsed =
      desktop::parseArguments(std::vector<std::string>(argv + 1, argv + argc));
  switch (parsed.action) {
    case desktop::ParsedArguments::Action::Help:
      std::fputs(desktop::usageText(), stdout);
      return 0;
    case desktop::ParsedArguments::Action::Version:
      std::printf("vitrane %s\n", VITRANE_VERSION);
      return 0;
    case desktop::ParsedArguments::Action::Error:
      std::fputs(desktop::usageErrorLine(parsed.error).c_str(), stderr);
      return 1;
    case desktop::ParsedArguments::Action::Run:
      break;
  }
  return desktop::runApplication(parsed.options);
}
