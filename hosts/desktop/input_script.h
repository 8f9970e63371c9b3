// Input replayed from a file at given times, for trying the window without
// a person at it (the smoke test, demonstrations). Each line:
//
//   SECONDS key NAME down|up          an SDL key name: Left, Right, W, Space;
//                                     Shift+NAME with Shift held (Shift+Up)
//   SECONDS mouse down|move|up X Y [mirror]
//   SECONDS finger down|move|up N X Y
//   SECONDS window W H               resizes the window (window units)
//   SECONDS quit
//
// X and Y are screen points; mirror holds the second-finger modifier; N
// numbers a finger. Times are seconds of the main clock and must not go
// down from line to line. '#' starts a comment.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "kit/geometry.h"

namespace desktop {

struct InputStep {
  enum class Kind { Key, Mouse, Finger, Window, Quit };
  enum class Action { Down, Move, Up };
  double time = 0;
  Kind kind = Kind::Quit;
  Action action = Action::Down;
  std::string key;            // Key
  bool shift = false;         // Key: held with Shift
  kit::Point location;        // Mouse, Finger
  bool mirror = false;        // Mouse
  int finger = 0;             // Finger
  int width = 0, height = 0;  // Window
};

class InputScriptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws InputScriptError "FILE:LINE: message" for a malformed line.
std::vector<InputStep> parseInputScript(const std::string& text, const std::string& fileName);

}  // namespace desktop
