#include "hosts/headless/tablet_commands.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <stdexcept>

#include "app/vitrane_view_controller.h"
#include "hosts/headless/runner.h"
#include "hosts/headless/scenario.h"

namespace headless {

namespace {

constexpr double kFramesPerSecond = 120;
// A line longer than this would run for days; it is surely a typing slip.
constexpr double kMostFrames = 1e9;
// Farther than this (about 600 feet), or more turns than this, and the
// sensor's readings would overflow; no table is that large.
constexpr double kFarthest = 1e6;  // points
constexpr double kMostRadians = 1e6;

class Words {
 public:
  Words(const std::vector<std::string>& words, const std::string& file, int line)
      : words_(words), file_(file), line_(line) {}

  [[noreturn]] void fail(const std::string& message) const {
    throw ScenarioError(file_, line_, message);
  }
  const std::string& operator[](size_t i) const { return words_[i]; }
  size_t size() const { return words_.size(); }

  double number(const std::string& text, const char* what) const {
    return parseScenarioNumber(text, what, file_, line_);
  }

  double angle(const std::string& text, const char* what) const {
    return parseScenarioAngle(text, what, file_, line_);
  }

  double bounded(double value, double most, const std::string& text, const char* what) const {
    if (std::fabs(value) > most) fail(std::string("bad ") + what + " \"" + text + "\": too large");
    return value;
  }

  // A move needs a frame at least; a hold may last none.
  long long frames(const std::string& text, bool zeroAllowed) const {
    const double seconds = number(text, "seconds");
    if (seconds < 0) fail("bad seconds \"" + text + "\": time does not run backwards");
    const double frames = std::round(seconds * kFramesPerSecond);
    if (frames > kMostFrames) fail("bad seconds \"" + text + "\": too long");
    if (frames < 1 && !zeroAllowed)
      fail("bad seconds \"" + text + "\": a move lasts at least one frame (1/120 s)");
    return static_cast<long long>(frames);
  }

  kit::Point point(const std::string& text, const char* what) const {
    const auto comma = text.find(',');
    if (comma == std::string::npos || text.find(',', comma + 1) != std::string::npos)
      fail(std::string("bad ") + what + " \"" + text + "\": expected X,Y");
    const double x = bounded(number(text.substr(0, comma), what), kFarthest, text, what);
    const double y = bounded(number(text.substr(comma + 1), what), kFarthest, text, what);
    return {static_cast<float>(x), static_cast<float>(y)};
  }

