#include "hosts/desktop/options.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <istream>

#include "hosts/desktop/process.h"

namespace desktop {

namespace {

constexpr const char* kUsage =
    "usage: vitrane [--library DIR] [--resources DIR] [--exit-after SECONDS]\n"
    "               [--screenshot FILE.png] [--script FILE] [--count-frames-after SECONDS]\n"
    "               [--motion auto|iio|sim|replay FILE] [--iio-root DIR] [--record FILE]\n"
    "               [--flat-pivot estimate|centre] [--log FILE|-]\n"
    "\n"
    "The tablet's screen in a window. With no motion sensors the keyboard\n"
    "moves the tablet on its table:\n"
    "\n"
    "  Left, Right     turn it while held (counter-clockwise, clockwise seen\n"
    "                  from above), about the screen's centre when it lies flat,\n"
    "                  about the corner resting on the table when it is lifted\n"
    "  W, S, A, D      lift the top, bottom, left, right side 5 degrees; again\n"
    "                  for 5 more, up to 20 (another side lays it flat first)\n"
    "  Space           lay it flat again\n"
    "  Shift + arrows  slide it an inch along its own axes\n"
    "  B               show or hide the table seen from above, beside the\n"
    "                  screen (shown at first when the window has room)\n"
    "  H               show or hide the list of keys\n"
    "\n"
    "The mouse is one finger; with Ctrl or Alt held a second finger moves\n"
    "opposite it through the screen's centre, to twist and pinch.\n"
    "\n"
    "  --library DIR      the photo library's folder (default: your pictures\n"
    "                     folder, as xdg-user-dir names it, or ~/Pictures)\n"
    "  --resources DIR    the application's resources (default: the built-in folder)\n"
    "  --exit-after SECS  quit after running this long\n"
    "  --screenshot FILE  write the last frame drawn to FILE as PNG at exit\n"
    "  --count-frames-after SECS\n"
    "                     at exit, say how many frames were drawn from SECS on\n"
    "  --script FILE      replay input: lines of SECONDS followed by\n"
    "                       key NAME down|up      (an SDL key name: Left, W, Space;\n"
    "                                             Shift+Up for Up with Shift)\n"
    "                       mouse down|move|up X Y [mirror]\n"
    "                       finger down|move|up N X Y\n"
    "                       window W H            (resize the window)\n"
    "                       quit\n"
    "                     X and Y in screen points (768 by 1024, y down)\n"
    "  --motion auto|iio|sim|replay FILE\n"
    "                     where motion comes from: the machine's IIO accelerometer\n"
    "                     and gyroscope (iio), the keyboard's tablet (sim), the\n"
    "                     motion lines of a scenario (replay FILE); auto (the\n"
    "                     default) takes iio when the sensors are there, else sim\n"
    "  --iio-root DIR     read the sensors under DIR instead of / (DIR/sys/bus/iio/\n"
    "                     devices, or DIR/bus/iio/devices, or DIR; DIR/dev; and\n"
    "                     DIR/run/udev/data)\n"
    "  --record FILE      write the session (motion, touches) to FILE as a scenario\n"
    "                     that vitrane-run replays\n"
    "  --flat-pivot estimate|centre\n"
    "                     which point a flat tablet's picture turns about: the\n"
    "                     point the sensors say the tablet turns about (estimate),\n"
    "                     or the screen's centre (centre, the default)\n"
    "  --log FILE|-       where the application's debug log goes: FILE, or the\n"
    "                     terminal (-); by default a file in the state folder,\n"
    "                     $XDG_STATE_HOME/vitrane/vitrane.log (~/.local/state/...),\n"
    "                     the one before it kept as vitrane.log.old\n"
    "  --help, --version\n"
    "\n"
    "Close the window or interrupt (Ctrl+C) to quit. Exit status 0 after a\n"
    "clean exit, 1 on a failure (no window, no GL, no screenshot written).\n";

bool parseSeconds(const std::string& text, double& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !std::isfinite(v) || v < 0) return false;
  out = v;
  return true;
}

bool looksLikeOption(const std::string& arg) { return arg.size() > 1 && arg[0] == '-'; }

bool isAbsolute(const std::string& path) { return !path.empty() && path[0] == '/'; }

std::string withoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

const char* usageText() { return kUsage; }

std::string usageErrorLine(const std::string& error) {
  return "vitrane: " + error + " (vitrane --help lists the options)\n";
}

ParsedArguments parseArguments(const std::vector<std::string>& args) {
  ParsedArguments result;
  auto fail = [&](std::string message) {
    result.action = ParsedArguments::Action::Error;
    result.error = std::move(message);
    return result;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::optional<std::string> inlineValue;
    if (name.rfind("--", 0) == 0) {
      if (const size_t eq = name.find('='); eq != std::string::npos) {
        inlineValue = name.substr(eq + 1);
        name.resize(eq);
      }
    }
    if (name == "--help" || name == "-h") {
      result.action = ParsedArguments::Action::Help;
      return result;
    }
    if (name == "--version") {
      result.action = ParsedArguments::Action::Version;
      return result;
    }

    std::string* target = nullptr;
    if (name == "--library") target = &result.options.libraryDir;
    if (name == "--resources") target = &result.options.resourceDir;
    if (name == "--screenshot") target = &result.options.screenshotPath;
    if (name == "--script") target = &result.options.scriptPath;
    if (name == "--iio-root") target = &result.options.iioRoot;
    if (name == "--record") target = &result.options.recordPath;
    if (name == "--log") target = &result.options.logPath;
    const bool takesValue = target || name == "--exit-after" || name == "--count-frames-after" ||
                            name == "--motion" || name == "--flat-pivot";
    if (!takesValue) return fail("unknown argument " + args[i]);

    std::string value;
    if (inlineValue) {
      value = *inlineValue;
    } else {
      // The next argument is an option of its own, not this one's value
      // ("--library --exit-after 1"): a value that starts with '-' goes
      // after '=' ("--library=-photos"), except "-" alone.
      if (i + 1 >= args.size() || looksLikeOption(args[i + 1]))
        return fail(name + " needs a value");
      value = args[++i];
    }
    if (value.empty()) return fail(name + " needs a value");
    if (target) {
      *target = value;
    } else if (name == "--flat-pivot") {
      if (value != "estimate" && value != "centre")
        return fail("--flat-pivot takes estimate or centre, not " + value);
      result.options.flatPivotEstimate = value == "estimate";
      result.options.flatPivotChosen = true;
    } else if (name == "--motion") {
      using Motion = Options::Motion;
      if (value == "auto") {
        result.options.motion = Motion::Auto;
      } else if (value == "iio") {
        result.options.motion = Motion::Iio;
      } else if (value == "sim") {
        result.options.motion = Motion::Simulated;
      } else if (value == "replay") {
        if (i + 1 >= args.size() || args[i + 1].empty() || looksLikeOption(args[i + 1]))
          return fail("--motion replay needs a scenario file");
        result.options.motion = Motion::Replay;
        result.options.replayPath = args[++i];
      } else {
        return fail("--motion takes auto, iio, sim or replay FILE, not " + value);
      }
    } else {
      double seconds = 0;
      if (!parseSeconds(value, seconds))
        return fail(name + " needs a number of seconds, not " + value);
      (name == "--exit-after" ? result.options.exitAfter : result.options.countFramesAfter) =
          seconds;
    }
  }
  return result;
}

std::string choosePicturesFolder(const std::optional<std::string>& xdgUserDirAnswer,
                                 const char* xdgPicturesDirVariable, const char* home) {
  const std::string homeDir =
      home && isAbsolute(home) ? withoutTrailingSlashes(home) : std::string();
  auto usable = [&](std::string path) -> std::string {
    while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
    // user-dirs.dirs writes "$HOME/Pictures"; a shell would have expanded it.
    if (path.rfind("$HOME", 0) == 0 && !homeDir.empty()) path = homeDir + path.substr(5);
    if (!isAbsolute(path)) return {};
    path = withoutTrailingSlashes(path);
    return path == homeDir ? std::string() : path;
  };
  if (xdgUserDirAnswer)
    if (std::string p = usable(*xdgUserDirAnswer); !p.empty()) return p;
  if (xdgPicturesDirVariable)
    if (std::string p = usable(xdgPicturesDirVariable); !p.empty()) return p;
  return homeDir.empty() ? std::string() : homeDir + "/Pictures";
}

std::optional<std::string> picturesFolderFromUserDirs(std::istream& userDirs) {
  std::optional<std::string> found;
  for (std::string line; std::getline(userDirs, line);) {
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    static const std::string kKey = "XDG_PICTURES_DIR=";
    if (line.compare(start, kKey.size(), kKey) != 0) continue;
    std::string value = line.substr(start + kKey.size());
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r'))
      value.pop_back();
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    found = value;  // the last assignment wins, as in the shell
  }
  return found;
}

std::string libraryFolderProblem(const std::string& folder) {
  constexpr const char* kConsequence = "; Show Photos and Use a Library Photo will find no photos";
  if (folder.empty())
    return std::string("no photo library folder is known (no --library and no home folder)") +
           kConsequence;
  std::error_code ec;
  const auto status = std::filesystem::status(folder, ec);
  if (status.type() == std::filesystem::file_type::not_found)
    return "the photo library folder " + folder + " does not exist" + kConsequence;
  if (ec)
    return "the photo library folder " + folder + " cannot be read: " + ec.message() + kConsequence;
  if (!std::filesystem::is_directory(status))
    return "the photo library " + folder + " is not a folder" + kConsequence;
  return {};
}

std::string defaultPicturesFolder() {
  std::optional<std::string> answer = captureOutput({"xdg-user-dir", "PICTURES"});
  if (!answer) {
    // Without the helper program, its configuration file says the same.
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    std::string config;
    if (configHome && configHome[0] == '/')
      config = std::string(configHome) + "/user-dirs.dirs";
    else if (home && home[0] == '/')
      config = std::string(home) + "/.config/user-dirs.dirs";
    if (!config.empty()) {
      std::ifstream userDirs(config);
      if (userDirs) answer = picturesFolderFromUserDirs(userDirs);
    }
  }
  return choosePicturesFolder(answer, std::getenv("XDG_PICTURES_DIR"), std::getenv("HOME"));
}

}  // namespace desktop
