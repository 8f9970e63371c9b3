#include "hosts/desktop/session_recorder.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

namespace desktop {

namespace {

// A touch or action may not land within this of the next frame's time: the
// runner delivers a frame whose time is that close before the line.
constexpr double kBeforeNextFrame = 1e-7;

bool same(const kit::Vector3& a, const kit::Vector3& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z;
}

bool sameReading(const kit::MotionSample& a, const kit::MotionSample& b) {
  return a.attitude.yaw == b.attitude.yaw && a.attitude.pitch == b.attitude.pitch &&
         a.attitude.roll == b.attitude.roll && same(a.rotationRate, b.rotationRate) &&
         same(a.gravity, b.gravity) && same(a.acceleration, b.acceleration);
}

// The runner's sample before any motion line: flat and still at yaw π/2.
kit::MotionSample runnerStart() {
  kit::MotionSample s;
  s.attitude.yaw = std::numbers::pi / 2;
  return s;
}

}  // namespace

SessionRecorder::SessionRecorder(std::ostream& out, double frameInterval)
    : out_(out), interval_(frameInterval > 0 ? frameInterval : 1.0 / 120), written_(runnerStart()) {
  out_ << "# recorded by vitrane --record; replay with vitrane-run\n";
}

SessionRecorder::~SessionRecorder() { finish(); }

std::string SessionRecorder::number(double v) {
  if (v == 0) return "0";  // no "-0"
  char buf[64];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  return ec == std::errc() ? std::string(buf, end) : "0";
}

std::string SessionRecorder::point(kit::Point p) const {
  // The runner reads a double and narrows it: the float's shortest text
  // when that narrows back to it, else its exact value.
  auto coordinate = [](float f) {
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, f);
    std::string text(buf, end);
    double back = 0;
    std::from_chars(text.data(), text.data() + text.size(), back);
    if (ec != std::errc() || static_cast<float>(back) != f) return number(static_cast<double>(f));
    return f == 0 ? std::string("0") : text;
  };
  return coordinate(p.x) + " " + coordinate(p.y);
}

void SessionRecorder::configuration(const std::string& line) { out_ << line << "\n"; }

void SessionRecorder::begin(double origin) { origin_ = origin; }

void SessionRecorder::reading(const kit::MotionSample& sample) {
  if (sample.isFinite()) current_ = sample;
}

void SessionRecorder::frame(const kit::MotionSample& sample) {
  // A reading that is not finite is not delivered live; the replay repeats
  // the last good one instead.
  if (sample.isFinite()) current_ = sample;
  const kit::MotionSample& s = current_ ? *current_ : written_;
  if (pendingFrames_ > 0 && !sameReading(s, written_)) flushFrames();
  writeMotion(s);
  ++pendingFrames_;
  ++frames_;
}

void SessionRecorder::flushFrames() {
  if (pendingFrames_ == 0) return;
  out_ << "frames " << pendingFrames_ << "\n";
  pendingFrames_ = 0;
  // Where the runner's clock stands after them: on frame k's time.
  cursor_ = interval_ * static_cast<double>(frames_);
}

void SessionRecorder::writeMotion(const kit::MotionSample& s) {
  std::string line;
  auto vector = [](const kit::Vector3& v) {
    return number(v.x) + "," + number(v.y) + "," + number(v.z);
  };
  if (s.attitude.yaw != written_.attitude.yaw) line += " yaw=" + number(s.attitude.yaw);
  if (s.attitude.pitch != written_.attitude.pitch) line += " pitch=" + number(s.attitude.pitch);
  if (s.attitude.roll != written_.attitude.roll) line += " roll=" + number(s.attitude.roll);
  if (!same(s.rotationRate, written_.rotationRate)) {
    if (s.rotationRate.x == written_.rotationRate.x && s.rotationRate.y == written_.rotationRate.y)
      line += " rate.z=" + number(s.rotationRate.z);
    else
      line += " rate=" + vector(s.rotationRate);
  }
  if (!same(s.gravity, written_.gravity)) line += " gravity=" + vector(s.gravity);
  if (!same(s.acceleration, written_.acceleration)) line += " accel=" + vector(s.acceleration);
  if (line.empty()) return;
  flushFrames();
  out_ << "motion" << line << "\n";
  written_ = s;
}

void SessionRecorder::moveTo(double liveTime) {
  flushFrames();
  if (current_) writeMotion(*current_);
  double t = liveTime - origin_;
  // Before the next frame, as it was live; never before what is written.
  t = std::min(t, interval_ * static_cast<double>(frames_ + 1) - kBeforeNextFrame);
  // Within a nanosecond of where the replay stands is where it stands (a
  // wait that small only rounds).
  if (!(t > cursor_ + 1e-9)) return;
  std::string text = number(t - cursor_);
  double wait = 0;
  std::from_chars(text.data(), text.data() + text.size(), wait);
  out_ << "wait " << text << "\n";
  cursor_ += wait;
}

void SessionRecorder::touches(double t, const std::vector<kit::Touch>& touches) {
  if (finished_) return;
  moveTo(t);
  for (const kit::Touch& touch : touches) {
    const std::string id = std::to_string(touch.id);
    switch (touch.phase) {
      case kit::TouchPhase::Stationary: break;
      case kit::TouchPhase::Began:
        out_ << "touch down " << id << " " << point(touch.location) << "\n";
        fingers_[touch.id] = touch.location;
        break;
      case kit::TouchPhase::Moved:
        out_ << "touch move " << id << " " << point(touch.location) << "\n";
        fingers_[touch.id] = touch.location;
        break;
      case kit::TouchPhase::Ended: {
        const auto at = fingers_.find(touch.id);
        if (at == fingers_.end() || at->second != touch.location)
          out_ << "touch move " << id << " " << point(touch.location) << "\n";
        out_ << "touch up " << id << "\n";
        fingers_.erase(touch.id);
        break;
      }
      case kit::TouchPhase::Cancelled:
        out_ << "touch cancel " << id << "\n";
        fingers_.erase(touch.id);
        break;
    }
  }
}

void SessionRecorder::action(double t, const std::string& name) {
  if (finished_) return;
  moveTo(t);
  out_ << "action " << name << "\n";
}

void SessionRecorder::finish() {
  if (finished_) return;
  flushFrames();
  out_.flush();
  finished_ = true;
}

std::optional<kit::MotionSample> RecordingMotionSource::sample(double t) {
  if (!held_) {
    auto s = live_.sample(t);
    held_ = s && s->isFinite() ? *s : runnerStart();
    recorder_.reading(*held_);
  }
  return held_;
}

std::optional<kit::MotionSample> RecordingMotionSource::accelerometerSample(double due) {
  // A frame the sensors have nothing for carries the last reading (the
  // runner's starting one before any), as the replay's frame will.
  auto s = live_.accelerometerSample(due);
  if (s && s->isFinite())
    held_ = s;
  else if (!held_)
    held_ = runnerStart();
  recorder_.frame(*held_);
  return held_;
}

void RecordingTouchSink::touchesChanged(const std::vector<kit::Touch>& touches) {
  next_.touchesChanged(touches);
  if (touches.empty()) return;
  recorder_.touches(touches.front().timestamp, touches);
}

}  // namespace desktop
