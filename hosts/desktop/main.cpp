// vitrane: the application in a desktop window, with the keyboard standing
// in for the motion sensors and the mouse for fingers.
#include <GLES2/gl2.h>
#include <SDL.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <exception>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/app_delegate.h"
#include "hosts/desktop/input_script.h"
#include "hosts/desktop/key_hint.h"
#include "hosts/desktop/keyboard_motion.h"
#include "hosts/desktop/loop_timing.h"
#include "hosts/desktop/options.h"
#include "hosts/desktop/process.h"
#include "hosts/desktop/screen_mapping.h"
#include "hosts/desktop/sound_player.h"
#include "kit/bundle.h"
#include "kit/image_codec.h"
#include "kit/platform.h"
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

// The initial window: the whole screen at one window unit a point where
// that fits, else as large as fits in nine tenths of the display.
void initialWindowSize(int& width, int& height) {
  double scale = 1;
  SDL_Rect usable;
  if (SDL_GetDisplayUsableBounds(0, &usable) == 0 && usable.w > 0 && usable.h > 0)
    scale = std::min({1.0, 0.9 * usable.w / kScreenWidth, 0.9 * usable.h / kScreenHeight});
  width = std::max(1, static_cast<int>(kScreenWidth * scale));
  height = std::max(1, static_cast<int>(kScreenHeight * scale));
}

bool openWindow(GlWindow& out, std::string& error) {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
  int width = 0, height = 0;
  initialWindowSize(width, height);
  out.window = SDL_CreateWindow("Vitrane", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
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

std::optional<MotionKey> motionKeyFor(SDL_Scancode code) {
  // By position, so W A S D sit under the left hand on any layout.
  switch (code) {
    case SDL_SCANCODE_LEFT: return MotionKey::TurnLeft;
    case SDL_SCANCODE_RIGHT: return MotionKey::TurnRight;
    case SDL_SCANCODE_W: return MotionKey::RaiseTop;
    case SDL_SCANCODE_S: return MotionKey::LowerTop;
    case SDL_SCANCODE_A: return MotionKey::RaiseLeft;
    case SDL_SCANCODE_D: return MotionKey::RaiseRight;
    default: return std::nullopt;
  }
}

bool isMirrorModifier(SDL_Keycode key) {
  return key == SDLK_LCTRL || key == SDLK_RCTRL || key == SDLK_LALT || key == SDLK_RALT;
}

class DesktopHost {
 public:
  DesktopHost(const Options& options, SDL_Window* window, bool vsync, std::vector<InputStep> script)
      : options_(options),
        window_(window),
        vsync_(vsync),
        script_(std::move(script)),
        platform_(clock_, motion_,
                  options.resourceDir.empty() ? kit::Bundle::defaultResourceDir() : options.resourceDir) {
    SDL_DisplayMode mode;
    if (SDL_GetWindowDisplayMode(window_, &mode) == 0 && mode.refresh_rate > 0) refreshRate_ = mode.refresh_rate;
    platform_.sounds().player = [this](const std::string& path) { sounds_.play(path); };
    platform_.application().urlOpener = openUrl;
  }

  // Throws what the launch throws.
  void launch() {
    app_ = std::make_unique<VitraneforiPadAppDelegate>(platform_);
    app_->applicationDidFinishLaunchingWithOptions();
    platform_.runLoop().drainMainQueue();
    hint_ = makeKeyHint();
    app_->window->addSubview(hint_);
    sink_ = std::make_unique<WindowTouchSink>(*app_->window);
    touches_ = std::make_unique<TouchMapper>(*sink_);
    updateGeometry();
  }

  // Answers the exit status.
  int run() {
    int timeout = 0;
    for (;;) {
      SDL_Event event;
      const bool gotEvent = SDL_WaitEventTimeout(&event, timeout) != 0;
      clock_.beginStep();
      if (gotEvent) {
        handleEvent(event, mirrorHeld());
        while (SDL_PollEvent(&event)) handleEvent(event, mirrorHeld());
      }
      replayDueSteps();
      if (options_.exitAfter && clock_.now() >= *options_.exitAfter) quit_ = true;
      if (quitSignalled || quit_) break;

      kit::RunLoop& loop = platform_.runLoop();
      const std::uint64_t framesBefore = platform_.accelerometer().deliveries();
      loop.fireDueTimers();
      loop.drainMainQueue();
      reapChildren();
      if (platform_.accelerometer().deliveries() != framesBefore) needsDraw_ = true;

      if (needsDraw_ && isDrawable() && clock_.now() >= nextPresentAllowed_) present();
      timeout = waitMilliseconds(clock_.now(), loop.nextTimerTime(), nextHostEvent());
    }
    if (touches_) touches_->cancelAll(clock_.now());
    return options_.screenshotPath.empty() || writeScreenshot() ? 0 : 1;
  }

  // The application goes before the compositor and the context it draws
  // with; the caller deletes the context after this.
  ~DesktopHost() {
    app_.reset();
    compositor_.reset();
  }

  void makeCompositor() { compositor_ = std::make_unique<render::Compositor>(); }

 private:
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
          case SDL_WINDOWEVENT_FOCUS_LOST:
            // The key-up and button-up events of whatever is held now will
            // go to another window.
            motion_.releaseAll(t);
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
        touches_->mouseDown(mouseX_, mouseY_, mirror, t);
        needsDraw_ = true;
        break;
      case SDL_MOUSEMOTION:
        if (e.motion.which == SDL_TOUCH_MOUSEID) break;
        mouseX_ = static_cast<float>(e.motion.x);
        mouseY_ = static_cast<float>(e.motion.y);
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
    if (auto motionKey = motionKeyFor(key.keysym.scancode)) {
      if (down)
        motion_.press(*motionKey, t);
      else
        motion_.release(*motionKey, t);
    } else if (key.keysym.scancode == SDL_SCANCODE_SPACE && down) {
      motion_.layFlat(t);
    } else if (key.keysym.sym == SDLK_h && down && !key.repeat) {
      hint_->setHidden(!hint_->isHidden());
      needsDraw_ = true;
    } else if (isMirrorModifier(key.keysym.sym) && !key.repeat) {
      // The second finger comes down or lifts with the modifier, even while
      // the mouse is still.
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
    app_->window->bringSubviewToFront(hint_.get());
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
    draw();
    SDL_GL_SwapWindow(window_);
    needsDraw_ = false;
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
  KeyboardMotionSource motion_{clock_.now()};
  SoundPlayer sounds_;
  kit::Platform platform_;
  std::unique_ptr<render::Compositor> compositor_;
  std::unique_ptr<VitraneforiPadAppDelegate> app_;
  std::shared_ptr<kit::View> hint_;
  std::unique_ptr<WindowTouchSink> sink_;
  std::unique_ptr<TouchMapper> touches_;

  int drawableWidth_ = 0, drawableHeight_ = 0;
  float mouseX_ = 0, mouseY_ = 0;
  bool needsDraw_ = true;
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

int runApplication(Options options) {
  // First of all, so that an interrupt at any moment from here on ends in
  // the clean exit.
  installSignalHandlers();
  if (options.libraryDir.empty()) options.libraryDir = defaultPicturesFolder();

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
  if (auto script = loadScript(options.scriptPath)) {
    try {
      DesktopHost host(options, gl.window, vsync, std::move(*script));
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
      std::fprintf(stderr, "vitrane: %s\n%s", parsed.error.c_str(), desktop::usageText());
      return 1;
    case desktop::ParsedArguments::Action::Run:
      break;
  }
  return desktop::runApplication(parsed.options);
}
