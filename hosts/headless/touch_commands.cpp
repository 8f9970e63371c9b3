#include "hosts/headless/touch_commands.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>

#include "hosts/headless/runner.h"
#include "hosts/headless/scenario.h"
#include "kit/touch_dispatcher.h"

namespace headless {

namespace {

constexpr double kFrameSeconds = 1.0 / 120;
// Longer than this and a gesture would run for years; surely a typing slip.
constexpr double kLongestSeconds = 1e9 * kFrameSeconds;
// Farther than this from the screen and a point is surely a typing slip
// (and would not survive single precision).
constexpr double kFarthest = 1e6;
constexpr double kTapSeconds = 0.05;
constexpr double kDoubleTapSpacing = 0.15;  // from one tap's down to the next
constexpr float kFingerSpacing = 40;        // points along x, between a drag's fingers
constexpr int kMostFingers = 10;

class Words {
 public:
  Words(const std::vector<std::string>& words, const std::string& file, int line)
      : words_(words), file_(file), line_(line) {}

  [[noreturn]] void fail(const std::string& message) const {
    throw ScenarioError(file_, line_, message);
  }

  void expect(size_t n, const char* usage) const {
    if (words_.size() != n) fail(std::string("expected: ") + usage);
  }

  double number(size_t i, const char* what) const {
    const double v = parseScenarioNumber(words_[i], what, file_, line_);
    if (std::fabs(v) > kFarthest)
      fail(std::string("bad ") + what + " \"" + words_[i] + "\": too large");
    return v;
  }

  double distance(size_t i, const char* what) const {
    const double v = number(i, what);
    if (v < 0)
      fail(std::string("bad ") + what + " \"" + words_[i] + "\": a distance is not negative");
    return v;
  }

  kit::Point point(size_t i) const {
    return {static_cast<float>(number(i, "x")), static_cast<float>(number(i + 1, "y"))};
  }

  double seconds(size_t i) const {
    const double s = parseScenarioNumber(words_[i], "seconds", file_, line_);
    if (s < 0) fail("bad seconds \"" + words_[i] + "\": time does not run backwards");
    if (s > kLongestSeconds) fail("bad seconds \"" + words_[i] + "\": too long");
    return s;
  }

  double angle(size_t i) const {
    const double a = parseScenarioAngle(words_[i], "angle", file_, line_);
    if (std::fabs(a) > kFarthest) fail("bad angle \"" + words_[i] + "\": too large");
    return a;
  }

  int id(size_t i) const {
    const std::string& text = words_[i];
    const bool digits =
        !text.empty() && text.size() <= 9 &&
        std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
    if (!digits) fail("bad touch id \"" + text + "\": expected a whole number, 0 or more");
    return std::stoi(text);
  }

  const std::string& operator[](size_t i) const { return words_[i]; }
  size_t size() const { return words_.size(); }