 private:
  const std::vector<std::string>& words_;
  const std::string& file_;
  int line_;
};

constexpr const char* kUsage =
    "expected: tablet turn ANGLE SECONDS [about=X,Y], tablet lift SIDE ANGLE SECONDS, "
    "tablet lower SECONDS, tablet slide DX DY SECONDS or tablet hold SECONDS";

// Puts the line's move on the tablet, lasting `frames` frames of `interval`.
void queueMove(kit::SimulatedTablet& tablet, const TabletLine& line, double interval) {
  const double seconds = static_cast<double>(line.frames) * interval;
  switch (line.kind) {
    case TabletLine::Kind::Turn: tablet.turn(line.angle, seconds, line.about); break;
    case TabletLine::Kind::Lift: tablet.lift(line.side, line.angle, seconds); break;
    case TabletLine::Kind::Lower: tablet.lower(seconds); break;
    case TabletLine::Kind::Slide: tablet.slide(line.dx, line.dy, seconds); break;
    case TabletLine::Kind::Hold: tablet.hold(seconds); break;
  }
}

}  // namespace

TabletLine TabletLineParser::parseTablet(const std::vector<std::string>& words,
                                         const std::string& file, int line) {
  const Words w(words, file, line);
  if (w.size() < 2) w.fail(kUsage);
  const std::string& what = w[1];
  TabletLine t;
  if (what == "turn") {
    if (w.size() != 4 && w.size() != 5) w.fail("expected: tablet turn ANGLE SECONDS [about=X,Y]");
    t.kind = TabletLine::Kind::Turn;
    t.angle = w.bounded(w.angle(w[2], "angle"), kMostRadians, w[2], "angle");
    t.frames = w.frames(w[3], false);
    if (w.size() == 5) {
      if (w[4].rfind("about=", 0) != 0) w.fail("bad setting \"" + w[4] + "\": expected about=X,Y");
      t.about = w.point(w[4].substr(6), "pivot");
    }
  } else if (what == "lift") {
    if (w.size() != 5) w.fail("expected: tablet lift SIDE ANGLE SECONDS");
    t.kind = TabletLine::Kind::Lift;
    const auto side = kit::tabletSideNamed(w[2]);
    if (!side)
      w.fail("bad side \"" + w[2] +
             "\" (left, right, top, bottom, top-left, top-right, bottom-left, bottom-right)");
    t.side = *side;
    t.angle = w.angle(w[3], "angle");
    if (t.angle < 0 || t.angle >= std::numbers::pi / 2)
      w.fail("bad angle \"" + w[3] + "\": a lift is from 0 to under 90deg");
    t.frames = w.frames(w[4], false);
  } else if (what == "lower") {
    if (w.size() != 3) w.fail("expected: tablet lower SECONDS");
    t.kind = TabletLine::Kind::Lower;
    t.frames = w.frames(w[2], false);
  } else if (what == "slide") {
    if (w.size() != 5) w.fail("expected: tablet slide DX DY SECONDS");
    t.kind = TabletLine::Kind::Slide;
    t.dx = w.bounded(w.number(w[2], "distance"), kFarthest, w[2], "distance");
    t.dy = w.bounded(w.number(w[3], "distance"), kFarthest, w[3], "distance");
    t.frames = w.frames(w[4], false);
  } else if (what == "hold") {
    if (w.size() != 3) w.fail("expected: tablet hold SECONDS");
    t.kind = TabletLine::Kind::Hold;
    t.frames = w.frames(w[2], true);
  } else {
    w.fail("unknown tablet move \"" + what + "\" (turn, lift, lower, slide, hold)");
  }

  // Try the move on a tablet of our own, which follows the lines so far.
  try {
    queueMove(tablet_, t, 1 / kFramesPerSecond);
  } catch (const std::invalid_argument& e) {
    w.fail(std::string("tablet ") + what + ": " + e.what());
  }
  tablet_.step(tablet_.movesEnd());
  anyTabletLine_ = true;
  return t;
}

IllusionLine TabletLineParser::parseIllusion(const std::vector<std::string>& words,
                                             const std::string& file, int line) const {
  const Words w(words, file, line);
  if (w.size() != 1) w.fail("expected: illusion");
  if (!anyTabletLine_)
    w.fail(
        "illusion needs tablet lines first: it compares the picture with the simulated "
        "tablet's table");
  return {};
}

void TabletDriver::launched(const VitraneforiPadViewController& vc) {
  meter_.recordLaunch(*vc.outlets.stretcherView, tablet_.pose());
}

void TabletDriver::run(const TabletLine& line, Runner& runner, const std::string& file,
                       int lineNumber) {
  kit::Accelerometer& accelerometer = runner.platform()->accelerometer();
  const auto firstDue = accelerometer.nextDeliveryTime();
  if (!firstDue) return;  // no clock: the application never asked for samples
  const double interval = accelerometer.updateInterval();
  // The move begins at the frame before the line's first, so that frame i
  // of the line falls i intervals into it.
  tablet_.step(*firstDue - interval);
  try {
    queueMove(tablet_, line, interval);
  } catch (const std::invalid_argument& e) {
    throw ScenarioError(file, lineNumber, std::string("tablet: ") + e.what());
  }
  for (long long i = 0; i < line.frames; ++i) {
    const auto due = accelerometer.nextDeliveryTime();
    if (!due) break;
    runner.motion().current = *tablet_.sample(*due);
    runner.advanceTo(*due);
  }
  // Whatever rounding left of the move, the tablet lies still at its end.
  tablet_.step(tablet_.movesEnd());
  runner.motion().current = tablet_.reading();
}

IllusionFigures TabletDriver::illusion(const VitraneforiPadViewController& vc) const {
  const kit::TabletBody& g = tablet_.geometry();
  return meter_.measure(*vc.outlets.stretcherView, tablet_.pose(), g.screenWidth, g.screenHeight);
}

std::string TabletDriver::illusionLine(const VitraneforiPadViewController& vc) const {
  const IllusionFigures f = illusion(vc);
  char buf[96];
  std::snprintf(buf, sizeof buf, "ILLUSION %.3f %.3f", f.mean, f.max);
  return buf;
}

}  // namespace headless
