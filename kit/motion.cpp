#include "kit/motion.h"

#include <cmath>

namespace kit {

namespace {
bool finite(const Vector3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}
}  // namespace

bool MotionSample::isFinite() const {
  return std::isfinite(attitude.roll) && std::isfinite(attitude.pitch) &&
         std::isfinite(attitude.yaw) && finite(rotationRate) && finite(gravity) &&
         finite(acceleration);
}

DeviceMotionRef MotionManager::deviceMotion() {
  if (!active_) return latest_;
  const double now = clock_.now();
  if (auto s = source_.sample(now); s && s->isFinite())
    latest_ = std::make_shared<const DeviceMotion>(*s, now);
  return latest_;
}

Accelerometer::~Accelerometer() {
  if (timer_) runLoop_.invalidateTimer(*timer_);
}

std::optional<double> Accelerometer::nextDeliveryTime() const {
  if (!timer_) return std::nullopt;
  return runLoop_.dueTime(*timer_);
}

void Accelerometer::setUpdateInterval(double seconds) {
  interval_ = std::isfinite(seconds) && seconds > 0 ? seconds : 0;
  reschedule();
}

void Accelerometer::setDelegate(AccelerometerDelegate* delegate) {
  delegate_ = delegate;
  reschedule();
}

void Accelerometer::reschedule() {
  if (timer_) runLoop_.invalidateTimer(*timer_);
  timer_.reset();
  if (!delegate_ || interval_ <= 0) return;
  start_ = runLoop_.clock().now();
  ticks_ = 0;
  timer_ = runLoop_.scheduleRepeating(
      start_, interval_, [this] { tick(); }, RunLoop::kFramePriority);
}

void Accelerometer::tick() {
  // The reading and its timestamp belong to the time the delivery was due,
  // not to whatever the clock says: a run loop catching up after a stall
  // fires several deliveries at one clock time, and they must still be an
  // interval apart. Same expression as the run loop's, so the times agree
  // to the bit.
  const double due = start_ + interval_ * static_cast<double>(++ticks_);
  auto s = source_.accelerometerSample(due);
  if (!s || !s->isFinite() || !delegate_) return;
  ++deliveries_;
  auto a = std::make_shared<const Acceleration>(
      Acceleration{s->acceleration.x, s->acceleration.y, s->acceleration.z, due});
  delegate_->accelerometerDidAccelerate(*this, std::move(a));
}

}  // namespace kit
