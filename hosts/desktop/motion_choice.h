// Where the window's motion comes from, chosen before the window opens:
// the machine's IIO sensors, the keyboard's simulated tablet, or the
// motion lines of a scenario.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "hosts/desktop/motion_replay.h"
#include "hosts/desktop/options.h"
#include "kit/motion.h"

namespace desktop {

struct MotionChoice {
  std::unique_ptr<kit::MotionSource> live;  // null: the keyboard's tablet
  ReplayMotionSource* replay = nullptr;     // live, when it is a replay
  // The flat-pivot mode to run with: the command line's, or else the one a
  // replayed recording was made with.
  bool flatPivotEstimate = false;
};

// One line for standard error, without the program's name.
using Say = std::function<void(const std::string&)>;

// The motion source the options ask for; nothing, with why said, when it
// cannot be had. Auto says which it took.
std::optional<MotionChoice> chooseMotion(const Options& options, const Say& say);

}  // namespace desktop
