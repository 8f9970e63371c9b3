// The desktop application's command line.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace desktop {

struct Options {
  std::string libraryDir;           // the photo library's folder; empty: the user's pictures
  std::string resourceDir;          // empty: the built-in folder
  std::optional<double> exitAfter;  // seconds of running, then a clean exit
  // At exit, say how many frames were drawn from this many seconds on: a
  // still window draws none.
  std::optional<double> countFramesAfter;
  std::string screenshotPath;  // PNG of the last frame, written at exit
  std::string scriptPath;      // input to replay
  // Where motion comes from: the machine's IIO sensors when it has an
  // accelerometer and a gyroscope (Auto), else the keyboard's tablet.
  enum class Motion { Auto, Iio, Simulated, Replay };
  Motion motion = Motion::Auto;
  std::string replayPath;  // the scenario whose motion lines Replay plays
  std::string iioRoot;     // a tree standing for the root the sensors are read under; empty: /
  std::string recordPath;  // the session written here as a scenario
  // A flat tablet's picture turns about the point its sensors say it turns
  // about (--flat-pivot estimate), not about the screen centre (centre).
  bool flatPivotEstimate = false;
  bool flatPivotChosen = false;  // --flat-pivot was given, over what a replay's recording says
  // Where the debug log goes: a file, "-" for standard error; empty: the
  // file in the user's state folder (defaultLogPath).
  std::string logPath;
};

struct ParsedArguments {
  enum class Action { Run, Help, Version, Error };
  Action action = Action::Run;
  Options options;
  std::string error;  // for Error
};

// args: the arguments after the program's name. Options take their value
// as the next argument or after '='.
ParsedArguments parseArguments(const std::vector<std::string>& args);

const char* usageText();
// The one line a mistake on the command line prints, with the way to the
// whole usage.
std::string usageErrorLine(const std::string& error);

// The user's pictures folder: what xdg-user-dir answered, else
// $XDG_PICTURES_DIR, else ~/Pictures. xdg-user-dir answers the home folder
// itself when no pictures folder is configured; that is not taken, as the
// photo library would then be the whole home folder. Relative answers are
// not taken either. Empty when nothing is known (no home).
std::string choosePicturesFolder(const std::optional<std::string>& xdgUserDirAnswer,
                                 const char* xdgPicturesDirVariable, const char* home);

// XDG_PICTURES_DIR as the user-dirs.dirs file sets it (quotes removed,
// $HOME left for choosePicturesFolder), if it does.
std::optional<std::string> picturesFolderFromUserDirs(std::istream& userDirs);

// What is wrong with the photo library's folder, in one line for standard
// error: it does not exist, or is not a folder, or none is known. Empty
// when it is a folder (an empty one is the user's choice).
std::string libraryFolderProblem(const std::string& folder);

// The same, asking xdg-user-dir (or reading its user-dirs.dirs when the
// program is missing) and reading the environment.
std::string defaultPicturesFolder();

}  // namespace desktop
