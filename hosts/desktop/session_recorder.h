// `vitrane --record FILE`: the live session written as a scenario that
// vitrane-run replays to the same log.
//
// What the replay needs to see what the live application saw:
//  - Each frame's reading. The runner's scripted source answers one sample
//    to every read until a motion line changes it, so the recording source
//    does the same live: each accelerometer frame takes one reading from
//    the real source, and every read until the next frame (the frame's own
//    device-motion read, a twist's re-read between frames) answers it.
//    Consecutive frames with the same reading become one `frames N` line;
//    a new reading is a `motion` line with the keys that changed.
//  - Touches and actions in their place between the frames, at their time
//    since set-up ended (the runner's time 0), reached with `wait`. A
//    touch is written after the application has handled it, so that a
//    reading it made (before the first frame) is written ahead of it.
//  - Numbers that read back as the same bits: the shortest text that
//    round-trips.
//
// The format cannot say everything: a touch event that changes several
// fingers becomes one line a finger, and a lifted finger that moved on its
// way up gets a move line before its up line.
#pragma once

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "kit/geometry.h"
#include "kit/motion.h"
#include "kit/touch.h"

namespace desktop {

class SessionRecorder {
 public:
  // frameInterval: the accelerometer's, which the runner's frames keep.
  explicit SessionRecorder(std::ostream& out, double frameInterval = 1.0 / 120);
  ~SessionRecorder();

  // A configuration line the replay needs too (`flat-pivot estimate`);
  // before anything else is written.
  void configuration(const std::string& line);
  // The session's time 0 on the live clock: when set-up ended.
  void begin(double origin);
  // The reading the application sees from now on (read before any frame).
  void reading(const kit::MotionSample& sample);
  // A frame is delivered with this reading (one that is not finite
  // repeats the last).
  void frame(const kit::MotionSample& sample);
  // After the application handled a touch event at live time t.
  void touches(double t, const std::vector<kit::Touch>& touches);
  // After the application handled an action sent at live time t (not one
  // a touch on a button sent: the touch replays it).
  void action(double t, const std::string& name);
  // Writes what is held back (a run of frames) and flushes.
  void finish();

  // The number as written on a line: the shortest text that reads back
  // as the same double.
  static std::string number(double v);

 private:
  void flushFrames();
  void writeMotion(const kit::MotionSample& s);
  void moveTo(double liveTime);
  std::string point(kit::Point p) const;

  std::ostream& out_;
  double interval_;
  double origin_ = 0;
  long long frames_ = 0;         // frames written or held back
  long long pendingFrames_ = 0;  // held back, all with written_
  double cursor_ = 0;            // the runner's clock after the lines written
  kit::MotionSample written_;    // the reading the replay holds
  std::optional<kit::MotionSample> current_;
  std::map<int, kit::Point> fingers_;
  bool finished_ = false;
};

// The live motion source as the recording sees it (above). While recording,
// a frame or read the live sensors have nothing for gets the last reading
// (the runner's starting one before any), as the replay does.
class RecordingMotionSource final : public kit::MotionSource {
 public:
  RecordingMotionSource(kit::MotionSource& live, SessionRecorder& recorder)
      : live_(live), recorder_(recorder) {}
  bool isDeviceMotionAvailable() const override { return live_.isDeviceMotionAvailable(); }
  std::optional<kit::MotionSample> sample(double t) override;
  std::optional<kit::MotionSample> accelerometerSample(double due) override;

 private:
  kit::MotionSource& live_;
  SessionRecorder& recorder_;
  std::optional<kit::MotionSample> held_;
};

// Hands touches on, then tells the recorder.
class RecordingTouchSink final : public kit::TouchSink {
 public:
  RecordingTouchSink(kit::TouchSink& next, SessionRecorder& recorder)
      : next_(next), recorder_(recorder) {}
  void touchesChanged(const std::vector<kit::Touch>& touches) override;

 private:
  kit::TouchSink& next_;
  SessionRecorder& recorder_;
};

}  // namespace desktop
