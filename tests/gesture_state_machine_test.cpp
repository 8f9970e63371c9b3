// The turn recogniser: when turns of the tablet start and end, flat or
// tipped, what it logs, and where it leaves the pivot.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "app/vitrane_view_controller.h"
#include "tests/app_fixture.h"

namespace {

using Lines = std::vector<std::string>;

const std::string kFlatStart = "Starting new flat gesture.";
const std::string kBusy = "Turning fast enough but busy with gesture.";
const std::string kTimedOut = "...stopped and timed out, ending gesture.";
const std::string kReversed = "Reversed gesture direction, end IMMEDIATELY ?.";
const std::string kEnded = "Gesture ended.";
// 0.2 rad/s is 0.0955º a frame; 0.4 rad/s, the stopped limit, 0.19º.
const std::string kStoppedAtPoint2 = "Stopped turning, rate 0.10¬∫/frame below 0.19¬∫";

constexpr double kFrame = 1.0 / 120;

// Attitudes: a tablet lifted 0.73 inch along its left side (roll 0.1), one
// lifted 0.4 inch at an end (too much to be flat, too little to be a tip)
// and one lifted 0.6 inch at an end (a tip).
const kit::Attitude kFlat{};
const kit::Attitude kTipped{0.1, 0, 0};
const kit::Attitude kBetween{0, std::asin(0.4 * 132 / 1254), 0};
const kit::Attitude kLifted{0, std::asin(0.6 * 132 / 1254), 0};

// Gravity with the right and bottom sides low, and with the left and top low.
const kit::Vector3 kDownRightBottom{0.1, -0.05, -0.99};
const kit::Vector3 kDownLeftTop{-0.1, 0.05, -0.99};

class TurnRecogniser : public apptest::LaunchedApp {
 protected:
  void SetUp() override {
    LaunchedApp::SetUp();
    forgetLog();
  }

  // One recogniser step on a reading of our own taken at time t, with the
  // frame's timestamp set as the velocity step would set it.
  Lines step(double t, double rate, kit::Attitude attitude = kFlat,
             kit::Vector3 gravity = {0, 0, -1}) {
    kit::MotionSample s;
    s.attitude = attitude;
    s.rotationRate.z = rate;
    s.gravity = gravity;
    vc().frameDriver.currentDeviceMotion = std::make_shared<kit::DeviceMotion>(s, t);
    vc().velocity.currentTimestamp = t;
    vc().updateCurrentGesture();
    return newLog();
  }

