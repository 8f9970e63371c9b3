// Which motion the browser host hands the application: the simulated tablet
// until the device's sensors speak, for good when they stay silent.
#include <gtest/gtest.h>

#include "app/device_facts.h"
#include "hosts/web/browser_motion_source.h"

namespace {

using web::BrowserMotionSource;

struct Bench {
  web::BrowserMotionReadings readings;
  kit::SimulatedTablet tablet{device::tabletBody(), 0};
  BrowserMotionSource source{readings, tablet, 0};
};

TEST(BrowserMotionSource, TheTabletStandsInUntilTheSensorsSpeakAndTakesOverWhenTheyNeverDo) {
  Bench b;
  b.tablet.turnAtRate(1.0);
  const auto early = b.source.sample(0.5);
  ASSERT_TRUE(early);
  EXPECT_NEAR(early->rotationRate.z, b.tablet.reading().rotationRate.z, 1e-12);
  EXPECT_EQ(b.source.state(), BrowserMotionSource::State::Waiting);
  EXPECT_TRUE(b.source.takeStateChange());  // the first state is news too
  EXPECT_FALSE(b.source.takeStateChange());

  b.source.sample(BrowserMotionSource::kSensorGrace + 0.01);
  EXPECT_EQ(b.source.state(), BrowserMotionSource::State::SimulatedTablet);
  EXPECT_TRUE(b.source.takeStateChange());
}

TEST(BrowserMotionSource, SensorsThatSpeakLateStillTakeOver) {
  Bench b;
  b.source.sample(5);
  ASSERT_EQ(b.source.state(), BrowserMotionSource::State::SimulatedTablet);
  b.source.takeStateChange();

  b.readings.onOrientation(30, 0, 0);  // flat, turned 30° from where it began
  const auto sensed = b.source.sample(5.01);
  ASSERT_TRUE(sensed);
  EXPECT_EQ(b.source.state(), BrowserMotionSource::State::Sensors);
  EXPECT_TRUE(b.source.takeStateChange());
  EXPECT_NEAR(sensed->attitude.yaw, b.readings.latest()->attitude.yaw, 1e-12);
  // The tablet kept time meanwhile: it owes nothing when it is needed again.
  EXPECT_DOUBLE_EQ(b.tablet.now(), 5.01);
}

TEST(BrowserMotionSource, EventsWithoutValuesAreNotSensorsSpeaking) {
  Bench b;
  const double nan = web::kNoReading;
  b.readings.onOrientation(nan, nan, nan);  // what a desktop browser sends once
  b.readings.onMotion({}, {}, {}, 16);
  b.source.sample(2);
  EXPECT_EQ(b.source.state(), BrowserMotionSource::State::SimulatedTablet);
}

TEST(BrowserMotionSource, ReadingsNoDeviceGivesAreNotSensorsSpeakingEither) {
  // Finite but absurd: arithmetic on them overflows on the way in.
  Bench b;
  b.readings.onOrientation(1e308, 1e308, -1e308);
  b.readings.onMotion({1e308, 0, 0}, {0, -1e308, 9.8}, {1e308, 0, 0}, 16);
  EXPECT_FALSE(b.readings.hasSensors());

  b.readings.onOrientation(10, 0, 0);
  b.readings.onMotion({0, 0, 0}, {0, 0, 9.8}, {0, 0, 0}, 16);
  const auto good = b.readings.latest();
  ASSERT_TRUE(good);
  b.readings.onMotion({1e300, 1e300, 1e300}, {1e300, 0, 0}, {0, 0, 1e300}, 16);
  const auto after = b.readings.latest();
  ASSERT_TRUE(after);
  EXPECT_TRUE(after->isFinite());
  EXPECT_DOUBLE_EQ(after->acceleration.z, good->acceleration.z);
  EXPECT_DOUBLE_EQ(after->rotationRate.z, good->rotationRate.z);
}

}  // namespace
