// A launched application on the headless runner's virtual clock, and the
// debug log it has written so far.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "hosts/headless/runner.h"

namespace apptest {

// Each message is one line of the runner's output.
inline std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class LaunchedApp : public ::testing::Test {
 protected:
  void SetUp() override { runner.launch(); }

  VitraneforiPadViewController& vc() { return *runner.controller(); }
  kit::Platform& platform() { return *runner.platform(); }

  // Every line written since launch began.
  std::vector<std::string> log() const { return splitLines(out.str()); }
  // The lines written since the last call, so a test sees only what its
  // own step wrote.
  std::vector<std::string> newLog() {
    std::vector<std::string> all = log();
    std::vector<std::string> fresh(all.begin() + static_cast<long>(seen_), all.end());
    seen_ = all.size();
    return fresh;
  }
  void forgetLog() { newLog(); }

  std::ostringstream out;
  headless::Runner runner{{}, out};

 private:
  size_t seen_ = 0;
};

}  // namespace apptest
