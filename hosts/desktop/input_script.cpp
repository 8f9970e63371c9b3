#include "hosts/desktop/input_script.h"

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string_view>

namespace desktop {

namespace {

bool parseNumber(const std::string& text, double& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !std::isfinite(v)) return false;
  out = v;
  return true;
}

}  // namespace

std::vector<InputStep> parseInputScript(const std::string& text, const std::string& fileName) {
  std::vector<InputStep> steps;
  std::istringstream in(text);
  int lineNumber = 0;
  double lastTime = 0;
  for (std::string line; std::getline(in, line);) {
    ++lineNumber;
    auto fail = [&](const std::string& message) {
      return InputScriptError(fileName + ":" + std::to_string(lineNumber) + ": " + message);
    };
    if (const size_t hash = line.find('#'); hash != std::string::npos) line.resize(hash);
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    if (w.empty()) continue;

    InputStep step;
    if (!parseNumber(w[0], step.time) || step.time < 0)
      throw fail("a time in seconds must come first");
    if (step.time < lastTime) throw fail("times must not go down");
    lastTime = step.time;
    if (w.size() < 2) throw fail("nothing to do at this time");

    const std::string& kind = w[1];
    auto action = [&](size_t i) {
      if (i < w.size()) {
        if (w[i] == "down") return InputStep::Action::Down;
        if (w[i] == "up") return InputStep::Action::Up;
        if (w[i] == "move" && kind != "key") return InputStep::Action::Move;
      }
      throw fail(kind == "key" ? "key needs down or up" : kind + " needs down, move or up");
    };
    auto point = [&](size_t i) {
      double x = 0, y = 0;
      if (i + 1 >= w.size() || !parseNumber(w[i], x) || !parseNumber(w[i + 1], y))
        throw fail(kind + " needs X and Y in screen points");
      return kit::Point{static_cast<float>(x), static_cast<float>(y)};
    };

    if (kind == "key") {
      if (w.size() != 4) throw fail("expected: SECONDS key NAME down|up");
      step.kind = InputStep::Kind::Key;
      step.key = w[2];
      // Shift comes as a prefix: SDL names the key itself "Left Shift",
      // which a line split at blanks cannot hold.
      constexpr std::string_view kShift = "Shift+";
      if (step.key.size() > kShift.size() && step.key.compare(0, kShift.size(), kShift) == 0) {
        step.shift = true;
        step.key.erase(0, kShift.size());
      }
      step.action = action(3);
    } else if (kind == "mouse") {
      step.kind = InputStep::Kind::Mouse;
      step.action = action(2);
      step.location = point(3);
      if (w.size() == 6 && w[5] == "mirror")
        step.mirror = true;
      else if (w.size() != 5)
        throw fail("expected: SECONDS mouse down|move|up X Y [mirror]");
    } else if (kind == "finger") {
      if (w.size() != 6) throw fail("expected: SECONDS finger down|move|up N X Y");
      step.kind = InputStep::Kind::Finger;
      step.action = action(2);
      double n = 0;
      if (!parseNumber(w[3], n) || n < 0 || n > 9 || n != std::floor(n))
        throw fail("a finger is numbered 0 to 9");
      step.finger = static_cast<int>(n);
      step.location = point(4);
    } else if (kind == "window") {
      double width = 0, height = 0;
      if (w.size() != 4 || !parseNumber(w[2], width) || !parseNumber(w[3], height) || width < 1 ||
          height < 1 || width > 16384 || height > 16384 || width != std::floor(width) ||
          height != std::floor(height))
        throw fail("expected: SECONDS window W H, whole numbers from 1 to 16384");
      step.kind = InputStep::Kind::Window;
      step.width = static_cast<int>(width);
      step.height = static_cast<int>(height);
    } else if (kind == "quit") {
      if (w.size() != 2) throw fail("quit takes nothing more");
      step.kind = InputStep::Kind::Quit;
    } else {
      throw fail("unknown input \"" + kind + "\" (key, mouse, finger, window or quit)");
    }
    steps.push_back(std::move(step));
  }
  return steps;
}

}  // namespace desktop
