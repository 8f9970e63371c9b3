// The scenario's simulated tablet: the `tablet` lines, which move a rigid
// tablet on a virtual table and feed the frames its sensors' readings, and
// the `illusion` line, which measures how well the picture then matches
// the table.
//
// A line lasts round(SECONDS × 120) frames, and its move is stretched to
// exactly that many frames, so that the last frame shows the move's end
// pose (a turn's whole angle). A move starts at the time of the frame
// before the line's first one, so frame i of the line shows the pose i/120 s
// into the move. Moves ease in and out over 0.05 s (see
// kit/simulated_tablet.h).
//
// Each frame's sample is the tablet's reading, set as the runner's current
// motion sample before the frame; after the line the sample stays at the
// still tablet's, so a later `motion` line changes it as usual, until the
// next `tablet` line sets it from the tablet again.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/device_facts.h"
#include "hosts/headless/illusion.h"
#include "kit/simulated_tablet.h"

class VitraneforiPadViewController;

namespace headless {

class Runner;

struct TabletLine {
  enum class Kind { Turn, Lift, Lower, Slide, Hold } kind = Kind::Hold;
  double angle = 0;                              // radians (turn, lift)
  double dx = 0, dy = 0;                         // screen points of the tablet's own axes (slide)
  std::optional<kit::Point> about;               // turn
  kit::TabletSide side = kit::TabletSide::Left;  // lift
  long long frames = 0;
};

struct IllusionLine {};

// Parses one scenario's tablet and illusion lines, in order: each line is
// checked against the pose the lines before it leave the tablet in, so an
// impossible move (lifting the right side of a tablet that rests on it)
// is a malformed scenario and nothing runs.
class TabletLineParser {
 public:
  // words: the line split at blanks, words[0] being "tablet" or "illusion".
  // Throw ScenarioError.
  TabletLine parseTablet(const std::vector<std::string>& words, const std::string& file, int line);
  IllusionLine parseIllusion(const std::vector<std::string>& words, const std::string& file,
                             int line) const;

 private:
  kit::SimulatedTablet tablet_{device::tabletBody()};
  bool anyTabletLine_ = false;
};

// The tablet the runner moves and the picture's record at launch.
class TabletDriver {
 public:
  // Records the picture and the tablet's pose as the application starts.
  void launched(const VitraneforiPadViewController& vc);
  // Delivers the line's frames with the tablet's readings. Throws
  // ScenarioError (FILE:LINE) for a move the tablet cannot make.
  void run(const TabletLine& line, Runner& runner, const std::string& file, int lineNumber);
  IllusionFigures illusion(const VitraneforiPadViewController& vc) const;
  // "ILLUSION MEAN MAX", in points.
  std::string illusionLine(const VitraneforiPadViewController& vc) const;

  const kit::SimulatedTablet& tablet() const { return tablet_; }
  // The noise the tablet's readings carry from now on.
  void setNoise(const kit::TabletNoise& noise) { tablet_.setNoise(noise); }

 private:
  kit::SimulatedTablet tablet_{device::tabletBody()};
  IllusionMeter meter_;
};

}  // namespace headless
