// vitrane: the application in a desktop window, with the keyboard standing
// in for the motion sensors and the mouse for fingers.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>

#include "hosts/desktop/gl_window.h"
#include "hosts/desktop/host_loop.h"
#include "hosts/desktop/log_file.h"
#include "hosts/desktop/motion_choice.h"
#include "hosts/desktop/options.h"
#include "hosts/desktop/quit_signal.h"
#include "hosts/desktop/script_loading.h"
#include "hosts/desktop/sdl_video.h"
#include "hosts/desktop/session_recording.h"

namespace desktop {
namespace {

void say(const std::string& line) { std::fprintf(stderr, "vitrane: %s\n", line.c_str()); }

// The debug log's file: the one asked for, else the state folder's; with
// none to be had the log stays on the terminal, unless one was asked for.
bool openLog(const Options& options, std::unique_ptr<LogFile>& logFile) {
  if (options.logPath == "-") return true;
  const bool chosen = !options.logPath.empty();
  const std::string path =
      chosen ? options.logPath : defaultLogPath(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
  std::string why = "no state folder is known (neither XDG_STATE_HOME nor HOME is set)";
  if (!path.empty()) {
    if (auto opened = LogFile::open(path))
      logFile = std::move(*opened);
    else
      why = opened.error().message;
  }
  if (!logFile && chosen) {
    std::fprintf(stderr, "vitrane: cannot write the log to %s: %s\n", path.c_str(), why.c_str());
    return false;
  }
  // Nothing is lost: the log stays on the terminal.
  if (!logFile)
    std::fprintf(stderr, "vitrane: the log goes to the terminal: %s%s%s\n", path.c_str(),
                 path.empty() ? "" : ": ", why.c_str());
  return true;
}

// With the window open: what it shows, until it closes.
int runInWindow(const Options& options, GlWindow& window) {
  // Some drivers cannot follow the display; the loop paces itself then.
  const bool vsync = window.syncToDisplay();
  auto motion = chooseMotion(options, say);
  auto isKeyName = [](const std::string& name) {
    return SDL_GetKeyFromName(name.c_str()) != SDLK_UNKNOWN;
  };
  auto script = loadScript(options.scriptPath, isKeyName, say);
  if (!script || !motion) return 1;
  std::unique_ptr<SessionRecording> recording;
  if (!options.recordPath.empty()) {
    std::string error;
    recording = SessionRecording::open(options.recordPath, motion->flatPivotEstimate, error);
    if (!recording) {
      say(error);
      return 1;
    }
  }
  try {
    HostLoop host(options, window, vsync, std::move(*script), std::move(*motion),
                  std::move(recording));
    host.launch();
    return host.run();
  } catch (const std::exception& e) {
    say(e.what());
    return 1;
  }
}

int runApplication(Options options) {
  // First of all, so that an interrupt at any moment from here on ends in
  // the clean exit.
  installQuitSignalHandlers();
  std::unique_ptr<LogFile> logFile;
  if (!openLog(options, logFile)) return 1;
  if (options.libraryDir.empty()) options.libraryDir = defaultPicturesFolder();
  if (const std::string problem = libraryFolderProblem(options.libraryDir); !problem.empty())
    say(problem);

  std::string error;
  std::optional<SdlVideo> video = SdlVideo::start(error);
  if (!video) {
    say(error);
    return 1;
  }
  std::optional<GlWindow> window = GlWindow::open(error);
  if (!window) {
    say(error);
    return 1;
  }
  return runInWindow(options, *window);
}

}  // namespace
}  // namespace desktop

int main(int argc, char** argv) {
  const desktop::ParsedArguments parsed =
      desktop::parseArguments(std::vector<std::string>(argv + 1, argv + argc));
  switch (parsed.action) {
    case desktop::ParsedArguments::Action::Help: std::fputs(desktop::usageText(), stdout); return 0;
    case desktop::ParsedArguments::Action::Version:
      std::printf("vitrane %s\n", VITRANE_VERSION);
      return 0;
    case desktop::ParsedArguments::Action::Error:
      std::fputs(desktop::usageErrorLine(parsed.error).c_str(), stderr);
      return 1;
    case desktop::ParsedArguments::Action::Run: break;
  }
  return desktop::runApplication(parsed.options);
}
