// The frame: the world's heading follows the device's yaw, absolutely,
// one frame per accelerometer sample.
#include <gtest/gtest.h>

#include <numbers>
#include <vector>

#include "app/vitrane_view_controller.h"
#include "tests/app_fixture.h"

namespace {

constexpr double kPi = std::numbers::pi;
const std::vector<std::string> kTwistLine = {"Finger twist supercedes gyro turn"};

class FrameDriver : public apptest::LaunchedApp {
 protected:
  void frameAtYaw(double yaw) {
    runner.motion().current.attitude.yaw = yaw;
    runner.deliverFrames(1);
  }
  const kit::AffineTransform& heading() { return vc().outlets.rotatingView->transform(); }
  static kit::AffineTransform turn(double angle) {
    return kit::rotated(kit::AffineTransform::identity(), static_cast<float>(angle));
  }
};

TEST_F(FrameDriver, FirstFrameKeepsTheHeadingThenTheYawRules) {
  forgetLog();
  frameAtYaw(1.0);
  EXPECT_TRUE(heading().isIdentity());
  EXPECT_EQ(newLog(), kTwistLine);
  frameAtYaw(1.0);
  EXPECT_EQ(heading(), turn(1.0 - kPi / 2));
  frameAtYaw(kPi / 2);
  EXPECT_TRUE(heading().isIdentity());
  EXPECT_TRUE(newLog().empty());
}

TEST_F(FrameDriver, QuarterTurnCounterClockwiseTurnsThePictureClockwise) {
  frameAtYaw(kPi / 2);
  // The table under a point 100 to the right of the pivot (the screen centre).
  const kit::View& table = *vc().outlets.tableTopView;
  const kit::Point right = table.convertPointFromView({484, 512}, nullptr);
  const kit::Point pivot = table.convertPointFromView({384, 512}, nullptr);
  auto expectOnScreen = [&](kit::Point p, kit::Point expected) {
    const kit::Point s = table.convertPointToView(p, nullptr);
    EXPECT_NEAR(s.x, expected.x, 1e-2);
    EXPECT_NEAR(s.y, expected.y, 1e-2);
  };
  frameAtYaw(kPi);
  expectOnScreen(right, {384, 612});  // y grows downward: below is clockwise
  expectOnScreen(pivot, {384, 512});
  frameAtYaw(0);
  expectOnScreen(right, {384, 412});
}

TEST_F(FrameDriver, HeadingIsAbsolute) {
  for (int i = 0; i < 240; ++i) frameAtYaw(kPi / 2 + 0.3);
  EXPECT_EQ(heading(), turn(0.3));
  frameAtYaw(kPi / 2);
  EXPECT_TRUE(heading().isIdentity());
}

TEST_F(FrameDriver, ATwistBetweenFramesHoldsTheHeadingForOneFrame) {
  runner.deliverFrames(1);
  vc().pivot.placedBy(Pivot::Reason::Twist);
  vc().frameDriver.anchorAdjustedThisFrame = true;
  vc().frameDriver.worldRotationThisFrame = 0.5;
  forgetLog();
  frameAtYaw(2.0);
  EXPECT_TRUE(heading().isIdentity());
  EXPECT_EQ(newLog(), kTwistLine);
  EXPECT_FALSE(vc().pivot.anchorJustSetByTwist());
  EXPECT_FALSE(vc().frameDriver.anchorAdjustedThisFrame);
  EXPECT_EQ(vc().frameDriver.worldRotationThisFrame, 0);
  EXPECT_EQ(vc().frameDriver.currentDeviceMotion->attitude().yaw, 2.0);
  frameAtYaw(2.0);
  EXPECT_EQ(heading(), turn(2.0 - kPi / 2));
}

// Records each sample's timestamp on its way to the controller.
struct SampleSpy : kit::AccelerometerDelegate {
  explicit SampleSpy(VitraneforiPadViewController& vc) : vc(vc) {}
  void accelerometerDidAccelerate(kit::Accelerometer& sender,
                                  std::shared_ptr<const kit::Acceleration> sample) override {
    timestamps.push_back(sample->timestamp);
    vc.accelerometerDidAccelerate(sender, std::move(sample));
  }
  VitraneforiPadViewController& vc;
  std::vector<double> timestamps;
};

TEST_F(FrameDriver, SamplesComeEvery120thOfASecond) {
  kit::Accelerometer& accelerometer = platform().accelerometer();
  SampleSpy spy(vc());
  accelerometer.setDelegate(&spy);
  runner.deliverFrames(1200);
  accelerometer.setDelegate(&vc());
  ASSERT_EQ(spy.timestamps.size(), 1200u);
  for (size_t k = 1; k <= 1200; k += 199) EXPECT_NEAR(spy.timestamps[k - 1], k / 120.0, 1e-9);
  EXPECT_NEAR(spy.timestamps.back(), 10.0, 1e-9);
}

TEST(FrameDriverWithoutDeviceMotion, ApologisesAndStillRunsFrames) {
  std::ostringstream out;
  headless::Runner runner({}, out);
  runner.motion().available = false;
  runner.launch();
  const std::vector<std::string> lines = apptest::splitLines(out.str());
  const std::vector<std::string> motionLines(lines.begin() + 10, lines.begin() + 12);
  EXPECT_EQ(motionLines, (std::vector<std::string>{
                             "Sorry, only an iPhone 4 or iPod Touch 4 supports Vitrane.",
                             "After accel setup, Motion Manager update rate is 100 per second"}));
  runner.motion().current.attitude.yaw = 1.0;
  runner.deliverFrames(3);
  EXPECT_EQ(runner.framesDelivered(), 3u);
  EXPECT_FALSE(runner.controller()->frameDriver.currentDeviceMotion);
  // An empty sample reads as attitude zero: the heading yaw − π/2.
  const kit::AffineTransform expected =
      kit::rotated(kit::AffineTransform::identity(), static_cast<float>(-std::numbers::pi / 2));
  EXPECT_EQ(runner.controller()->outlets.rotatingView->transform(), expected);
}

}  // namespace
