// Scenario files: one command a line, parsed and checked as a whole before
// anything runs, so a malformed file does nothing.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "geometry/flat_pivot_estimate.h"
#include "hosts/headless/tablet_commands.h"
#include "hosts/headless/touch_commands.h"
#include "kit/motion.h"

namespace headless {

// "FILE:LINE: message"; the runner exits 2 with it.
class ScenarioError : public std::runtime_error {
 public:
  ScenarioError(const std::string& file, int line, const std::string& message)
      : std::runtime_error(file + ":" + std::to_string(line) + ": " + message) {}
};

// Configuration (before anything else runs).
struct DeviceMotionUnavailable {};
struct CameraUnavailable {};
struct LibraryFolder {
  std::string path;
};  // resolved against the scenario's folder
struct LibraryRefused {};
struct Seed {
  std::uint32_t value;
};
struct OpenUrl {
  bool succeeds;
};
// Which point a flat tablet's picture turns about.
struct FlatPivot {
  FlatPivotMode mode;
};
// The noise the simulated tablet's sensors add.
struct TabletNoiseLine {
  kit::TabletNoise noise;
};

// Motion and time.
struct MotionChange {
  std::optional<double> yaw, pitch, roll;
  std::optional<kit::Vector3> rate, gravity, accel;
  std::optional<double> rateZ;
};
struct Frames {
  long long count;
};
struct Wait {
  double seconds;
};

// Application and observation.
struct SendAction {
  std::string name;
};
struct Dump {};
struct Probe {
  std::string view;          // an outlet name, or piece:N
  std::string xText, yText;  // as written, echoed in the answer
  double x, y;
};
// A PNG of the screen as drawn now. path is as written: relative paths are
// taken under the runner's output folder and cannot climb out of it.
struct Snapshot {
  std::string path;
};
// An animated PNG of the screen while frames run: begun by `movie FILE.png
// [every=N] [width=W]` (a picture every N frames, reduced to W points
// wide), written at `movie end` or at the scenario's end.
struct Movie {
  std::string path;  // empty for `movie end`
  long long every = 6;
  int width = 192;
};
// An answer to the open picker: a file (resolved against the scenario's
// folder) with an optional crop rectangle, a cancel, or a touch outside
// its popover.
struct PickerAnswer {
  enum class Kind { File, Cancel, Dismiss } kind = Kind::File;
  std::string path;
  bool hasCrop = false;
  double cropX = 0, cropY = 0, cropWidth = 0, cropHeight = 0;
};

using CommandBody =
    std::variant<DeviceMotionUnavailable, CameraUnavailable, LibraryFolder, LibraryRefused, Seed,
                 OpenUrl, FlatPivot, TabletNoiseLine, MotionChange, Frames, Wait, SendAction, Dump,
                 Probe, TabletLine, IllusionLine, Snapshot, PickerAnswer, TouchLine, ButtonLine,
                 Movie>;

struct Command {
  int line;
  CommandBody body;
  // The configuration alternatives come first in CommandBody.
  bool isConfiguration() const { return body.index() <= 7; }
};

struct Scenario {
  std::string file;  // as named on the command line ("-" for standard input)
  std::vector<Command> commands;
};

// A finite number as written on a scenario line (a leading '+' allowed),
// and an angle in radians or in degrees with the suffix deg. Both throw
// ScenarioError naming FILE:LINE and what the number was for.
double parseScenarioNumber(const std::string& text, const char* what, const std::string& file,
                           int line);
double parseScenarioAngle(const std::string& text, const char* what, const std::string& file,
                          int line);

// Throws ScenarioError at the first bad line. actionNames are the actions
// an `action` line may send.
Scenario parseScenario(const std::string& text, const std::string& fileName,
                       const std::string& baseDir, const std::vector<std::string>& actionNames);

}  // namespace headless