  void expectIdle() {
    EXPECT_FALSE(vc().turn.gestureStarted);
    EXPECT_FALSE(vc().turn.gestureIsFlat);
    EXPECT_EQ(vc().turn.gestureDirection, 0);
  }
};

// --- The worked sequence and the debounce ---------------------------------

TEST_F(TurnRecogniser, WorkedSequenceFrameByFrame) {
  ASSERT_TRUE(vc().pivot.anchorSetByTwist());  // as scene set-up leaves it
  vc().velocity.accelX = -1.0;  // pushed toward the left while turning counter-clockwise
  vc().velocity.accelY = 0.1;

  EXPECT_EQ(step(0, 1.0, {0, 0, 0.3}), Lines{kFlatStart});
  EXPECT_TRUE(vc().turn.gestureStarted);
  EXPECT_TRUE(vc().turn.gestureIsFlat);
  EXPECT_EQ(vc().turn.gestureDirection, 1);
  EXPECT_EQ(vc().turn.currentDirection, 1);
  EXPECT_EQ(vc().turn.gestureInitialYaw, 0.3);
  EXPECT_EQ(vc().turn.gestureStartTime, 0);
  EXPECT_EQ(vc().turn.debounceEndTime, 0.1);
  EXPECT_EQ(vc().turn.currentFlatAnchor, vc().geometry.topRight.anchor);
  EXPECT_TRUE(vc().geometry.flatAnchorValid);
  EXPECT_EQ(vc().pivot.currentAnchor(), vc().geometry.center.anchor)
      << "a flat start leaves the pivot";

  for (int k = 1; k <= 36; ++k) {
    EXPECT_EQ(step(k / 120.0, 1.0), Lines{kBusy}) << "frame " << k;
    EXPECT_EQ(vc().turn.debounceEndTime, k / 120.0 + 0.05) << "frame " << k;
  }
  for (int k = 37; k <= 41; ++k) {
    EXPECT_EQ(step(k / 120.0, 0.2), Lines{kStoppedAtPoint2}) << "frame " << k;
    EXPECT_TRUE(vc().turn.gestureStarted) << "frame " << k;
  }
  EXPECT_EQ(step(42 / 120.0, 0.2), (Lines{kStoppedAtPoint2, kTimedOut, kEnded}));
  expectIdle();
  EXPECT_EQ(vc().turn.debounceEndTime, 36 / 120.0 + 0.05) << "a slow frame leaves the earliest end";
}

TEST_F(TurnRecogniser, RateThresholdsFormAHysteresis) {
  EXPECT_TRUE(step(0, 0.5).empty()) << "exactly 0.5 rad/s starts nothing";
  EXPECT_TRUE(step(kFrame, -0.5).empty());
  expectIdle();

  EXPECT_EQ(step(2 * kFrame, -0.51), Lines{kFlatStart});
  EXPECT_EQ(vc().turn.gestureDirection, -1);
  // 0.45 is too slow to start one but not slow enough to stop one.
  EXPECT_TRUE(step(3 * kFrame, -0.45).empty());
  EXPECT_EQ(step(4 * kFrame, -0.4), Lines{"Stopped turning, rate -0.19¬∫/frame below 0.19¬∫"});
  EXPECT_TRUE(vc().turn.gestureStarted);
}

TEST_F(TurnRecogniser, TheEarliestEndComesFromTheStartOrTheLatestFastFrame) {
  step(0, 0.6);
  for (int k = 1; k <= 11; ++k) EXPECT_EQ(step(k * kFrame, 0.3).size(), 1u) << "frame " << k;
  EXPECT_EQ(step(12 * kFrame, 0.3).back(), kEnded) << "0.1 s after the start";

  step(1, 0.6);
  step(1 + kFrame, 0.6);  // 0.05 s after this frame comes before 0.1 s after the start
  for (int k = 2; k <= 6; ++k) EXPECT_NE(step(1 + k * kFrame, 0.1).back(), kEnded);
  EXPECT_EQ(step(1 + 7 * kFrame, 0.1).back(), kEnded);
}

TEST_F(TurnRecogniser, ATimestampEqualToTheEarliestEndEndsTheTurn) {
  step(0, 0.6);
  vc().turn.debounceEndTime = 5.0;
  step(std::nextafter(5.0, 0.0), 0.1);
  EXPECT_TRUE(vc().turn.gestureStarted);
  EXPECT_EQ(step(5.0, 0.1).back(), kEnded);
}

TEST_F(TurnRecogniser, NoTurnAtAllIsNotAReversal) {
  step(0, 0.6);
  EXPECT_EQ(step(kFrame, 0.0), Lines{"Stopped turning, rate 0.00¬∫/frame below 0.19¬∫"});
  EXPECT_TRUE(vc().turn.gestureStarted);
  EXPECT_EQ(vc().turn.gestureDirection, 1);
  EXPECT_EQ(vc().turn.currentDirection, 0);
}

// --- Reversals --------------------------------------------------------------

TEST_F(TurnRecogniser, AFastReversalOfAFlatTurnRestartsAtOnce) {
  step(0, 0.8);
  step(kFrame, 0.8);
  EXPECT_EQ(step(2 * kFrame, -0.8), (Lines{kReversed, kEnded, kFlatStart}));
  EXPECT_TRUE(vc().turn.gestureStarted);
  EXPECT_TRUE(vc().turn.gestureIsFlat);
  EXPECT_EQ(vc().turn.gestureDirection, -1);
  EXPECT_EQ(vc().turn.gestureStartTime, 2 * kFrame);
  EXPECT_EQ(vc().turn.debounceEndTime, 2 * kFrame + 0.1);
}

TEST_F(TurnRecogniser, AReversalTooSlowToStartOnlyEnds) {
  step(0, 0.8);
  EXPECT_EQ(step(kFrame, -0.45), (Lines{kReversed, kEnded}));
  expectIdle();
  EXPECT_EQ(vc().turn.currentDirection, -1);
}

TEST_F(TurnRecogniser, AFastReversalOfATippedTurnRestartsAtOnce) {
  EXPECT_EQ(step(0, 0.6, kTipped, kDownRightBottom),
            Lines{"Starting new tipped counterclockwise gesture at 34.377º/sec"});
  EXPECT_EQ(step(kFrame, -0.7, kTipped, kDownRightBottom),
            (Lines{kReversed, kEnded, "Starting new tipped clockwise gesture at -40.107º/sec"}));
  EXPECT_TRUE(vc().turn.gestureStarted);
  EXPECT_FALSE(vc().turn.gestureIsFlat);
  EXPECT_EQ(vc().turn.gestureDirection, -1);
  EXPECT_EQ(vc().pivot.currentAnchor(), vc().geometry.bottomRight.anchor);
}

// --- Tipped turns -----------------------------------------------------------

TEST_F(TurnRecogniser, TippedIdleFramesTakeTheGravityCornerAndStartAboveTheLimit) {
  EXPECT_TRUE(step(0, 0.5, kTipped, kDownRightBottom).empty());
  expectIdle();
  EXPECT_EQ(vc().turn.currentGravityAnchor, vc().geometry.bottomRight.anchor);
  EXPECT_EQ(vc().pivot.currentAnchor(), vc().geometry.bottomRight.anchor);
  EXPECT_FALSE(vc().pivot.anchorSetByTwist());

  EXPECT_EQ(step(kFrame, 0.6, {0.1, 0, 1.2}, kDownRightBottom),
            Lines{"Starting new tipped counterclockwise gesture at 34.377º/sec"});
  EXPECT_TRUE(vc().turn.gestureStarted);
  EXPECT_FALSE(vc().turn.gestureIsFlat);
  EXPECT_EQ(vc().turn.gestureDirection, 1);
  EXPECT_EQ(vc().turn.gestureInitialYaw, 1.2);
  EXPECT_EQ(vc().turn.gestureStartTime, kFrame);
  EXPECT_EQ(vc().turn.debounceEndTime, kFrame + 0.1);
  EXPECT_EQ(vc().pivot.currentAnchor(), vc().geometry.bottomRight.anchor);
}

TEST_F(TurnRecogniser, ATippedTurnKeepsItsPivotWhileGravityMoves) {
  step(0, 0.6, kTipped, kDownRightBottom);
  EXPECT_TRUE(step(kFrame, 0.9, kTipped, kDownLeftTop).empty()) << "no busy line while tipped";
  EXPECT_EQ(vc().turn.currentGravityAnchor, vc().geometry.topLeft.anchor);
  EXPECT_EQ(vc().pivot.currentAnchor(), vc().geometry.bottomRight.anchor);
  EXPECT_TRUE(vc().turn.gestureStarted);
}

TEST_F(TurnRecogniser, ATippedTurnLaidFlatGoesOnAboutItsCornerUntilItEnds) {
  step(0, 0.6, kTipped, kDownRightBottom);
  EXPECT_EQ(step(kFrame, 0.9), Lines{kBusy});
  EXPECT_TRUE(vc().turn.gestureStarted);
  EXPECT_FALSE(vc().turn.gestureIsFlat);
  EXPECT_EQ(vc().pivot.currentAnchor(), vc().geometry.bottomRight.anchor);
  // Reversed too slowly to restart: flat and idle, so back to the centre.
  EXPECT_EQ(step(2 * kFrame, -0.45), (Lines{kReversed, kEnded}));
  EXPECT_EQ(vc().pivot.currentAnchor(), vc().geometry.center.anchor);
}

TEST_F(TurnRecogniser, LiftingAFlatTurnEndsItAndATippedOneTakesOver) {
  step(0, 1.0);
  EXPECT_EQ(step(kFrame, 1.0, kLifted, kDownLeftTop),
            (Lines{"Lifted corner to 0.6 inches, beyond 0.5, end current flat gesture.", kEnded,
                   "Starting new tipped counterclockwise gesture at 57.296º/sec"}));
  EXPECT_FALSE(vc().turn.gestureIsFlat);
  EXPECT_EQ(vc().pivot.currentAnchor(), vc().geometry.topLeft.anchor);
  EXPECT_FALSE(vc().pivot.anchorSetByTwist());
}

TEST_F(TurnRecogniser, AFlatTurnLiftedLessThanATipKeepsGoingAboutItsPivot) {
  step(0, 1.0);
  EXPECT_TRUE(step(kFrame, 1.0, kBetween, kDownLeftTop).empty());
  EXPECT_TRUE(vc().turn.gestureStarted);
  EXPECT_TRUE(vc().turn.gestureIsFlat);
  EXPECT_EQ(vc().pivot.currentAnchor(), vc().geometry.center.anchor);
  EXPECT_EQ(vc().turn.currentGravityAnchor, vc().geometry.center.anchor);
  EXPECT_TRUE(vc().pivot.anchorSetByTwist());
}

// --- The flat pivot ---------------------------------------------------------

TEST_F(TurnRecogniser, FlatAndIdleWithoutATwistPivotReturnsToTheCentreAndStartsNothing) {
  step(0, 0.2, kTipped, kDownLeftTop);
  ASSERT_EQ(vc().pivot.currentAnchor(), vc().geometry.topLeft.anchor);
  EXPECT_TRUE(step(kFrame, 2.0).empty());
  EXPECT_EQ(vc().pivot.currentAnchor(), vc().geometry.center.anchor);
  EXPECT_EQ(vc().outlets.rotatingView->center(), (kit::Point{384 + 2048, 512 + 2048}));
  expectIdle();

  // A pivot counted as a twist's lets flat turns start again (the fake
  // screen's: it leaves this frame's heading to the gyro).
  vc().pivot.placedBy(Pivot::Reason::FakeScreen);
  vc().shiftAnchor({100, 200});
  EXPECT_EQ(step(2 * kFrame, 2.0), Lines{kFlatStart});
  EXPECT_EQ(vc().pivot.currentAnchor(), (kit::Point{100, 200}));
}

// --- Ending -----------------------------------------------------------------

TEST_F(TurnRecogniser, EndingClearsTheIntegrationButKeepsTheLastDistance) {
  step(0, 0.6);
  VitraneforiPadViewController& c = vc();
  c.velocity.velocityX = c.velocity.velocityY = c.velocity.velocityZ = 1;
  c.velocity.userVelocityX = c.velocity.userVelocityY = c.velocity.userVelocityZ = 2;
  c.velocity.motionX = c.velocity.motionY = c.velocity.motionZ = 3;
  c.velocity.motion = {3, 3};
  c.velocity.positionX = c.velocity.positionY = c.velocity.positionZ = -3;
  c.velocity.gestureSampleCount = 6;
  c.velocity.gestureAngleExtent = 0.2;
  c.velocity.gestureSumOfDistances = 9;
  c.velocity.gestureAccelerometerDistance = 4.2;
  c.turn.gestureRotating = c.turn.gestureTranslating = true;
  const double start = c.turn.gestureStartTime, earliestEnd = c.turn.debounceEndTime;

  c.resetGesture();
  EXPECT_EQ(newLog(), Lines{kEnded});
  for (double v :
       {c.velocity.velocityX, c.velocity.velocityY, c.velocity.velocityZ, c.velocity.userVelocityX,
        c.velocity.userVelocityY, c.velocity.userVelocityZ, c.velocity.motionX, c.velocity.motionY,
        c.velocity.motionZ, c.velocity.positionX, c.velocity.positionY, c.velocity.positionZ,
        c.velocity.gestureAngleExtent, c.velocity.gestureSumOfDistances})
    EXPECT_EQ(v, 0);
  EXPECT_EQ(c.velocity.motion, (kit::Point{0, 0}));
  EXPECT_EQ(c.velocity.gestureSampleCount, 0);
  EXPECT_FALSE(c.turn.gestureRotating);
  EXPECT_FALSE(c.turn.gestureTranslating);
  expectIdle();
  EXPECT_EQ(c.velocity.gestureAccelerometerDistance, 4.2);
  EXPECT_EQ(c.turn.gestureStartTime, start);
  EXPECT_EQ(c.turn.debounceEndTime, earliestEnd);
  EXPECT_EQ(c.turn.currentDirection, 1);
}

// --- The offered predicates ----------------------------------------------

TEST_F(TurnRecogniser, RotationEndingNeedsASlowRotatingTurnStrictlyPastItsEarliestEnd) {
  step(0, 0.6);
  step(0.05, 0.4);  // slow, before the earliest end at 0.1
  EXPECT_FALSE(vc().rotationEnding()) << "not marked rotating";
  vc().turn.gestureRotating = true;
  vc().velocity.currentTimestamp = 0.1;
  EXPECT_FALSE(vc().rotationEnding());
  vc().velocity.currentTimestamp = 0.11;
  EXPECT_TRUE(vc().rotationEnding());
  vc().velocity.currentTimestamp = 0.05;
  vc().turn.doesDebounce = false;
  EXPECT_TRUE(vc().rotationEnding());
}

TEST_F(TurnRecogniser, TranslationLimitsAreInclusiveToStartAndExclusiveToEnd) {
  vc().velocity.accelY = -0.1;
  EXPECT_TRUE(vc().translationStarting());
  vc().velocity.accelY = 0.02;
  EXPECT_FALSE(vc().translationEnding());
  vc().velocity.accelY = 0.0199;
  EXPECT_TRUE(vc().translationEnding());
  EXPECT_FALSE(vc().translationStarting());
}

// --- Whole frames -------------------------------------------------------------

class TurnsInFrames : public apptest::LaunchedApp {
 protected:
  // The recogniser's own lines among everything a frame writes.
  Lines turnLines() {
    Lines mine;
    for (const std::string& line : newLog())
      if (line.find("gesture") != std::string::npos || line.find("Gesture") != std::string::npos)
        mine.push_back(line);
    return mine;
  }
};

TEST_F(TurnsInFrames, AFlatTurnCanStartInTheFirstFrame) {
  forgetLog();
  runner.motion().current.rotationRate.z = 1.0;
  runner.deliverFrames(1);
  EXPECT_EQ(turnLines(), Lines{kFlatStart});
  runner.deliverFrames(2);
  EXPECT_EQ(turnLines(), (Lines{kBusy, kBusy}));
  runner.motion().current.rotationRate.z = -1.0;
  runner.deliverFrames(1);
  EXPECT_EQ(turnLines(), (Lines{kReversed, kEnded, kFlatStart}));
}

TEST_F(TurnsInFrames, LiftingMovesThePivotToTheLowCornerWithoutMovingThePicture) {
  kit::MotionSample& m = runner.motion().current;
  m.attitude.yaw = 2.0;
  runner.deliverFrames(2);
  // A point of the world (the tile field re-centres itself inside it).
  const kit::View& world = *vc().outlets.stretcherView;
  const kit::Point probe{1000, 1500};
  const kit::Point before = world.convertPointToView(probe, nullptr);

  m.attitude.roll = 0.1;
  m.gravity = kDownRightBottom;
  runner.deliverFrames(1);
  EXPECT_EQ(vc().pivot.currentAnchor(), vc().geometry.bottomRight.anchor);
  EXPECT_FALSE(vc().pivot.anchorSetByTwist());
  const kit::Point after = world.convertPointToView(probe, nullptr);
  EXPECT_NEAR(after.x, before.x, 0.05);
  EXPECT_NEAR(after.y, before.y, 0.05);

  m.attitude.roll = 0;
  runner.deliverFrames(1);
  EXPECT_EQ(vc().pivot.currentAnchor(), vc().geometry.center.anchor);
  forgetLog();
  m.rotationRate.z = 2.0;
  runner.deliverFrames(3);
  EXPECT_TRUE(turnLines().empty()) << "no flat turn without a twist pivot";
}

}  // namespace
