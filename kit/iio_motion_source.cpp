#include "kit/iio_motion_source.h"

#include <chrono>
#include <cmath>
#include <cstdio>

#include "kit/log.h"

namespace kit {

namespace {

bool finite(const Vector3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}
double length(const Vector3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

std::string deviceLabel(const IioDeviceInfo& d) {
  return "iio:device" + std::to_string(d.index) + (d.name.empty() ? "" : " (" + d.name + ")");
}

double secondsSinceStart() {
  static const auto start = std::chrono::steady_clock::now();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Readings the start-up check averages: the first ones with the device
// still enough to read gravity alone.
constexpr int kStartReadings = 30;
constexpr double kStillRate = 0.05;  // rad/s

}  // namespace

Result<std::unique_ptr<IioMotionSource>> IioMotionSource::open(const IioPaths& paths,
                                                               IioMotionOptions options) {
  auto sensors = chooseIioSensors(scanIioDevices(paths));
  if (!sensors)
    return Error{"no IIO device with an accelerometer and a gyroscope under " + paths.devicesDir};
  std::unique_ptr<IioMotionSource> source(new IioMotionSource(paths, options, *sensors));
  if (options.background) source->worker_ = std::thread([s = source.get()] { s->run(); });
  return source;
}

IioMotionSource::IioMotionSource(const IioPaths& paths, IioMotionOptions options,
                                 IioSensorSet sensors)
    : paths_(paths), options_(options), sensors_(std::move(sensors)), filter_(options.filter) {
  if (!(options_.rate > 0) || !std::isfinite(options_.rate)) options_.rate = 120;
  pollRate_ = options_.rate;
  std::vector<const IioDeviceInfo*> devices = {&sensors_.accelDevice};
  if (!sensors_.sameDevice()) devices.push_back(&sensors_.gyroDevice);
  for (const IioDeviceInfo* d : devices) {
    std::string why;
    const auto rate = setIioSamplingFrequency(*d, options_.rate, &why);
    if (!why.empty())
      note("rate", "IIO " + deviceLabel(*d) + ": " + why + "; going on at its own rate");
    // Polling faster than the sensor samples only reads the same values again.
    if (rate && *rate > 0 && *rate < pollRate_) pollRate_ = *rate;
  }
  if (options_.buffered) {
    auto buffer = IioBuffer::open(paths_, sensors_);
    if (buffer)
      buffer_ = std::move(*buffer);
    else
      note("buffer", "IIO: polling the raw values (" + buffer.error().message + ")");
  }
}

IioMotionSource::~IioMotionSource() {
  stop_ = true;
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

std::string IioMotionSource::description() const {
  std::string s = deviceLabel(sensors_.accelDevice) + ": accelerometer";
  s += sensors_.sameDevice() ? ", gyroscope"
                             : "; " + deviceLabel(sensors_.gyroDevice) + ": gyroscope";
  if (sensors_.magnDevice) {
    if (sensors_.magnDevice->dir == sensors_.gyroDevice.dir)
      s += ", magnetometer";
    else
      s += "; " + deviceLabel(*sensors_.magnDevice) + ": magnetometer";
  }
  char rate[32];
  std::snprintf(rate, sizeof rate, "%g", pollRate_);
  s += isBuffered() ? "; buffered" : std::string("; polled at ") + rate + " Hz";
  return s;
}

std::optional<MotionSample> IioMotionSource::sample(double) {
  std::vector<std::string> messages;
  std::optional<MotionSample> s;
  {
    std::lock_guard lock(mutex_);
    messages.swap(pendingLog_);
    s = latest_;
  }
  for (const std::string& m : messages) kit::log("%@", m);
  return s;
}

void IioMotionSource::note(const std::string& key, const std::string& message) {
  if (!noted_.insert(key).second) return;
  std::lock_guard lock(mutex_);
  pendingLog_.push_back(message);
}

void IioMotionSource::run() {
  const double period = 1 / pollRate_;
  double next = secondsSinceStart();
  while (!stop_) {
    pumpFor(secondsSinceStart(), 50);
    if (buffer_) continue;  // the buffer's own wait paces the loop
    next += period;
    const double now = secondsSinceStart();
    if (next < now - period) next = now;  // late: no burst of catching up
    std::unique_lock lock(wakeMutex_);
    wake_.wait_for(lock, std::chrono::duration<double>(std::max(0.0, next - now)),
                   [this] { return stop_.load(); });
  }
}

void IioMotionSource::pump(double t) { pumpFor(t, 0); }

void IioMotionSource::pumpFor(double t, int bufferTimeoutMs) {
  if (buffer_)
    readBuffer(t, bufferTimeoutMs);
  else
    pollOnce(t);
}

bool IioMotionSource::pollOnce(double t) {
  const Result<Vector3> accel = readIioSensor(*sensors_.accelDevice.accel);
  if (!accel) {
    note("read", "IIO: " + accel.error().message + "; keeping the last good reading");
    return false;
  }
  const Result<Vector3> gyro = readIioSensor(*sensors_.gyroDevice.gyro);
  if (!gyro) {
    note("read", "IIO: " + gyro.error().message + "; keeping the last good reading");
    return false;
  }
  std::optional<Vector3> magn;
  if (sensors_.magnDevice) {
    const Result<Vector3> read = readIioSensor(*sensors_.magnDevice->magn);
    if (read)
      magn = *read;
    else
      note("magn",
           "IIO: " + read.error().message + "; the heading goes on without the magnetometer");
  }
  fuse(t, *accel, *gyro, magn);
  return true;
}

void IioMotionSource::readBuffer(double t, int timeoutMs) {
  std::vector<IioRecord> records;
  if (const Result<void> read = buffer_->read(timeoutMs, records); !read) {
    note("buffer-failed", "IIO: " + read.error().message + "; polling the raw values from now on");
    buffer_.reset();
    pollOnce(t);
    return;
  }
  const IioSensor& accel = *sensors_.accelDevice.accel;
  const IioSensor& gyro = *sensors_.gyroDevice.gyro;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const IioRecord& r = records[i];
    // Records without the kernel's time are taken a period apart, the
    // last one now.
    const double when = r.timestampNs ? static_cast<double>(*r.timestampNs) * 1e-9
                                      : t - static_cast<double>(records.size() - 1 - i) / pollRate_;
    std::optional<Vector3> magn;
    if (r.magn && sensors_.magnDevice) magn = sensors_.magnDevice->magn->toDevice(*r.magn);
    fuse(when, accel.toDevice(r.accel), gyro.toDevice(r.gyro), magn);
  }
}

void IioMotionSource::checkStartingReading(const Vector3& accelG, const Vector3& gyro) {
  if (startChecked_ || length(gyro) > kStillRate) return;
  startSum_ = {startSum_.x + accelG.x, startSum_.y + accelG.y, startSum_.z + accelG.z};
  if (++startCount_ < kStartReadings) return;
  startChecked_ = true;
  const Vector3 mean = {startSum_.x / startCount_, startSum_.y / startCount_,
                        startSum_.z / startCount_};
  const double g = length(mean);
  char text[200];
  if (std::abs(g * kStandardGravity - 1) < 0.2) {
    // A driver that reports g where the kernel's convention is m/s².
    accelFactor_ = kStandardGravity;
    std::snprintf(text, sizeof text,
                  "IIO: the accelerometer reads %.3f g lying still, as if in g rather than m/s²; "
                  "taking it as g",
                  g);
    note("scale", text);
  } else if (g > 0.5 && g < 2 && std::abs(g - 1) > 0.05) {
    accelFactor_ = 1 / g;
    std::snprintf(text, sizeof text,
                  "IIO: the accelerometer reads %.3f g lying still; scaling it to 1 g", g);
    note("scale", text);
  } else if (!(g > 0.5 && g < 2)) {
    std::snprintf(text, sizeof text,
                  "IIO: the accelerometer reads %.3f g lying still; its scale looks wrong", g);
    note("scale", text);
  }
  // Face up the accelerometer reads (0, 0, -1) g. Face down is possible
  // but unusual for a tablet on a table; it is also what a wrong mount
  // matrix or a driver with the opposite sign looks like.
  if (mean.z > 0.7 * g)
    note("face-down",
         "IIO: the accelerometer reads the screen facing down; if it faces up, the mount "
         "matrix or the driver's sign is wrong");
}

void IioMotionSource::fuse(double t, Vector3 accel, Vector3 gyro, std::optional<Vector3> magn) {
  if (!std::isfinite(t) || !finite(accel) || !finite(gyro)) {
    note("non-finite", "IIO: a reading was not a finite number; keeping the last good one");
    return;
  }
  if (magn && !finite(*magn)) magn.reset();
  // The boundary: the kernel reads +9.81 m/s² on z lying face up, the kit
  // (0, 0, -1) g.
  Vector3 a = {-accel.x / kStandardGravity, -accel.y / kStandardGravity,
               -accel.z / kStandardGravity};
  checkStartingReading(a, gyro);
  a = {a.x * accelFactor_, a.y * accelFactor_, a.z * accelFactor_};

  double dt = 0;
  if (lastTime_) {
    dt = t - *lastTime_;
    if (dt <= 0) {
      note("backwards", "IIO: the sensors' time went backwards; skipping a step");
      dt = 0;
    } else if (dt > kLongestGap) {
      char text[120];
      std::snprintf(text, sizeof text,
                    "IIO: no reading for %.3f s; taking up again from the last good one", dt);
      note("stall", text);
      dt = 1 / pollRate_;
    }
  }
  // Backwards time still moves the reference on, so the next step is not
  // measured from a time that will never come again.
  lastTime_ = t;
  if (!filter_.update(a, gyro, magn, dt)) return;

  MotionSample s;
  s.attitude = filter_.attitude();
  s.rotationRate = filter_.rotationRate();
  s.gravity = filter_.gravity();
  s.acceleration = a;
  if (!s.isFinite()) {
    note("non-finite", "IIO: the fused reading was not finite; keeping the last good one");
    filter_.reset();
    return;
  }
  std::lock_guard lock(mutex_);
  latest_ = s;
}

}  // namespace kit
