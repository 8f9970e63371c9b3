// Runs a scenario against the application on a virtual clock, with scripted
// motion, printing the debug log, state dumps and probes.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/app_delegate.h"
#include "hosts/headless/scenario.h"
#include "kit/clock.h"
#include "kit/motion.h"
#include "kit/bitmap.h"
#include "kit/platform.h"
#include "kit/touch_dispatcher.h"

namespace render {
class Compositor;
class OffscreenContext;
}  // namespace render

namespace headless {

struct RunnerOptions {
  bool trace = false;        // prefix log lines with the frames delivered so far
  std::string outDir = ".";  // where snapshots go, and the album's folder "saved-photos"
  std::string resourceDir;   // empty: the default
};

class Runner {
 public:
  Runner(RunnerOptions options, std::ostream& out);
  ~Runner();
  Runner(const Runner&) = delete;
  Runner& operator=(const Runner&) = delete;

  // Throws ScenarioError for a command that cannot run (exit 2), and
  // LaunchError, kit::InterfaceError or other exceptions for failures (exit 1).
  void run(const Scenario& scenario);

  // Step by step, for tests that drive the application directly: launch
  // (once; configuration commands must come first), then move time.
  void configure(const CommandBody& body);
  void launch();
  bool isLaunched() const { return app_ != nullptr; }
  // Delivers the main queue and lets background work finish what it can.
  void settle();
  // Fires every timer and frame due up to time t, in time order, then
  // leaves the clock at t.
  void advanceTo(double t);
  void deliverFrames(long long count);
  void applyMotion(const MotionChange& change);
  kit::ScriptedMotionSource& motion() { return motion_; }
  kit::VirtualClock& clock() { return clock_; }
  // The simulated tablet of the `tablet` lines.
  TabletDriver& tablet() { return tablet_; }
  // Touch delivery to the window (null before launch).
  kit::TouchDispatcher* touchDispatcher() const { return touches_.get(); }

  // The launched application (null before launch).
  VitraneforiPadViewController* controller() const;
  VitraneforiPadAppDelegate* appDelegate() const { return app_.get(); }
  kit::Platform* platform() const { return platform_.get(); }
  std::uint64_t framesDelivered() const;

  // The window as drawn now (presentation values at the current virtual
  // time), one pixel a point. The GL context is made at the first call, so
  // runs without snapshots need no GL at all. Throws on GL failures.
  kit::Bitmap snapshot();
  // Draws and writes a PNG; relative paths go under the output folder,
  // whose missing folders are made.
  void writeSnapshot(const std::string& path);

 private:
  void execute(const Command& command, const std::string& file);
  void answerPicker(const PickerAnswer& answer, const std::string& file, int line);
  void printLine(const std::string& line);
  void startMovie(const Movie& movie);
  void movieFrame();
  void finishMovie();

  // The movie being recorded: its pictures so far, already reduced.
  struct Recording {
    Movie movie;
    std::vector<kit::Bitmap> pictures;
    std::uint64_t lastPicture = 0;  // frames delivered when the last was taken
  };

  RunnerOptions options_;
  std::ostream& out_;
  kit::VirtualClock clock_;
  kit::ScriptedMotionSource motion_;
  bool openUrlSucceeds_ = true;
  bool cameraAvailable_ = true;
  std::optional<std::uint32_t> seed_;
  FlatPivotMode flatPivotMode_ = FlatPivotMode::Centre;
  kit::PhotoLibrarySource library_;
  std::unique_ptr<kit::Platform> platform_;
  std::unique_ptr<VitraneforiPadAppDelegate> app_;
  // The compositor belongs to the context and goes first.
  std::unique_ptr<render::OffscreenContext> gl_;
  std::unique_ptr<render::Compositor> compositor_;
  TabletDriver tablet_;
  // Goes before the application, whose window it holds.
  std::unique_ptr<kit::TouchDispatcher> touches_;
  TouchDriver touchDriver_;
  std::optional<Recording> movie_;
};

}  // namespace headless
