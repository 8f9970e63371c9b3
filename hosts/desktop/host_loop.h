// The window's loop: SDL's events and the scripted input turned into
// touches, keys for the keyboard's tablet and the window's own keys; the
// application's timers on a real clock; frames drawn when the picture may
// have changed, paced to the display; the overlays the host lays over the
// application (key hints, the mirror finger's mark, notices) and the table
// seen from above beside the screen. At exit, the screenshot and the end of
// the recording.
#pragma once

#include <SDL.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/app_delegate.h"
#include "app/device_facts.h"
#include "hosts/desktop/birds_eye_panel.h"
#include "hosts/desktop/gl_window.h"
#include "hosts/desktop/input_script.h"
#include "hosts/desktop/key_hint.h"
#include "hosts/desktop/link_opener.h"
#include "hosts/desktop/loop_timing.h"
#include "hosts/desktop/mirror_mark.h"
#include "hosts/desktop/motion_choice.h"
#include "hosts/desktop/notice.h"
#include "hosts/desktop/options.h"
#include "hosts/desktop/screen_mapping.h"
#include "hosts/desktop/session_recording.h"
#include "hosts/desktop/sound_player.h"
#include "hosts/desktop/tablet_keys.h"
#include "kit/platform.h"
#include "kit/simulated_tablet.h"
#include "kit/touch_dispatcher.h"
#include "render/compositor.h"

namespace desktop {

class HostLoop {
 public:
  // recording: where the session is written, if anywhere. The window's
  // context is current, and the window outlives the loop.
  HostLoop(const Options& options, GlWindow& window, bool vsync, std::vector<InputStep> script,
           MotionChoice motion, std::unique_ptr<SessionRecording> recording);
  HostLoop(const HostLoop&) = delete;
  HostLoop& operator=(const HostLoop&) = delete;
  // The application goes before the compositors and the context they draw
  // with.
  ~HostLoop();

  // The compositors, then the application. Throws what the launch throws.
  void launch();
  // Until the window closes, a quit signal, the script's quit or the time
  // asked for; answers the exit status.
  int run();

 private:
  // --- Each turn of the loop (host_loop.cpp) ---
  void answerCameraPicker();
  void updateOverlays();
  void updateGeometry();
  bool isDrawable() const;
  std::optional<double> nextHostEvent() const;
  bool panelChanges();
  void startMotionClock();

  // --- Drawing (host_loop.cpp) ---
  void draw();
  void present();
  bool writeScreenshot();
  int finish();

  // --- Input (host_input.cpp) ---
  void handleEvent(const SDL_Event& e, bool mirror);
  void handleKey(const SDL_KeyboardEvent& key, bool mirror, double t);
  void pressTabletKey(TabletKey key, double t, bool repeat);
  bool mirrorHeld() const;
  void replayDueSteps();

  const Options& options_;
  GlWindow& window_;
  bool vsync_;
  int refreshRate_;
  std::vector<InputStep> script_;
  std::size_t nextStep_ = 0;

  kit::RealClock realClock_;
  SteppedClock clock_{realClock_};
  kit::SimulatedTablet tablet_{device::tabletBody(), clock_.now()};
  TabletKeyboard keys_{tablet_};
  SoundPlayer sounds_;
  MotionChoice motion_;
  std::unique_ptr<SessionRecording> recording_;
  bool keysIgnoredSaid_ = false;
  std::unique_ptr<kit::Platform> platform_;  // reads motion_, the tablet or recording_
  std::unique_ptr<render::Compositor> compositor_;
  std::unique_ptr<BirdsEyePanel> panel_;
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

}  // namespace desktop
