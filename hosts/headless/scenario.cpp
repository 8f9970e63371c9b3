#include "hosts/headless/scenario.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <sstream>

namespace headless {

namespace {

std::vector<std::string> splitWords(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

class LineParser {
 public:
  LineParser(const std::string& file, int line) : file_(file), line_(line) {}

  [[noreturn]] void fail(const std::string& message) const {
    throw ScenarioError(file_, line_, message);
  }

  double number(const std::string& text, const char* what) const {
    return parseScenarioNumber(text, what, file_, line_);
  }

  double angle(const std::string& text, const char* what) const {
    return parseScenarioAngle(text, what, file_, line_);
  }

  kit::Vector3 vector(const std::string& text, const char* what) const {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, ',')) parts.push_back(part);
    if (parts.size() != 3 || text.back() == ',')
      fail(std::string("bad ") + what + " \"" + text + "\": expected X,Y,Z");
    return {number(parts[0], what), number(parts[1], what), number(parts[2], what)};
  }

  long long count(const std::string& text, const char* what) const {
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < 0)
      fail(std::string("bad ") + what + " \"" + text + "\": expected a whole number, 0 or more");
    return value;
  }

  void expectWords(const std::vector<std::string>& words, size_t n, const char* usage) const {
    if (words.size() != n) fail(std::string("expected: ") + usage);
  }

 private:
  const std::string& file_;
  int line_;
};

MotionChange parseMotion(const LineParser& p, const std::vector<std::string>& words) {
  if (words.size() < 2) p.fail("expected: motion KEY=VALUE ...");
  MotionChange change;
  for (size_t i = 1; i < words.size(); ++i) {
    const std::string& w = words[i];
    const auto eq = w.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == w.size())
      p.fail("bad motion setting \"" + w + "\": expected KEY=VALUE");
    const std::string key = w.substr(0, eq);
    const std::string value = w.substr(eq + 1);
    if (key == "yaw")
      change.yaw = p.angle(value, "yaw");
    else if (key == "pitch")
      change.pitch = p.angle(value, "pitch");
    else if (key == "roll")
      change.roll = p.angle(value, "roll");
    else if (key == "rate")
      change.rate = p.vector(value, "rate"), change.rateZ.reset();
    else if (key == "rate.z")
      change.rateZ = p.number(value, "rate.z");
    else if (key == "gravity")
      change.gravity = p.vector(value, "gravity");
    else if (key == "accel")
      change.accel = p.vector(value, "accel");
    else
      p.fail("unknown motion key \"" + key + "\" (yaw, pitch, roll, rate, rate.z, gravity, accel)");
  }
  return change;
}

// The file name as written; relative names stay inside the output folder.
Snapshot parseSnapshot(const LineParser& p, const std::string& path) {
  if (path.empty()) p.fail("expected: snapshot FILE.png");
  const std::filesystem::path file(path);
  std::string extension = file.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension != ".png") p.fail("bad snapshot file \"" + path + "\": the name must end in .png");
  if (file.is_relative()) {
    const std::filesystem::path normal = file.lexically_normal();
    if (!normal.empty() && *normal.begin() == "..")
      p.fail("bad snapshot file \"" + path + "\": it would leave the output folder");
  }
  return Snapshot{path};
}

// movie FILE.png [every=N] [width=W], or movie end
Movie parseMovie(const LineParser& p, const std::vector<std::string>& words) {
  const char* usage = "expected: movie FILE.png [every=N] [width=W], or movie end";
  if (words.size() < 2) p.fail(usage);
  Movie movie;
  if (words[1] == "end") {
    if (words.size() != 2) p.fail(usage);
    movie.path.clear();
    return movie;
  }
  movie.path = parseSnapshot(p, words[1]).path;
  for (std::size_t i = 2; i < words.size(); ++i) {
    const std::size_t eq = words[i].find('=');
    const std::string key = words[i].substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : words[i].substr(eq + 1);
    if (key == "every") {
      movie.every = p.count(value, "every");
      if (movie.every < 1) p.fail("bad every \"" + value + "\": at least one frame");
    } else if (key == "width") {
      const long long width = p.count(value, "width");
      if (width < 16 || width > 4096) p.fail("bad width \"" + value + "\": 16 to 4096 points");
      movie.width = static_cast<int>(width);
    } else {
      p.fail(usage);
    }
  }
  return movie;
}

