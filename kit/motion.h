// Motion services: the device-motion manager (pulled on demand) and the
// accelerometer (which calls its delegate at the interval asked for), over
// a MotionSource that stands for the sensors.
//
// Conventions, whatever the source: device axes x toward the screen's right
// edge, y toward its top edge, z out of the screen; gravity and the
// accelerometer read (0, 0, -1) g lying face up; rotation rates in rad/s,
// positive counter-clockwise seen from above; yaw grows counter-clockwise.
#pragma once

#include <memory>
#include <optional>

#include "kit/run_loop.h"

namespace kit {

struct Vector3 {
  double x = 0, y = 0, z = 0;
  friend bool operator==(const Vector3&, const Vector3&) = default;
};

struct Attitude {
  double roll = 0;   // about the device's y axis: raises the left or right side
  double pitch = 0;  // about its x axis: raises the top or bottom side
  double yaw = 0;    // about z, counter-clockwise seen from above
};

// One reading of every sensor at one time.
struct MotionSample {
  Attitude attitude;
  Vector3 rotationRate;            // rad/s
  Vector3 gravity{0, 0, -1};       // g
  Vector3 acceleration{0, 0, -1};  // the accelerometer: gravity plus motion, g

  bool isFinite() const;
};

class MotionSource {
 public:
  virtual ~MotionSource() = default;
  virtual bool isDeviceMotionAvailable() const { return true; }
  // The sensors' reading at time t (main clock seconds); nothing when the
  // sensors have nothing to say.
  virtual std::optional<MotionSample> sample(double t) = 0;
  // The reading the accelerometer delivers for its frame due at `due`; the
  // reading at that time unless a source wants to know which reads are
  // frames (a recording one does).
  virtual std::optional<MotionSample> accelerometerSample(double due) { return sample(due); }
};

// A source whose reading is whatever it was last set to (the runner's
// motion lines, tests).
class ScriptedMotionSource final : public MotionSource {
 public:
  bool isDeviceMotionAvailable() const override { return available; }
  std::optional<MotionSample> sample(double) override { return current; }

  MotionSample current;
  bool available = true;
};

// The platform's device-motion sample, immutable once made.
class DeviceMotion {
 public:
  DeviceMotion(const MotionSample& s, double timestamp) : sample_(s), timestamp_(timestamp) {}
  const Attitude& attitude() const { return sample_.attitude; }
  const Vector3& rotationRate() const { return sample_.rotationRate; }
  const Vector3& gravity() const { return sample_.gravity; }
  double timestamp() const { return timestamp_; }

 private:
  MotionSample sample_;
  double timestamp_;
};

using DeviceMotionRef = std::shared_ptr<const DeviceMotion>;

class MotionManager {
 public:
  MotionManager(MotionSource& source, const Clock& clock) : source_(source), clock_(clock) {}

  bool isDeviceMotionAvailable() const { return source_.isDeviceMotionAvailable(); }
  void startDeviceMotionUpdates() { active_ = isDeviceMotionAvailable(); }
  void stopDeviceMotionUpdates() { active_ = false; }
  bool isDeviceMotionActive() const { return active_; }
  // Seconds; the platform's default until set.
  double deviceMotionUpdateInterval() const { return interval_; }
  void setDeviceMotionUpdateInterval(double seconds) { interval_ = seconds; }

  // The newest sample: read from the source now. A reading with non-finite
  // values never gets through; the previous sample stands instead. Nothing
  // before updates have started.
  DeviceMotionRef deviceMotion();

 private:
  MotionSource& source_;
  const Clock& clock_;
  bool active_ = false;
  double interval_ = 0.01;
  DeviceMotionRef latest_;
};

// The platform's accelerometer sample.
struct Acceleration {
  double x = 0, y = 0, z = 0;  // g
  double timestamp = 0;        // seconds
};

class Accelerometer;

class AccelerometerDelegate {
 public:
  virtual ~AccelerometerDelegate() = default;
  virtual void accelerometerDidAccelerate(Accelerometer& sender,
                                          std::shared_ptr<const Acceleration> sample) = 0;
};

// Calls its delegate every updateInterval seconds on the main run loop,
// once both an interval and a delegate are set. Delivery k (k = 1, 2, ...)
// is due at start + k × interval, where start is the time delivery began,
// and carries that time as its timestamp. A reading with non-finite values
// is not delivered.
class Accelerometer {
 public:
  Accelerometer(MotionSource& source, RunLoop& runLoop) : source_(source), runLoop_(runLoop) {}
  ~Accelerometer();

  double updateInterval() const { return interval_; }
  void setUpdateInterval(double seconds);
  AccelerometerDelegate* delegate() const { return delegate_; }
  void setDelegate(AccelerometerDelegate* delegate);

  std::uint64_t deliveries() const { return deliveries_; }
  // When the next delivery is due; nothing while delivery is off.
  std::optional<double> nextDeliveryTime() const;

 private:
  void reschedule();
  void tick();

  MotionSource& source_;
  RunLoop& runLoop_;
  double interval_ = 0;
  AccelerometerDelegate* delegate_ = nullptr;
  std::optional<RunLoop::TimerId> timer_;
  double start_ = 0;
  std::uint64_t ticks_ = 0;  // since start_, delivered or not
  std::uint64_t deliveries_ = 0;
};

}  // namespace kit
