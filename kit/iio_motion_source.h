// Motion from the machine's own sensors: the kernel's IIO accelerometer and
// gyroscope (and magnetometer when there is one), read from the buffered
// character device when it can be had and by polling the raw values
// otherwise, converted once to the kit's conventions and fused into
// attitude, rotation rate and gravity (kit/attitude_filter.h).
//
// Threads. With a background reader (the default) a worker thread reads and
// fuses; the main thread only ever copies the newest finished sample out
// under a lock, so nothing of the application runs anywhere else. Without
// one (tests) the caller pumps the reader itself with times of its own.
//
// Faults. A file that vanishes or reads garbage, a rate the device refuses,
// times that go backwards, a stall followed by a burst: the source keeps
// answering its last good sample, says what happened once in the debug log
// (from the main thread, at the next read), and never answers a non-finite
// value.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "kit/attitude_filter.h"
#include "kit/iio_device.h"
#include "kit/motion.h"

namespace kit {

struct IioMotionOptions {
  double rate = 120;       // Hz asked of the sensors; polling goes no faster than they sample
  bool background = true;  // read on a worker thread; false: the caller pumps
  bool buffered = true;    // try the character device before polling
  AttitudeFilterSettings filter;
};

class IioMotionSource final : public MotionSource {
 public:
  // One m/s² in g.
  static constexpr double kStandardGravity = 9.80665;
  // Gaps longer than this are stalls: the gyroscope's reading says nothing
  // of how the device turned meanwhile, so only one period is integrated.
  static constexpr double kLongestGap = 0.1;

  // An error when no device has an accelerometer and a gyroscope.
  static Result<std::unique_ptr<IioMotionSource>> open(const IioPaths& paths,
                                                       IioMotionOptions options);
  ~IioMotionSource() override;
  IioMotionSource(const IioMotionSource&) = delete;
  IioMotionSource& operator=(const IioMotionSource&) = delete;

  // The newest fused sample (main thread); nothing before the first.
  std::optional<MotionSample> sample(double t) override;

  // Without a background reader: read what the sensors hold now, taking t
  // (seconds, any clock) as the time of a polled reading, and fuse it.
  void pump(double t);

  // "iio:device0 (name): accelerometer, gyroscope, magnetometer; buffered".
  std::string description() const;
  bool isBuffered() const { return buffer_ != nullptr; }
  double pollRate() const { return pollRate_; }
  const IioSensorSet& sensors() const { return sensors_; }

 private:
  IioMotionSource(const IioPaths& paths, IioMotionOptions options, IioSensorSet sensors);
  void run();
  void pumpFor(double t, int bufferTimeoutMs);
  bool pollOnce(double t);
  void readBuffer(double t, int timeoutMs);
  // One reading in the kernel's units and the device axes.
  void fuse(double t, Vector3 accel, Vector3 gyro, std::optional<Vector3> magn);
  void checkStartingReading(const Vector3& accelG, const Vector3& gyro);
  void note(const std::string& key, const std::string& message);

  IioPaths paths_;
  IioMotionOptions options_;
  IioSensorSet sensors_;
  std::unique_ptr<IioBuffer> buffer_;
  double pollRate_ = 120;

  // The reader's own state (worker thread, or the pumping caller).
  AttitudeFilter filter_;
  std::optional<double> lastTime_;
  double accelFactor_ = 1;  // start-up correction of the accelerometer's scale
  bool startChecked_ = false;
  Vector3 startSum_;
  int startCount_ = 0;
  std::optional<Vector3> lastMagn_;
  std::set<std::string> noted_;

  // Shared with the main thread.
  mutable std::mutex mutex_;
  std::optional<MotionSample> latest_;
  std::vector<std::string> pendingLog_;

  std::thread worker_;
  std::atomic<bool> stop_{false};
  std::mutex wakeMutex_;
  std::condition_variable wake_;
};

}  // namespace kit
