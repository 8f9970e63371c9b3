#include "hosts/desktop/motion_replay.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <cmath>
#include <numbers>
#include <sstream>

namespace desktop {

namespace {

// The runner lets a timer due this close after a time count as due at it.
constexpr double kTimeTolerance = 1e-9;

class Reader {
 public:
  Reader(const std::string& file, int line) : file_(file), line_(line) {}

  [[noreturn]] void fail(const std::string& message) const {
    throw ReplayError(file_ + ":" + std::to_string(line_) + ": " + message);
  }

  double number(std::string_view s, const char* what) const {
    if (s.size() > 1 && s.front() == '+' && s[1] != '-' && s[1] != '+') s.remove_prefix(1);
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v))
      fail(std::string("bad ") + what + " \"" + std::string(s) + "\"");
    return v;
  }

  double angle(const std::string& s, const char* what) const {
    if (s.size() > 3 && s.compare(s.size() - 3, 3, "deg") == 0) {
      const double r =
          number(std::string_view(s).substr(0, s.size() - 3), what) * std::numbers::pi / 180;
      if (!std::isfinite(r)) fail(std::string("bad ") + what + " \"" + s + "\"");
      return r;
    }
    return number(s, what);
  }

  kit::Vector3 vector(const std::string& s, const char* what) const {
    std::vector<std::string> parts;
    std::istringstream in(s);
    for (std::string p; std::getline(in, p, ',');) parts.push_back(p);
    if (parts.size() != 3 || s.back() == ',')
      fail(std::string("bad ") + what + " \"" + s + "\": expected X,Y,Z");
    return {number(parts[0], what), number(parts[1], what), number(parts[2], what)};
  }

 private:
  const std::string& file_;
  int line_;
};

}  // namespace

ReplayMotionSource::ReplayMotionSource(const std::string& text, const std::string& fileName,
                                       double frameInterval) {
  const double interval = frameInterval > 0 ? frameInterval : 1.0 / 120;
  start_.attitude.yaw = std::numbers::pi / 2;
  kit::MotionSample current = start_;
  double time = 0;
  long long frames = 0;
  std::istringstream in(text);
  int lineNumber = 0;
  for (std::string line; std::getline(in, line);) {
    ++lineNumber;
    if (const auto hash = line.find('#'); hash != std::string::npos) line.resize(hash);
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    if (w.empty()) continue;
    const Reader r(fileName, lineNumber);
    if (w[0] == "motion") {
      if (w.size() < 2) r.fail("expected: motion KEY=VALUE ...");
      for (std::size_t i = 1; i < w.size(); ++i) {
        const auto eq = w[i].find('=');
        if (eq == std::string::npos || eq == 0 || eq + 1 == w[i].size())
          r.fail("bad motion setting \"" + w[i] + "\": expected KEY=VALUE");
        const std::string key = w[i].substr(0, eq), value = w[i].substr(eq + 1);
        if (key == "yaw")
          current.attitude.yaw = r.angle(value, "yaw");
        else if (key == "pitch")
          current.attitude.pitch = r.angle(value, "pitch");
        else if (key == "roll")
          current.attitude.roll = r.angle(value, "roll");
        else if (key == "rate")
          current.rotationRate = r.vector(value, "rate");
        else if (key == "rate.z")
          current.rotationRate.z = r.number(value, "rate.z");
        else if (key == "gravity")
          current.gravity = r.vector(value, "gravity");
        else if (key == "accel")
          current.acceleration = r.vector(value, "accel");
        else
          r.fail("unknown motion key \"" + key + "\"");
      }
      changes_.push_back({time, current});
    } else if (w[0] == "frames") {
      if (w.size() != 2) r.fail("expected: frames N");
      const double n = r.number(w[1], "frame count");
      if (n < 0 || n != std::floor(n)) r.fail("bad frame count \"" + w[1] + "\"");
      frames += static_cast<long long>(n);
      time = interval * static_cast<double>(frames);
    } else if (w[0] == "flat-pivot") {
      if (w.size() != 2 || (w[1] != "estimate" && w[1] != "centre"))
        r.fail("expected: flat-pivot estimate|centre");
      flatPivotEstimate_ = w[1] == "estimate";
    } else if (w[0] == "wait") {
      if (w.size() != 2) r.fail("expected: wait SECONDS");
      const double s = r.number(w[1], "wait");
      if (s < 0) r.fail("bad wait \"" + w[1] + "\": time cannot go back");
      time += s;
      frames = static_cast<long long>(std::floor((time + kTimeTolerance) / interval));
    }
  }
}

std::optional<kit::MotionSample> ReplayMotionSource::sample(double t) {
  // A motion line written after frame k holds from the frame after it:
  // changes apply to times strictly after their own, those at the start
  // from the start.
  const double at = t - origin_;
  const auto after = std::partition_point(changes_.begin(), changes_.end(), [&](const Change& c) {
    return c.time <= 0 || c.time < at - kTimeTolerance;
  });
  return after == changes_.begin() ? start_ : std::prev(after)->sample;
}

}  // namespace desktop
