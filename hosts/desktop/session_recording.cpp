#include "hosts/desktop/session_recording.h"

namespace desktop {

std::unique_ptr<SessionRecording> SessionRecording::open(const std::string& path,
                                                         bool flatPivotEstimate,
                                                         std::string& error) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) {
    error = "cannot write " + path;
    return nullptr;
  }
  return std::unique_ptr<SessionRecording>(
      new SessionRecording(std::move(file), path, flatPivotEstimate));
}

SessionRecording::SessionRecording(std::ofstream file, std::string path, bool flatPivotEstimate)
    : path_(std::move(path)), file_(std::move(file)) {
  recorder_ = std::make_unique<SessionRecorder>(file_);
  if (flatPivotEstimate) recorder_->configuration("flat-pivot estimate");
}

kit::MotionSource& SessionRecording::watchMotion(kit::MotionSource& live) {
  motion_ = std::make_unique<RecordingMotionSource>(live, *recorder_);
  return *motion_;
}

kit::TouchSink& SessionRecording::watchTouches(kit::TouchSink& sink) {
  touches_ = std::make_unique<RecordingTouchSink>(sink, *recorder_);
  return *touches_;
}

void SessionRecording::begin(double origin) { recorder_->begin(origin); }

bool SessionRecording::finish(std::string& error) {
  recorder_->finish();
  if (file_) return true;
  error = "cannot write " + path_;
  return false;
}

}  // namespace desktop