 private:
  const std::vector<std::string>& words_;
  const std::string& file_;
  int line_;
};

kit::Point lerp(kit::Point a, kit::Point b, double u) {
  return {static_cast<float>(a.x + (b.x - a.x) * u), static_cast<float>(a.y + (b.y - a.y) * u)};
}

kit::Point still(const TouchLine& line, int, double) { return line.at; }

kit::Point dragged(const TouchLine& line, int finger, double u) {
  const float offset =
      (static_cast<float>(finger) - static_cast<float>(line.fingers - 1) / 2) * kFingerSpacing;
  const kit::Point p = lerp(line.at, line.to, u);
  return {p.x + offset, p.y};
}

kit::Point twisted(const TouchLine& line, int finger, double u) {
  // y points down the screen, so a growing angle turns clockwise.
  const double a = (finger == 0 ? std::numbers::pi : 0.0) + line.angle * u;
  return {static_cast<float>(line.at.x + line.radius * std::cos(a)),
          static_cast<float>(line.at.y + line.radius * std::sin(a))};
}

kit::Point pinched(const TouchLine& line, int finger, double u) {
  const double r = line.radius + (line.radius2 - line.radius) * u;
  return {static_cast<float>(line.at.x + (finger == 0 ? -r : r)), line.at.y};
}

}  // namespace

TouchLine parseTouchLine(const std::vector<std::string>& words, const std::string& file, int line) {
  const Words w(words, file, line);
  TouchLine t;
  const std::string& verb = words[0];
  if (verb == "touch") {
    constexpr const char* usage = "touch down|move ID X Y, or touch up|cancel ID";
    if (w.size() < 3) w.fail(std::string("expected: ") + usage);
    const std::string& what = w[1];
    if (what == "down" || what == "move") {
      w.expect(5, usage);
      t.kind = what == "down" ? TouchLine::Kind::Down : TouchLine::Kind::Move;
      t.at = w.point(3);
    } else if (what == "up" || what == "cancel") {
      w.expect(3, usage);
      t.kind = what == "up" ? TouchLine::Kind::Up : TouchLine::Kind::Cancel;
    } else {
      w.fail(std::string("expected: ") + usage);
    }
    t.id = w.id(2);
  } else if (verb == "tap" || verb == "doubletap") {
    w.expect(3, verb == "tap" ? "tap X Y" : "doubletap X Y");
    t.kind = verb == "tap" ? TouchLine::Kind::Tap : TouchLine::Kind::DoubleTap;
    t.at = w.point(1);
  } else if (verb == "press") {
    w.expect(4, "press X Y SECONDS");
    t.kind = TouchLine::Kind::Press;
    t.at = w.point(1);
    t.seconds = w.seconds(3);
  } else if (verb == "drag") {
    constexpr const char* usage = "drag X1 Y1 X2 Y2 SECONDS [fingers=N]";
    if (w.size() != 6 && w.size() != 7) w.fail(std::string("expected: ") + usage);
    t.kind = TouchLine::Kind::Drag;
    t.at = w.point(1);
    t.to = w.point(3);
    t.seconds = w.seconds(5);
    if (w.size() == 7) {
      const std::string& opt = w[6];
      const std::string count = opt.rfind("fingers=", 0) == 0 ? opt.substr(8) : "";
      // Checked as digits before converting: "fingers=x" is a bad line,
      // not a conversion failure.
      const bool digits = (count.size() == 1 || count == "10") &&
                          std::isdigit(static_cast<unsigned char>(count[0]));
      t.fingers = digits ? std::stoi(count) : 0;
      if (t.fingers < 1 || t.fingers > kMostFingers)
        w.fail("bad \"" + opt + "\": expected fingers=N, N from 1 to 10");
    }
  } else if (verb == "twist") {
    w.expect(6, "twist CX CY RADIUS ANGLE SECONDS");
    t.kind = TouchLine::Kind::Twist;
    t.at = w.point(1);
    t.radius = w.distance(3, "radius");
    t.angle = w.angle(4);
    t.seconds = w.seconds(5);
  } else if (verb == "pinch") {
    w.expect(6, "pinch CX CY R1 R2 SECONDS");
    t.kind = TouchLine::Kind::Pinch;
    t.at = w.point(1);
    t.radius = w.distance(3, "radius");
    t.radius2 = w.distance(4, "radius");
    t.seconds = w.seconds(5);
  } else {
    w.fail("unknown command \"" + verb + "\"");
  }
  return t;
}

ButtonLine parseButtonLine(const std::vector<std::string>& words, const std::string& file,
                           int line) {
  const Words w(words, file, line);
  w.expect(2, "button OUTLET");
  return {words[1]};
}

// --- Playing them --------------------------------------------------------------

void TouchDriver::run(const TouchLine& line, Runner& runner) {
  using Kind = TouchLine::Kind;
  const double now = runner.clock().now();
  const auto known = down_.find(line.id);
  const kit::Point last = known != down_.end() ? known->second : line.at;
  switch (line.kind) {
    case Kind::Down: send(runner, {{line.id, kit::TouchPhase::Began, line.at, now}}); break;
    case Kind::Move: send(runner, {{line.id, kit::TouchPhase::Moved, line.at, now}}); break;
    case Kind::Up: send(runner, {{line.id, kit::TouchPhase::Ended, last, now}}); break;
    case Kind::Cancel: send(runner, {{line.id, kit::TouchPhase::Cancelled, last, now}}); break;
    case Kind::Tap: gesture(runner, line, 1, now, kTapSeconds, still); break;
    case Kind::DoubleTap:
      gesture(runner, line, 1, now, kTapSeconds, still);
      gesture(runner, line, 1, now + kDoubleTapSpacing, kTapSeconds, still);
      break;
    case Kind::Press: gesture(runner, line, 1, now, line.seconds, still); break;
    case Kind::Drag: gesture(runner, line, line.fingers, now, line.seconds, dragged); break;
    case Kind::Twist: gesture(runner, line, 2, now, line.seconds, twisted); break;
    case Kind::Pinch: gesture(runner, line, 2, now, line.seconds, pinched); break;
  }
}

std::vector<int> TouchDriver::freeIds(int count) const {
  std::vector<int> ids;
  for (int id = 0; static_cast<int>(ids.size()) < count && id < INT_MAX; ++id)
    if (!down_.count(id)) ids.push_back(id);
  return ids;
}

void TouchDriver::gesture(Runner& runner, const TouchLine& line, int fingers, double start,
                          double seconds, Path path) {
  const std::vector<int> ids = freeIds(fingers);
  double end = start + seconds;
  auto placed = [&](double u, kit::TouchPhase phase, double t) {
    std::vector<kit::Touch> touches;
    for (int i = 0; i < fingers; ++i)
      touches.push_back({ids[i], phase, path(line, i, std::clamp(u, 0.0, 1.0)), t});
    return touches;
  };
  if (start > runner.clock().now()) {
    schedule(runner, start, placed(0, kit::TouchPhase::Began, start));
    runner.advanceTo(start);
  } else {
    send(runner, placed(0, kit::TouchPhase::Began, start));
  }

  // One move a frame, each before its frame.
  double lastMove = start;
  const kit::Accelerometer& frames = runner.platform()->accelerometer();
  for (;;) {
    const auto due = frames.nextDeliveryTime();
    const double t = due ? *due : lastMove + kFrameSeconds;
    if (t > end + 1e-9 || t <= lastMove) break;  // (a frame that does not come: stop)
    // An end that is a frame's time, give or take rounding, is that frame's
    // time: the lift comes before the frame, like every event then.
    if (std::fabs(t - end) <= 1e-9) end = t;
    schedule(runner, t, placed(seconds > 0 ? (t - start) / seconds : 1, kit::TouchPhase::Moved, t));
    lastMove = t;
    if (t == end) {
      schedule(runner, end, placed(1, kit::TouchPhase::Ended, end));
      runner.advanceTo(t);
      return;
    }
    runner.advanceTo(t);
  }
  if (lastMove < end) schedule(runner, end, placed(1, kit::TouchPhase::Moved, end));
  schedule(runner, end, placed(1, kit::TouchPhase::Ended, end));
  runner.advanceTo(end);
}

void TouchDriver::schedule(Runner& runner, double t, std::vector<kit::Touch> changes) {
  runner.platform()->runLoop().scheduleTimer(
      t, [this, &runner, changes = std::move(changes)] { send(runner, changes); },
      kit::RunLoop::kEventPriority);
}

void TouchDriver::send(Runner& runner, const std::vector<kit::Touch>& changes) {
  const double now = runner.clock().now();
  std::vector<kit::Touch> event;
  for (const auto& [id, where] : down_) {
    const auto touchId = id;  // clang before 16 cannot capture a structured binding
    const bool changing = std::any_of(changes.begin(), changes.end(),
                                      [touchId](const kit::Touch& c) { return c.id == touchId; });
    if (!changing) event.push_back({id, kit::TouchPhase::Stationary, where, now});
  }
  bool moved = false;
  for (kit::Touch c : changes) {
    c.timestamp = now;
    const auto it = down_.find(c.id);
    if (c.phase == kit::TouchPhase::Moved && it != down_.end() && it->second == c.location) {
      c.phase = kit::TouchPhase::Stationary;
    } else {
      moved = true;
    }
    if (c.phase == kit::TouchPhase::Ended || c.phase == kit::TouchPhase::Cancelled)
      down_.erase(c.id);
    else if (c.phase != kit::TouchPhase::Moved || it != down_.end())
      down_[c.id] = c.location;
    event.push_back(c);
  }
  if (!moved) return;  // a move to where the fingers already are
  if (kit::TouchDispatcher* touches = runner.touchDispatcher()) touches->touchesChanged(event);
  runner.platform()->runLoop().drainMainQueue();
}

}  // namespace headless
