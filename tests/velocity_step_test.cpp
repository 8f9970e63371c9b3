// The velocity step: timestamps and scaled acceleration every frame, and
// the double integration over the first six frames of a turn.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "app/vitrane_view_controller.h"
#include "tests/app_fixture.h"

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kPerG = 51004.8 / 120 / 120;  // points per frame² per g

class VelocityStep : public apptest::LaunchedApp {
 protected:
  // The frame's device motion, as the frame would have taken it.
  void device(double yaw, double turnRate = 0) {
    kit::MotionSample s;
    s.attitude.yaw = yaw;
    s.rotationRate.z = turnRate;
    vc().frameDriver.currentDeviceMotion = std::make_shared<kit::DeviceMotion>(s, 0);
  }
  // One velocity step on its own, so the turn recogniser's frame step
  // cannot end the turn these tests open by hand.
  void step(double x, double y, double z = -1) {
    t_ += 1.0 / 120;
    vc().updateVelocities(std::make_shared<kit::Acceleration>(kit::Acceleration{x, y, z, t_}));
  }
  void startTurn(int direction, double initialYaw = 0) {
    vc().turn.gestureStarted = true;
    vc().turn.gestureDirection = direction;
    vc().turn.gestureInitialYaw = initialYaw;
  }

 private:
  double t_ = 0;
};

TEST_F(VelocityStep, EveryFrameRecordsItsTimeAndScaledAcceleration) {
  runner.motion().current.acceleration = {1, -0.5, -1};
  runner.deliverFrames(1);
  EXPECT_DOUBLE_EQ(vc().velocity.sampleDuration, 1.0 / 120);  // measured from 0: no previous sample
  EXPECT_DOUBLE_EQ(vc().velocity.currentTimestamp, 1.0 / 120);
  EXPECT_EQ(vc().velocity.currentAcceleration->timestamp, vc().velocity.currentTimestamp);
  EXPECT_NEAR(vc().velocity.accelX, 3.542, 1e-12);
  EXPECT_NEAR(vc().velocity.accelY, -1.771, 1e-12);
  EXPECT_NEAR(vc().velocity.accelZ, -3.542, 1e-12);

  runner.motion().current.acceleration = {0, 0, -1};
  forgetLog();
  runner.deliverFrames(2);
  EXPECT_DOUBLE_EQ(vc().velocity.prevTimestamp, 2.0 / 120);
  EXPECT_NEAR(vc().velocity.sampleDuration, 1.0 / 120, 1e-12);
  EXPECT_EQ(vc().velocity.accelX, 0);
  EXPECT_EQ(vc().velocity.accelY, 0);
  // No turn: nothing integrates and nothing is logged.
  EXPECT_EQ(vc().velocity.velocityX, 0);
  EXPECT_EQ(vc().velocity.gestureSampleCount, 0);
  EXPECT_TRUE(newLog().empty());
}

TEST_F(VelocityStep, SixFramesOfASteadyPushIntegrateUndampedThenStop) {
  const double ax = 0.5 * kPerG, ay = -0.25 * kPerG, az = -kPerG;
  device(0.3);
  startTurn(+1, 0.1);
  for (int i = 1; i <= 6; ++i) {
    step(0.5, -0.25);
    EXPECT_EQ(vc().velocity.gestureSampleCount, i);
  }
  VitraneforiPadViewController& c = vc();
  EXPECT_NEAR(c.velocity.velocityX, 6 * ax, 1e-12);
  EXPECT_NEAR(c.velocity.velocityY, 6 * ay, 1e-12);
  EXPECT_NEAR(c.velocity.velocityZ, 6 * az, 1e-12);
  EXPECT_NEAR(c.velocity.motionX, 21 * ax, 1e-12);
  EXPECT_NEAR(c.velocity.motionY, 21 * ay, 1e-12);
  EXPECT_NEAR(c.velocity.motionZ, 21 * az, 1e-12);
  EXPECT_EQ(c.velocity.motion, (kit::Point{static_cast<float>(c.velocity.motionX),
                                           static_cast<float>(c.velocity.motionY)}));
  EXPECT_EQ(c.velocity.positionX, -c.velocity.motionX);
  EXPECT_EQ(c.velocity.positionY, -c.velocity.motionY);
  EXPECT_EQ(c.velocity.positionZ, -c.velocity.motionZ);
  EXPECT_NEAR(c.velocity.gestureSumOfDistances, 21 * (std::fabs(ax) + std::fabs(ay)), 1e-12);
  EXPECT_NEAR(c.velocity.gestureAccelerometerDistance, 21 * std::hypot(ax, ay), 1e-12);
  EXPECT_NEAR(c.velocity.gestureAngleExtent, 0.2, 1e-15);
  EXPECT_NEAR(c.velocity.anchorRadiusEstimate, c.velocity.gestureSumOfDistances / 0.2, 1e-9);
  EXPECT_NEAR(c.distanceThisFrame(), c.velocity.gestureAccelerometerDistance, 1e-4);

  // The seventh frame of the same turn changes nothing and logs nothing.
  const double vx = c.velocity.velocityX, mx = c.velocity.motionX,
               sum = c.velocity.gestureSumOfDistances, radius = c.velocity.anchorRadiusEstimate;
  device(0.9);
  forgetLog();
  step(2, 2);
  EXPECT_EQ(c.velocity.gestureSampleCount, 6);
  EXPECT_EQ(c.velocity.velocityX, vx);
  EXPECT_EQ(c.velocity.motionX, mx);
  EXPECT_EQ(c.velocity.gestureSumOfDistances, sum);
  EXPECT_EQ(c.velocity.anchorRadiusEstimate, radius);
  EXPECT_NEAR(c.velocity.gestureAngleExtent, 0.2, 1e-15);
  EXPECT_DOUBLE_EQ(c.velocity.accelX, 2 * kPerG);  // still scaled every frame
  EXPECT_TRUE(newLog().empty());
}

