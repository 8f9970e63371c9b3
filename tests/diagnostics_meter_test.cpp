// The diagnostics readout: sixteen lines of motion state in a label that
// stays hidden.
#include <gtest/gtest.h>

#include <numbers>
#include <string>
#include <vector>

#include "app/vitrane_view_controller.h"
#include "tests/app_fixture.h"

namespace {

constexpr double kPi = std::numbers::pi;

class DiagnosticsMeter : public apptest::LaunchedApp {
 protected:
  std::vector<std::string> lines() { return apptest::splitLines(vc().outlets.bigDisplay->text()); }
  void device(double yaw, double pitch, double roll, double turnRate) {
    kit::MotionSample s;
    s.attitude = {roll, pitch, yaw};
    s.rotationRate.z = turnRate;
    vc().frameDriver.currentDeviceMotion = std::make_shared<kit::DeviceMotion>(s, 0);
  }
};

TEST_F(DiagnosticsMeter, LyingFlatAndStillAtAQuarterTurn) {
  runner.motion().current.attitude.yaw = kPi / 2;
  runner.deliverFrames(1);
  EXPECT_EQ(vc().outlets.bigDisplay->text(),
            "dTime:8.3 msec\n"
            "accelX:0.00\n"
            "accelY:0.00\n"
            "Distance this gesture:0.0 pts\n"
            "velX:0.00\n"
            "velY:0.00\n"
            "posX:0.00\n"
            "posY:0.00\n"
            "Anchor radius:0.00\n"
            "Anchor angle:0º\n"
            "Yaw:90º,Pit:0º,Rol:0º\n"
            "Degrees per sec:0º\n"
            "omegaSquared:0.00\n"
            "rollHeight:0.00\n"
            "pitchHeight:0.00\n"
            "totalHeight:0.00");
}

TEST_F(DiagnosticsMeter, TheLabelIsHiddenAfterEveryFrame) {
  for (int frame = 0; frame < 3; ++frame) {
    vc().outlets.bigDisplay->setHidden(false);
    runner.deliverFrames(1);
    EXPECT_TRUE(vc().outlets.bigDisplay->isHidden());
  }
}

TEST_F(DiagnosticsMeter, EachLineShowsItsOwnValue) {
  VitraneforiPadViewController& c = vc();
  c.velocity.sampleDuration = 0.0125;
  c.velocity.accelX = 1.234;
  c.velocity.accelY = -2.5;
  c.velocity.gestureAccelerometerDistance = 42.3;
  c.velocity.velocityX = 3.25;
  c.velocity.velocityY = -4.5;
  c.velocity.motionX = 10.75;
  c.velocity.motionY = -11;
  c.velocity.anchorRadiusEstimate = 123.456;
  c.velocity.anchorAngleEstimate = -kPi / 2;
  // Yaw 0.3403392 rad is 19.4999998º, which single precision makes 19.5
  // and prints as 20.
  device(0.3403392, -0.05, 0.1, -1.0);
  c.updateMeters();
  EXPECT_EQ(lines(), (std::vector<std::string>{
                         "dTime:12.5 msec", "accelX:1.23", "accelY:-2.50",
                         "Distance this gesture:42.3 pts", "velX:3.25", "velY:-4.50", "posX:10.75",
                         "posY:-11.00", "Anchor radius:123.46", "Anchor angle:-90º",
                         "Yaw:20º,Pit:-3º,Rol:6º", "Degrees per sec:-57º", "omegaSquared:1.00",
                         // 964.92 × sin 0.1 / 132 and 1254 × |sin −0.05| / 132
                         "rollHeight:0.73", "pitchHeight:0.47", "totalHeight:0.87"}));
}

}  // namespace
