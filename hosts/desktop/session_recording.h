// `vitrane --record FILE`: the file the session is written to and what
// watches the session for it (the motion the application reads, the
// touches it is given). Opened before the application starts, so that a
// file that cannot be written stops the window before it opens anything.
#pragma once

#include <fstream>
#include <memory>
#include <string>

#include "hosts/desktop/session_recorder.h"

namespace desktop {

class SessionRecording {
 public:
  // Creates or empties the file; nothing, with "cannot write FILE", when it
  // cannot. A flat-pivot estimate session says so first, so that its
  // replay turns a flat tablet about the same pivot.
  static std::unique_ptr<SessionRecording> open(const std::string& path, bool flatPivotEstimate,
                                                std::string& error);
  SessionRecording(const SessionRecording&) = delete;
  SessionRecording& operator=(const SessionRecording&) = delete;

  // What the application reads and is given, seen by the recording; each
  // once, and the answer must outlive its use.
  kit::MotionSource& watchMotion(kit::MotionSource& live);
  kit::TouchSink& watchTouches(kit::TouchSink& sink);

  // The session's time 0 on the live clock: when set-up ended.
  void begin(double origin);
  // Writes what is held back; false, with "cannot write FILE", when any of
  // the session failed to reach the file.
  bool finish(std::string& error);

 private:
  SessionRecording(std::ofstream file, std::string path, bool flatPivotEstimate);

  std::string path_;
  std::ofstream file_;
  std::unique_ptr<SessionRecorder> recorder_;  // writes to file_
  std::unique_ptr<RecordingMotionSource> motion_;
  std::unique_ptr<RecordingTouchSink> touches_;
};

}  // namespace desktop