TEST_F(VelocityStep, EachIntegratedFrameLogsRateAndYawInSinglePrecision) {
  // Both values sit where double precision would round the other way
  // (2.1º/frame and 20.3º).
  device(0.3551745, 4.29351);
  startTurn(+1);
  forgetLog();
  step(0, 0);
  EXPECT_EQ(newLog(), std::vector<std::string>{"This frame: yaw rate = 2.0º/frame, yaw = 20.4º"});
  device(-kPi / 2, -kPi);
  step(0, 0);
  EXPECT_EQ(newLog(), std::vector<std::string>{"This frame: yaw rate = -1.5º/frame, yaw = -90.0º"});
}

TEST_F(VelocityStep, OppositeTurnsPointTheEstimateOppositeWays) {
  auto direction = [this](int d, double x, double y) {
    vc().velocity.gestureSampleCount = 0;
    vc().velocity.velocityX = vc().velocity.velocityY = vc().velocity.motionX =
        vc().velocity.motionY = 0;
    startTurn(d);
    step(x, y);
    return vc().velocity.anchorAngleEstimate;
  };
  device(0.1);
  EXPECT_DOUBLE_EQ(direction(+1, 1, 0), -kPi / 2);
  EXPECT_DOUBLE_EQ(direction(-1, 1, 0), kPi / 2);
  EXPECT_DOUBLE_EQ(direction(+1, 0, -1), -kPi);
  EXPECT_DOUBLE_EQ(direction(-1, 0, -1), 0);
  const double ccw = direction(+1, 0.3, 0.7), cw = direction(-1, 0.3, 0.7);
  EXPECT_NEAR(std::fabs(std::remainder(ccw - cw, 2 * kPi)), kPi, 1e-12);
}

TEST_F(VelocityStep, NoAngleTurnedGivesAnEstimateThatIsOnlyShown) {
  device(0.5);
  startTurn(+1, 0.5);
  step(0.1, 0);
  EXPECT_TRUE(std::isinf(vc().velocity.anchorRadiusEstimate));
  EXPECT_NE(vc().outlets.bigDisplay->text().find("\nAnchor radius:inf\n"), std::string::npos);

  vc().velocity.gestureSampleCount = 0;
  vc().velocity.velocityX = vc().velocity.motionX = vc().velocity.gestureSumOfDistances = 0;
  step(0, 0);
  EXPECT_TRUE(std::isnan(vc().velocity.anchorRadiusEstimate));
  EXPECT_NE(vc().outlets.bigDisplay->text().find("\nAnchor radius:nan\n"), std::string::npos);
}

TEST_F(VelocityStep, ATurnAcrossTheYawSeamCountsTheShortWay) {
  device(-kPi + 0.05);
  startTurn(+1, kPi - 0.05);
  step(0.1, 0);
  EXPECT_NEAR(vc().velocity.gestureAngleExtent, 0.1, 1e-12);
  device(kPi - 0.1);
  startTurn(-1, -kPi + 0.1);
  step(0.1, 0);
  EXPECT_NEAR(vc().velocity.gestureAngleExtent, -0.2, 1e-12);
}

TEST_F(VelocityStep, DistanceThisFrameSumsSquaresInSinglePrecision) {
  vc().velocity.motion = {3, -4};
  EXPECT_EQ(vc().distanceThisFrame(), 5);
  // 4097² is not a float; its nearest is 16785408.
  vc().velocity.motion = {4097, 0};
  EXPECT_EQ(vc().distanceThisFrame(), std::sqrt(16785408.0));
}

}  // namespace