// tablet-noise accel=G gyro=RAD_S [bias=RAD_S] [seed=N]
TabletNoiseLine parseTabletNoise(const LineParser& p, const std::vector<std::string>& words) {
  const char* usage = "expected: tablet-noise accel=G gyro=RAD_S [bias=RAD_S] [seed=N]";
  // Far beyond any sensor; larger values would only overflow the readings.
  constexpr double kMostNoise = 10;
  kit::TabletNoise noise;
  bool accel = false, gyro = false, bias = false, seed = false;
  for (size_t i = 1; i < words.size(); ++i) {
    const std::string& w = words[i];
    const auto eq = w.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == w.size())
      p.fail("bad tablet-noise setting \"" + w + "\": " + usage);
    const std::string key = w.substr(0, eq), value = w.substr(eq + 1);
    bool* seen = key == "accel"  ? &accel
                 : key == "gyro" ? &gyro
                 : key == "bias" ? &bias
                 : key == "seed" ? &seed
                                 : nullptr;
    if (!seen) p.fail("unknown tablet-noise key \"" + key + "\" (accel, gyro, bias, seed)");
    if (*seen) p.fail("tablet-noise key \"" + key + "\" given twice");
    *seen = true;
    if (key == "seed") {
      noise.seed = static_cast<std::uint64_t>(p.count(value, "seed"));
      continue;
    }
    const double v = p.number(value, key.c_str());
    if (std::fabs(v) > kMostNoise) p.fail("bad " + key + " \"" + value + "\": at most 10");
    if (key != "bias" && v < 0)
      p.fail("bad " + key + " \"" + value + "\": a standard deviation is 0 or more");
    (key == "accel" ? noise.accel : key == "gyro" ? noise.gyro : noise.bias) = v;
  }
  if (!accel || !gyro) p.fail(usage);
  return TabletNoiseLine{noise};
}

std::string stripComment(const std::string& line) {
  const auto hash = line.find('#');
  return hash == std::string::npos ? line : line.substr(0, hash);
}

std::string restAfterWord(const std::string& line, const std::string& word) {
  auto start = line.find(word) + word.size();
  std::string rest = line.substr(start);
  const auto first = rest.find_first_not_of(" \t");
  const auto last = rest.find_last_not_of(" \t\r");
  return first == std::string::npos ? "" : rest.substr(first, last - first + 1);
}

// picker FILE [crop=X,Y,W,H] | picker cancel | picker dismiss
PickerAnswer parsePicker(const LineParser& p, std::string rest, const std::string& baseDir) {
  const char* usage = "expected: picker FILE [crop=X,Y,W,H], picker cancel or picker dismiss";
  if (rest.empty()) p.fail(usage);
  PickerAnswer answer;
  if (rest.rfind("crop=", 0) == 0) p.fail(usage);
  if (rest == "cancel" || rest == "dismiss") {
    answer.kind = rest == "cancel" ? PickerAnswer::Kind::Cancel : PickerAnswer::Kind::Dismiss;
    return answer;
  }
  const auto lastBlank = rest.find_last_of(" \t");
  if (lastBlank != std::string::npos && rest.compare(lastBlank + 1, 5, "crop=") == 0) {
    const std::string value = rest.substr(lastBlank + 6);
    std::vector<std::string> parts;
    std::istringstream in(value);
    for (std::string part; std::getline(in, part, ',');) parts.push_back(part);
    if (parts.size() != 4 || value.empty() || value.back() == ',')
      p.fail("bad crop \"" + value + "\": expected X,Y,W,H");
    answer.hasCrop = true;
    answer.cropX = p.number(parts[0], "crop x");
    answer.cropY = p.number(parts[1], "crop y");
    answer.cropWidth = p.number(parts[2], "crop width");
    answer.cropHeight = p.number(parts[3], "crop height");
    if (answer.cropWidth < 0 || answer.cropHeight < 0)
      p.fail("bad crop \"" + value + "\": width and height cannot be negative");
    rest = rest.substr(0, rest.find_last_not_of(" \t", lastBlank) + 1);
    if (rest.empty() || lastBlank == 0) p.fail(usage);
  }
  std::filesystem::path path(rest);
  if (path.is_relative()) path = std::filesystem::path(baseDir) / path;
  answer.path = path.lexically_normal().string();
  return answer;
}

}  // namespace

double parseScenarioNumber(const std::string& text, const char* what, const std::string& file,
                           int line) {
  auto fail = [&](const char* why) {
    throw ScenarioError(file, line, std::string("bad ") + what + " \"" + text + "\": " + why);
  };
  std::string_view s = text;
  // from_chars takes no '+', but a second sign after one must stay an error.
  if (s.size() > 1 && s.front() == '+' && s[1] != '-' && s[1] != '+') s.remove_prefix(1);
  double value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size()) fail("not a number");
  if (!std::isfinite(value)) fail("not finite");
  return value;
}

double parseScenarioAngle(const std::string& text, const char* what, const std::string& file,
                          int line) {
  if (text.size() > 3 && text.compare(text.size() - 3, 3, "deg") == 0) {
    // A huge finite number of degrees can still overflow on conversion; an
    // infinite yaw would make the sensors drop every later sample unseen.
    const double radians = parseScenarioNumber(text.substr(0, text.size() - 3), what, file, line) *
                           std::numbers::pi / 180;
    if (!std::isfinite(radians))
      throw ScenarioError(file, line, std::string("bad ") + what + " \"" + text + "\": not finite");
    return radians;
  }
  return parseScenarioNumber(text, what, file, line);
}

