// vitrane-run: the application with no window, no sensors and no person,
// driven by a scenario file on a virtual clock.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "hosts/headless/runner.h"
#include "kit/interface_loader.h"
#include "kit/posix_io.h"

namespace {

constexpr const char* kUsage =
    "usage: vitrane-run [--trace] [--out DIR] [--resources DIR] SCENARIO\n"
    "       (SCENARIO may be - for standard input)\n"
    "\n"
    "Runs the application headless: the scenario scripts motion, time and\n"
    "actions; the debug log, STATE dumps and PROBE answers go to standard\n"
    "output.\n"
    "\n"
    "  --trace          prefix every log line with the frames delivered so far\n"
    "  --out DIR        where snapshots are written (default: the current folder)\n"
    "  --resources DIR  the application's resources (default: the built-in folder)\n"
    "  --help, --version\n"
    "\n"
    "Exit status: 0 after the last command, 2 for a malformed scenario\n"
    "(FILE:LINE: message on standard error), 1 for any other failure.\n";

// The whole of a scenario file, or of standard input for "-". A folder
// named as the scenario opens fine and fails only as it is read: it must
// not run as an empty scenario.
kit::Result<std::string> readScenarioText(const std::string& path) {
  auto bytes = path == "-" ? kit::readFd(STDIN_FILENO) : kit::readToEnd(path);
  if (!bytes) return bytes.error();
  return std::string(bytes->begin(), bytes->end());
}

// Status 2 promises a FILE:LINE message about the scenario; a bad command
// line is one of the other failures.
int usageError(const std::string& message) {
  std::fprintf(stderr, "vitrane-run: %s\n%s", message.c_str(), kUsage);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  headless::RunnerOptions options;
  std::string scenarioPath;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("vitrane-run %s\n", VITRANE_VERSION);
      return 0;
    }
    if (arg == "--trace") {
      options.trace = true;
    } else if (arg == "--out" || arg == "--resources") {
      if (i + 1 >= argc) return usageError(arg + " needs a folder");
      (arg == "--out" ? options.outDir : options.resourceDir) = argv[++i];
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
      return usageError("unknown option " + arg);
    } else if (!scenarioPath.empty()) {
      return usageError("only one scenario at a time");
    } else {
      scenarioPath = arg;
    }
  }
  if (scenarioPath.empty()) return usageError("no scenario given");

  const kit::Result<std::string> text = readScenarioText(scenarioPath);
  if (!text) {
    const std::string what = scenarioPath == "-" ? "standard input" : scenarioPath;
    std::fprintf(stderr, "vitrane-run: cannot read %s: %s\n", what.c_str(),
                 text.error().message.c_str());
    return 1;
  }
  std::string baseDir = ".";
  if (scenarioPath != "-") {
    baseDir = std::filesystem::path(scenarioPath).parent_path().string();
    if (baseDir.empty()) baseDir.assign(1, '.');  // assign: GCC 12 warns falsely on = "."
  }

  try {
    const headless::Scenario scenario = headless::parseScenario(
        *text, scenarioPath, baseDir, VitraneforiPadViewController::actionNames());
    headless::Runner runner(options, std::cout);
    runner.run(scenario);
  } catch (const headless::ScenarioError& e) {
    std::cout.flush();
    std::fprintf(stderr, "%s\n", e.what());
    return 2;
  } catch (const std::exception& e) {
    std::cout.flush();
    std::fprintf(stderr, "vitrane-run: %s\n", e.what());
    return 1;
  }
  // Output lost to a full disk is a failed run, not a clean one.
  if (!std::cout.flush()) {
    std::fprintf(stderr, "vitrane-run: cannot write the output: %s\n",
                 kit::errnoText(errno).c_str());
    return 1;
  }
  return 0;
}
