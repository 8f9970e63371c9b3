// The application in a browser page: the kit's platform on the page's
// clock, frames driven by the display's animation frames, the compositor
// on WebGL2, and the page's fingers, keys, sensors, file choosers, sounds
// and links brought in through one object.
//
// Everything here runs on the page's one thread. The page calls in
// (hosts/web/exports.cpp) as its events arrive; the display calls frame()
// once per animation frame.
#pragma once

#include <emscripten/html5.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app_delegate.h"
#include "app/device_facts.h"
#include "hosts/desktop/loop_timing.h"
#include "hosts/desktop/screen_mapping.h"
#include "hosts/desktop/tablet_keys.h"
#include "hosts/web/browser_camera.h"
#include "hosts/web/browser_motion.h"
#include "hosts/web/browser_motion_source.h"
#include "hosts/web/web_sounds.h"
#include "kit/platform.h"
#include "kit/simulated_tablet.h"
#include "kit/touch_dispatcher.h"
#include "render/compositor.h"

namespace web {

// Where the page puts what its choosers bring.
inline constexpr const char* kLibraryFolder = "/library";
inline constexpr const char* kSavedPhotosFolder = "/saved-photos";
inline constexpr const char* kResourceFolder = "/resources";

class WebHost {
 public:
  // At most this much time passes in one animation frame: after a pause
  // (a tab in the background stops its animation frames) the application
  // catches up on six frames, not on the whole pause.
  static constexpr double kMaxStep = 0.05;

  explicit WebHost(const char* canvasSelector);
  ~WebHost();
  WebHost(const WebHost&) = delete;
  WebHost& operator=(const WebHost&) = delete;

  // Makes the WebGL2 context and launches the application; throws with the
  // reason when either fails.
  void launch();
  // One animation frame: time, frames due, background work, pickers, and a
  // picture when something changed.
  void frame();

  // --- The page's events --------------------------------------------------
  // CSS pixels of the canvas and the pixels of its drawing buffer.
  void resize(double cssWidth, double cssHeight, int pixelWidth, int pixelHeight);
  enum class PointerAction { Down = 0, Move = 1, Up = 2, Cancel = 3 };
  // x, y in CSS pixels from the canvas's top-left. A mouse is one finger,
  // and with mirror (Ctrl or Alt) a second one opposite it, as in the
  // desktop window.
  void pointer(PointerAction action, int id, bool isMouse, double x, double y, bool mirror);
  void cancelTouches();
  // KeyboardEvent.code ("ArrowLeft", "KeyW", "Space").
  void key(bool down, const std::string& code, bool shift, bool repeat);
  BrowserMotionReadings& motionReadings() { return readings_; }
  void setCameraAvailable(bool available) { camera_->setAvailable(available); }
  // The library chooser's answer: the photos are in kLibraryFolder now
  // (count), or it was cancelled (count < 0).
  void libraryChosen(int count);
  // A picker's photo, written by the page at path; or none (cancelled).
  void photoChosen(const std::string& path, const std::string& name);
  void photoChoiceCancelled();
  void contextLost();
  void contextRestored();

  // The state the headless runner dumps, for the browser tests.
  std::string stateJson();

 private:
  void makeCompositor();
  void draw();
  void answerPickers();
  void prepareLibrary(std::function<void()> ready);
  void offerSaved(const std::string& path);

  std::string canvas_;
  kit::RealClock realClock_;
  desktop::SteppedClock clock_{realClock_, kMaxStep};
  kit::SimulatedTablet tablet_{device::tabletBody(), clock_.now()};
  desktop::TabletKeyboard keys_{tablet_};
  BrowserMotionReadings readings_;
  BrowserMotionSource motion_{readings_, tablet_, clock_.now()};
  kit::Platform platform_;
  WebSounds sounds_;
  std::shared_ptr<BrowserCamera> camera_ = std::make_shared<BrowserCamera>();

  EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context_ = 0;
  bool contextLost_ = false;
  std::unique_ptr<render::Compositor> compositor_;
  std::unique_ptr<VitraneforiPadAppDelegate> app_;
  std::unique_ptr<kit::TouchDispatcher> sink_;
  std::unique_ptr<desktop::TouchMapper> touches_;
  double cssWidth_ = desktop::kScreenWidth, cssHeight_ = desktop::kScreenHeight;
  int pixelWidth_ = static_cast<int>(desktop::kScreenWidth),
      pixelHeight_ = static_cast<int>(desktop::kScreenHeight);
  bool needsDraw_ = true;
  bool firstFrameShown_ = false;
  desktop::RedrawWatch redraw_;

  // The photo library is chosen the first time it is asked for.
  enum class LibraryChoice { NotAsked, Asking, Chosen };
  LibraryChoice library_ = LibraryChoice::NotAsked;
  std::vector<std::function<void()>> libraryWaiting_;
  // The open picker the page was asked to answer.
  const kit::ImagePickerController* askedPicker_ = nullptr;
};

}  // namespace web
