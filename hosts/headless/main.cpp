// vitrane-run: the application with no window, no sensors and no person,
// driven by a scenario file on a virtual clock.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "hosts/headless/runner.h"
#include "kit/interface_loader.h"

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

int usageError(const std::string& message) {
  std::fprintf(stderr, "vitrane-run: %s\n%s", message.c_str(), kUsage);
  return 2;
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

  std::stringstream text;
  std::string baseDir = ".";
  if (scenarioPath == "-") {
    text << std::cin.rdbuf();
  } else {
    std::ifstream in(scenarioPath, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "vitrane-run: cannot read %s: %s\n", scenarioPath.c_str(),
                   std::strerror(errno));
      return 1;
    }
    text << in.rdbuf();
    baseDir = std::filesystem::path(scenarioPath).parent_path().string();
    if (baseDir.empty()) baseDir = ".";
  }

  try {
    const headless::Scenario scenario = headless::parseScenario(
        text.str(), scenarioPath, baseDir, VitraneforiPadViewController::actionNames());
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
  return 0;
}
