// Shared set-up for the benchmarks: the whole application launched on the
// headless runner's virtual clock, with the first frame already delivered
// so the heading is applied.
#pragma once

#include <sstream>
#include <string>

#include "hosts/headless/runner.h"
#include "kit/log.h"

namespace bench {

class LaunchedApp {
 public:
  // quietLog: after launching, the log is formatted as usual but the text
  // is thrown away, so printing does not dominate what is measured.
  explicit LaunchedApp(bool quietLog = true) : runner_({}, out_) {
    runner_.launch();
    runner_.deliverFrames(1);
    if (quietLog) kit::setLogSink([](const std::string&) {});
  }

  headless::Runner& runner() { return runner_; }
  VitraneforiPadViewController& controller() { return *runner_.controller(); }
  kit::Platform& platform() { return *runner_.platform(); }

 private:
  std::ostringstream out_;
  headless::Runner runner_;
};

}  // namespace bench