Scenario parseScenario(const std::string& text, const std::string& fileName,
                       const std::string& baseDir, const std::vector<std::string>& actionNames) {
  Scenario scenario{fileName, {}};
  std::istringstream in(text);
  std::string raw;
  int lineNumber = 0;
  bool pastConfiguration = false;
  TabletLineParser tabletLines;
  while (std::getline(in, raw)) {
    ++lineNumber;
    const std::string line = stripComment(raw);
    const std::vector<std::string> words = splitWords(line);
    if (words.empty()) continue;
    const LineParser p(scenario.file, lineNumber);
    const std::string& verb = words[0];
    Command command{lineNumber, Dump{}};

    if (verb == "device-motion") {
      p.expectWords(words, 2, "device-motion unavailable");
      if (words[1] != "unavailable") p.fail("expected: device-motion unavailable");
      command.body = DeviceMotionUnavailable{};
    } else if (verb == "camera") {
      p.expectWords(words, 2, "camera unavailable");
      if (words[1] != "unavailable") p.fail("expected: camera unavailable");
      command.body = CameraUnavailable{};
    } else if (verb == "library") {
      const std::string rest = restAfterWord(line, "library");
      if (rest.empty()) p.fail("expected: library DIR, or library refused");
      if (rest == "refused") {
        command.body = LibraryRefused{};
      } else {
        std::filesystem::path path(rest);
        if (path.is_relative()) path = std::filesystem::path(baseDir) / path;
        command.body = LibraryFolder{path.lexically_normal().string()};
      }
    } else if (verb == "seed") {
      p.expectWords(words, 2, "seed N");
      const long long seed = p.count(words[1], "seed");
      if (seed > 0xFFFFFFFFLL) p.fail("bad seed \"" + words[1] + "\": at most 4294967295");
      command.body = Seed{static_cast<std::uint32_t>(seed)};
    } else if (verb == "open-url") {
      p.expectWords(words, 2, "open-url yes|no");
      if (words[1] != "yes" && words[1] != "no") p.fail("expected: open-url yes|no");
      command.body = OpenUrl{words[1] == "yes"};
    } else if (verb == "flat-pivot") {
      p.expectWords(words, 2, "flat-pivot estimate|centre");
      const auto mode = flatPivotModeNamed(words[1]);
      if (!mode) p.fail("expected: flat-pivot estimate|centre");
      command.body = FlatPivot{*mode};
    } else if (verb == "tablet-noise") {
      command.body = parseTabletNoise(p, words);
    } else if (verb == "motion") {
      command.body = parseMotion(p, words);
    } else if (verb == "frames") {
      p.expectWords(words, 2, "frames N");
      command.body = Frames{p.count(words[1], "frame count")};
    } else if (verb == "wait") {
      p.expectWords(words, 2, "wait SECONDS");
      const double s = p.number(words[1], "seconds");
      if (s < 0) p.fail("bad seconds \"" + words[1] + "\": time does not run backwards");
      command.body = Wait{s};
    } else if (verb == "action") {
      p.expectWords(words, 2, "action NAME");
      if (std::find(actionNames.begin(), actionNames.end(), words[1]) == actionNames.end())
        p.fail("unknown action \"" + words[1] + "\"");
      command.body = SendAction{words[1]};
    } else if (verb == "dump") {
      p.expectWords(words, 1, "dump");
      command.body = Dump{};
    } else if (verb == "probe") {
      p.expectWords(words, 4, "probe VIEW X Y");
      command.body =
          Probe{words[1], words[2], words[3], p.number(words[2], "x"), p.number(words[3], "y")};
    } else if (verb == "tablet") {
      command.body = tabletLines.parseTablet(words, scenario.file, lineNumber);
    } else if (verb == "illusion") {
      command.body = tabletLines.parseIllusion(words, scenario.file, lineNumber);
    } else if (verb == "snapshot") {
      command.body = parseSnapshot(p, restAfterWord(line, "snapshot"));
    } else if (verb == "movie") {
      command.body = parseMovie(p, words);
    } else if (verb == "picker") {
      command.body = parsePicker(p, restAfterWord(line, "picker"), baseDir);
    } else if (verb == "touch" || verb == "tap" || verb == "doubletap" || verb == "press" ||
               verb == "drag" || verb == "twist" || verb == "pinch") {
      command.body = parseTouchLine(words, scenario.file, lineNumber);
    } else if (verb == "button") {
      command.body = parseButtonLine(words, scenario.file, lineNumber);
    } else {
      p.fail("unknown command \"" + verb + "\"");
    }

    if (command.isConfiguration()) {
      if (pastConfiguration)
        p.fail("\"" + verb + "\" is configuration and must come before every other command");
    } else {
      pastConfiguration = true;
    }
    scenario.commands.push_back(std::move(command));
  }
  return scenario;
}

}  // namespace headless
