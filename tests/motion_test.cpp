#include "kit/motion.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Recorder : kit::AccelerometerDelegate {
  std::vector<kit::Acceleration> samples;
  std::string* log = nullptr;
  void accelerometerDidAccelerate(kit::Accelerometer&,
                                  std::shared_ptr<const kit::Acceleration> s) override {
    samples.push_back(*s);
    if (log) *log += 'f';
  }
};

struct AccelerometerTest : ::testing::Test {
  kit::VirtualClock clock{2.0};
  kit::RunLoop loop{clock};
  kit::ScriptedMotionSource source;
  kit::Accelerometer accelerometer{source, loop};
  Recorder recorder;

  void start(double interval) {
    accelerometer.setUpdateInterval(interval);
    accelerometer.setDelegate(&recorder);
  }
  // Steps the clock to each due timer and fires it, as the host does.
  void runUntil(double end) {
    for (auto next = loop.nextTimerTime(); next && *next <= end; next = loop.nextTimerTime()) {
      clock.set(*next);
      loop.fireNextTimerDueBy(*next);
    }
  }
};

TEST_F(AccelerometerTest, DeliveryKIsStampedStartPlusKIntervals) {
  start(1.0 / 60);
  runUntil(2.5);
  // Then a loop behind schedule fires the missed deliveries at one clock time.
  while (loop.fireNextTimerDueBy(3.005)) {
  }
  ASSERT_EQ(recorder.samples.size(), 60u);
  for (size_t k = 1; k <= 60; ++k)
    ASSERT_EQ(recorder.samples[k - 1].timestamp, 2.0 + (1.0 / 60) * double(k)) << k;
}

TEST_F(AccelerometerTest, FramesComeAfterOtherTimersDueAtTheSameInstant) {
  std::string log;
  recorder.log = &log;
  start(0.5);
  loop.scheduleTimer(2.5, [&] { log += 'e'; });
  runUntil(2.5);
  EXPECT_EQ(log, "ef");
}

TEST_F(AccelerometerTest, NonFiniteReadingIsSkippedAndTheCadenceHolds) {
  start(0.25);
  runUntil(2.25);
  source.current.acceleration.y = kNaN;
  runUntil(2.5);
  source.current.acceleration.y = 0.2;
  runUntil(2.75);
  ASSERT_EQ(accelerometer.deliveries(), 2u);
  EXPECT_EQ(recorder.samples[1].timestamp, 2.75);
  EXPECT_EQ(recorder.samples[1].y, 0.2);
}

TEST_F(AccelerometerTest, DeliversToTheCurrentDelegateWhileAnIntervalIsSet) {
  accelerometer.setDelegate(&recorder);
  EXPECT_FALSE(accelerometer.nextDeliveryTime());
  accelerometer.setUpdateInterval(0.1);
  runUntil(2.15);
  Recorder other;
  accelerometer.setDelegate(&other);
  runUntil(2.35);
  EXPECT_EQ(recorder.samples.size(), 1u);
  EXPECT_EQ(other.samples.size(), 2u);
  accelerometer.setDelegate(nullptr);
  EXPECT_FALSE(loop.nextTimerTime());
  accelerometer.setDelegate(&other);
  accelerometer.setUpdateInterval(kNaN);
  EXPECT_FALSE(loop.nextTimerTime());
}

// --- Device motion ----------------------------------------------------------

struct MotionManagerTest : ::testing::Test {
  kit::VirtualClock clock{1.0};
  kit::ScriptedMotionSource source;
  kit::MotionManager manager{source, clock};
};

TEST_F(MotionManagerTest, NothingBeforeStartOrWhenUnavailable) {
  EXPECT_EQ(manager.deviceMotionUpdateInterval(), 0.01);
  EXPECT_EQ(manager.deviceMotion(), nullptr);
  source.available = false;
  manager.startDeviceMotionUpdates();
  EXPECT_EQ(manager.deviceMotion(), nullptr);
}

TEST_F(MotionManagerTest, AnswersTheReadingAtTheClocksNow) {
  manager.startDeviceMotionUpdates();
  source.current.attitude.yaw = 0.5;
  const auto first = manager.deviceMotion();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->timestamp(), 1.0);
  clock.set(1.5);
  source.current.attitude.yaw = 0.7;
  EXPECT_EQ(manager.deviceMotion()->attitude().yaw, 0.7);
  EXPECT_EQ(manager.deviceMotion()->timestamp(), 1.5);
  EXPECT_EQ(first->attitude().yaw, 0.5);  // samples handed out stay put
}

TEST_F(MotionManagerTest, NonFiniteReadingLeavesThePreviousSample) {
  manager.startDeviceMotionUpdates();
  source.current.attitude.yaw = kNaN;
  EXPECT_EQ(manager.deviceMotion(), nullptr);
  source.current.attitude.yaw = 0.25;
  const auto good = manager.deviceMotion();
  clock.set(3);
  source.current.rotationRate.z = std::numeric_limits<double>::infinity();
  EXPECT_EQ(manager.deviceMotion(), good);
}

}  // namespace
