#include "hosts/desktop/host_loop.h"

#include <algorithm>
#include <cstdio>

#include "fakescreen/rubbed_view.h"
#include "hosts/desktop/process.h"
#include "hosts/desktop/quit_signal.h"
#include "kit/bundle.h"
#include "kit/image_codec.h"
#include "kit/log.h"
#include "render/readback.h"
#include "render/window_frame.h"

namespace desktop {

HostLoop::HostLoop(const Options& options, GlWindow& window, bool vsync,
                   std::vector<InputStep> script, MotionChoice motion,
                   std::unique_ptr<SessionRecording> recording)
    : options_(options),
      window_(window),
      vsync_(vsync),
      refreshRate_(window.refreshRate()),
      script_(std::move(script)),
      motion_(std::move(motion)),
      recording_(std::move(recording)) {
  // The live source the platform reads: the sensors, a replay or the
  // keyboard's tablet, seen through the recording when there is one.
  kit::MotionSource& live = motion_.live ? *motion_.live : static_cast<kit::MotionSource&>(tablet_);
  platform_ = std::make_unique<kit::Platform>(
      clock_, recording_ ? recording_->watchMotion(live) : live,
      options.resourceDir.empty() ? kit::Bundle::defaultResourceDir() : options.resourceDir);
  platform_->sounds().player = [this](const std::string& path) { sounds_.play(path); };
  platform_->application().urlOpener = [this](const std::string& url) {
    if (links_.open(url)) return true;
    if (notice_) notice_->show(linkFailureText(url));
    return false;
  };
  platform_->photoLibrarySource().root = options.libraryDir;
  platform_->imagePickers().camera = kit::makeSystemCamera();
}

HostLoop::~HostLoop() {
  touches_.reset();
  sink_.reset();  // holds the window
  app_.reset();
  panel_.reset();
  compositor_.reset();
}

void HostLoop::launch() {
  compositor_ = std::make_unique<render::Compositor>();
  panel_ = std::make_unique<BirdsEyePanel>();
  app_ = std::make_unique<VitraneforiPadAppDelegate>(*platform_);
  app_->viewController->flatPivotMode =
      motion_.flatPivotEstimate ? FlatPivotMode::Estimate : FlatPivotMode::Centre;
  app_->applicationDidFinishLaunchingWithOptions();
  platform_->runLoop().drainMainQueue();
  keyHint_.addTo(*app_->window);
  app_->window->addSubview(mirrorMark_.view());
  notice_ = std::make_unique<Notice>(platform_->runLoop());
  app_->window->addSubview(notice_->view());
  panel_->launched(*app_->viewController, tablet_);
  startMotionClock();
  sink_ = std::make_unique<kit::TouchDispatcher>(*app_->window, platform_->runLoop());
  touches_ = std::make_unique<TouchMapper>(recording_ ? recording_->watchTouches(*sink_) : *sink_);
  updateGeometry();
}

int HostLoop::run() {
  int timeout = 0;
  for (;;) {
    SDL_Event event;
    const bool gotEvent = SDL_WaitEventTimeout(&event, timeout) != 0;
    clock_.beginStep();
    // What fell due while waiting comes first, then the events taken now:
    // frames and touches reach the application in time order, as a replay
    // of a recording delivers them.
    platform_->runLoop().fireDueTimers();
    if (gotEvent) {
      handleEvent(event, mirrorHeld());
      while (SDL_PollEvent(&event)) handleEvent(event, mirrorHeld());
    }
    replayDueSteps();
    if (options_.exitAfter && clock_.now() >= *options_.exitAfter) quit_ = true;
    if (quitSignalled() || quit_) break;

    kit::RunLoop& loop = platform_->runLoop();
    loop.fireDueTimers();
    loop.drainMainQueue();
    answerCameraPicker();
    for (const std::string& url : links_.failedAmong(reapChildren()))
      notice_->show(linkFailureText(url));
    updateOverlays();
    if (redraw_.isStale()) needsDraw_ = true;
    if (panelChanges()) needsDraw_ = true;

    if (needsDraw_ && isDrawable() && clock_.now() >= nextPresentAllowed_) present();
    timeout = waitMilliseconds(clock_.now(), loop.nextTimerTime(), nextHostEvent());
  }
  return finish();
}

int HostLoop::finish() {
  if (touches_) touches_->cancelAll(clock_.now());
  if (options_.countFramesAfter)
    std::fprintf(stderr, "vitrane: %d frames drawn from %g s on\n", framesCounted_,
                 *options_.countFramesAfter);
  int status = options_.screenshotPath.empty() || writeScreenshot() ? 0 : 1;
  std::string error;
  if (recording_ && !recording_->finish(error)) {
    std::fprintf(stderr, "vitrane: %s\n", error.c_str());
    status = 1;
  }
  return status;
}

// A camera picker takes its still from the machine's camera at once; one
// that cannot take a picture is cancelled, with the reason in the log.
void HostLoop::answerCameraPicker() {
  kit::ImagePickerController* picker = platform_->imagePickers().openPicker();
  if (!picker || picker->sourceType() != kit::ImagePickerSourceType::Camera) return;
  const kit::Result<void> taken = picker->takePicture();
  if (taken) return;
  kit::log("The camera took no picture: %@", taken.error().message);
  picker->cancel();
}

// What the host lays over the application follows what the person does
// and what the application shows.
void HostLoop::updateOverlays() {
  keyHint_.setScreenCovered(!app_->viewController->outlets.iPhoneDesktopView->isHidden());
  std::optional<kit::Point> mouse;
  if (mouseInWindow_) mouse = touches_->screenPointFromWindow(mouseX_, mouseY_);
  mirrorMark_.update(mirrorHeldNow_, mouse);
}

void HostLoop::updateGeometry() {
  const WindowGeometry g = window_.geometry();
  drawableWidth_ = g.drawableWidth;
  drawableHeight_ = g.drawableHeight;
  if (touches_) touches_->setGeometry(g);
  needsDraw_ = true;
}

bool HostLoop::isDrawable() const {
  return !window_.isConcealed() && !fitScreen(drawableWidth_, drawableHeight_).isEmpty();
}

// The earliest thing the host itself must do: a scripted step, the exit, a
// frame held back by pacing.
std::optional<double> HostLoop::nextHostEvent() const {
  std::optional<double> next;
  auto consider = [&](double t) { next = next ? std::min(*next, t) : t; };
  if (nextStep_ < script_.size()) consider(script_[nextStep_].time);
  if (options_.exitAfter) consider(*options_.exitAfter);
  if (needsDraw_ && isDrawable()) consider(nextPresentAllowed_);
  return next;
}

// The panel shows the keyboard's tablet, which real sensors do not move.
bool HostLoop::panelChanges() {
  return !motion_.live && panel_->changes(tablet_, clock_.now(), drawableWidth_, drawableHeight_);
}

// Set-up started the accelerometer: its start is the time 0 of a replay
// and of a recording, as it is the runner's.
void HostLoop::startMotionClock() {
  const kit::Accelerometer& a = platform_->accelerometer();
  const double start =
      a.nextDeliveryTime() ? *a.nextDeliveryTime() - a.updateInterval() : clock_.now();
  if (motion_.replay) motion_.replay->setOrigin(start);
  if (recording_) recording_->begin(start);
}

void HostLoop::draw() {
  const Letterbox box = fitScreen(drawableWidth_, drawableHeight_);
  render::clearWindow(drawableWidth_, drawableHeight_);

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
  // The world reaches far beyond the screen's edges; on a tablet the glass
  // ends there, so whatever was drawn beside the screen is blacked out.
  render::blackOutAround({box.x, box.y, box.width, box.height}, drawableWidth_, drawableHeight_);
  if (!motion_.live)
    panel_->draw(*app_->viewController, tablet_, keys_, clock_.now(), drawableWidth_,
                 drawableHeight_);
}

void HostLoop::present() {
  // The time the picture shows: a draw or swap that takes long must not
  // count an animation as over that the picture showed part way.
  const double shown = clock_.now();
  draw();
  window_.present();
  needsDraw_ = false;
  redraw_.drawn(shown);
  if (options_.countFramesAfter && shown >= *options_.countFramesAfter) ++framesCounted_;
  // Without vsync the loop would draw every frame, twice a refresh; with
  // it, a driver that ignores the interval must not make it spin either.
  const double period = 1.0 / refreshRate_;
  nextPresentAllowed_ = clock_.now() + (vsync_ ? 0.75 : 1.0) * period;
}

bool HostLoop::writeScreenshot() {
  if (!isDrawable()) {
    std::fprintf(stderr, "vitrane: no screenshot: the window has no pixels to read\n");
    return false;
  }
  draw();  // leaves the window's framebuffer bound
  const kit::Result<kit::Bitmap> shot = render::readFramebuffer(
      drawableWidth_, drawableHeight_, render::FramebufferAlpha::Meaningless);
  if (!shot) {
    std::fprintf(stderr, "vitrane: no screenshot: the frame could not be read back\n");
    return false;
  }
  if (const kit::Result<void> written = kit::writePngFile(*shot, options_.screenshotPath);
      !written) {
    std::fprintf(stderr, "vitrane: cannot write %s: %s\n", options_.screenshotPath.c_str(),
                 written.error().message.c_str());
    return false;
  }
  return true;
}

}  // namespace desktop
