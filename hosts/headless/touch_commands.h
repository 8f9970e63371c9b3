// The scenario's fingers: the `touch`, `tap`, `doubletap`, `press`, `drag`,
// `twist` and `pinch` lines, and `button`.
//
// Raw `touch` lines are one event each, at the current time, passed on as
// written (an up without a down included: touch delivery copes). The
// gesture lines put their fingers down at the current time, move them one
// move per frame, each at the time of its frame and before it, plus one at
// the gesture's end when that falls between frames, lift them at the end,
// and leave the clock there, with every frame due by then delivered.
// Several fingers of a drag lie 40 points apart along x, centred on the
// line's point; a twist's two fingers start on the horizontal through its
// centre, the first on the left.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "kit/geometry.h"
#include "kit/touch.h"

namespace headless {

class Runner;

struct TouchLine {
  enum class Kind { Down, Move, Up, Cancel, Tap, DoubleTap, Press, Drag, Twist, Pinch };
  Kind kind = Kind::Tap;
  int id = 0;          // touch lines
  kit::Point at;       // touch, tap, doubletap, press; twist and pinch centre; drag start
  kit::Point to;       // drag end
  double seconds = 0;  // press, drag, twist, pinch
  double radius = 0;   // twist; pinch start
  double radius2 = 0;  // pinch end
  double angle = 0;    // twist, radians, clockwise on screen
  int fingers = 1;     // drag
};

struct ButtonLine {
  std::string outlet;
};

// words: the line split at blanks. Throw ScenarioError (FILE:LINE).
TouchLine parseTouchLine(const std::vector<std::string>& words, const std::string& file, int line);
ButtonLine parseButtonLine(const std::vector<std::string>& words, const std::string& file,
                           int line);

// The fingers on the runner's screen.
class TouchDriver {
 public:
  void run(const TouchLine& line, Runner& runner);

 private:
  using Path = kit::Point (*)(const TouchLine&, int finger, double progress);
  // Fingers down at start (now or later), moving along path for seconds.
  void gesture(Runner& runner, const TouchLine& line, int fingers, double start, double seconds,
               Path path);
  // One event at the current time: the changes, and every other finger
  // down as Stationary.
  void send(Runner& runner, const std::vector<kit::Touch>& changes);
  // Runs at time t, before a frame due then; the clock is not moved.
  void schedule(Runner& runner, double t, std::vector<kit::Touch> changes);
  std::vector<int> freeIds(int count) const;

  std::map<int, kit::Point> down_;  // fingers down now, by id
};

}  // namespace headless
