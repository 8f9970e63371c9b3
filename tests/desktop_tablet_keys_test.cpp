// The keyboard's hand on the simulated tablet: what each key does to the
// tablet on its table, read back as the application would read it (the
// sensors' sample) and as the table sees it (the pose).
#include "hosts/desktop/tablet_keys.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "app/device_facts.h"

namespace {

using desktop::TabletKey;
using desktop::TabletKeyboard;
using kit::SimulatedTablet;
using kit::Vector3;

constexpr double kPi = std::numbers::pi;
constexpr double kRate = TabletKeyboard::kTurnRate;
const double k5deg = 5 * kPi / 180;
const kit::Point kCentre{384, 512}, kBottomLeftPivot{-72.06f, 1112.6f};

double distance(Vector3 a, Vector3 b) { return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z); }
Vector3 under(const SimulatedTablet& t, kit::Point s) { return t.pose().tablePointUnder(s.x, s.y); }

struct Rig {
  SimulatedTablet tablet{device::tabletBody()};
  TabletKeyboard keys{tablet};
  kit::MotionSample at(double t) { return *tablet.sample(t); }
};

// --- Turning -------------------------------------------------------------------

TEST(DesktopTabletKeys, HoldingLeftASecondTurnsCounterClockwiseByTheRateAboutTheCentre) {
  Rig r;
  const Vector3 centre = under(r.tablet, kCentre);
  r.keys.press(TabletKey::TurnLeft, 1);
  const kit::MotionSample during = r.at(1.5);
  EXPECT_NEAR(during.rotationRate.z, kRate, 1e-9);  // counter-clockwise seen from above
  r.keys.release(TabletKey::TurnLeft, 2);
  const kit::MotionSample after = r.at(3);
  // The ease into the turn loses what the ease out of it gains.
  EXPECT_NEAR(r.tablet.pose().yaw, kPi / 2 + kRate, 1e-9);
  EXPECT_EQ(after.rotationRate, (Vector3{0, 0, 0}));
  EXPECT_LT(distance(under(r.tablet, kCentre), centre), 1e-9);
}

TEST(DesktopTabletKeys, RightTurnsClockwiseBothTogetherHoldStillAndEachLetGoTurnsAgain) {
  Rig r;
  r.keys.press(TabletKey::TurnRight, 0);
  EXPECT_LT(r.at(0.3).rotationRate.z, 0);
  r.keys.press(TabletKey::TurnLeft, 0.5);
  EXPECT_NEAR(r.at(1).rotationRate.z, 0, 1e-12);
  EXPECT_NEAR(r.tablet.pose().yaw, kPi / 2 - 0.5 * kRate, 1e-9);
  r.keys.release(TabletKey::TurnRight, 1);
  EXPECT_GT(r.at(1.5).rotationRate.z, 0);
  r.keys.release(TabletKey::TurnLeft, 1.5);
  r.at(3);
  EXPECT_NEAR(r.tablet.pose().yaw, kPi / 2, 1e-9);
}

TEST(DesktopTabletKeys, ATurnKeyStillHeldThroughAnotherMoveTurnsOnAfterIt) {
  Rig r;
  r.keys.press(TabletKey::TurnLeft, 0);
  // The turn eases to a stop by 0.55 s, the right side rises until 0.85 s,
  // and the turn goes on from there, now about the corner left resting.
  r.keys.press(TabletKey::LiftRight, 0.5);
  r.at(1);
  const Vector3 corner = under(r.tablet, kBottomLeftPivot);
  r.keys.release(TabletKey::TurnLeft, 2);
  r.at(3);
  EXPECT_NEAR(r.tablet.pose().yaw, kPi / 2 + kRate * (0.5 + 1.15), 1e-9);
  EXPECT_LT(distance(under(r.tablet, kBottomLeftPivot), corner), 1e-6);
}

TEST(DesktopTabletKeys, LosingTheKeyboardStopsTheTurn) {
  Rig r;
  r.keys.press(TabletKey::TurnLeft, 0);
  r.keys.releaseAll(1);
  r.at(2);
  const double yaw = r.tablet.pose().yaw;
  EXPECT_NEAR(yaw, kPi / 2 + kRate, 1e-9);
  EXPECT_EQ(r.at(5).rotationRate, (Vector3{0, 0, 0}));
  EXPECT_EQ(r.tablet.pose().yaw, yaw);
  // The key-up that comes later changes nothing.
  r.keys.release(TabletKey::TurnLeft, 6);
  EXPECT_EQ(r.at(7).rotationRate, (Vector3{0, 0, 0}));
}

// --- Lifting -----------------------------------------------------------------

TEST(DesktopTabletKeys, EachLiftKeyRaisesItsSideAndGravityPointsToTheSideOnTheTable) {
  struct Case {
    TabletKey key;
    int gx, gy;  // signs of gravity across the screen
  };
  const Case cases[] = {
      {TabletKey::LiftTop, 0, -1},
      {TabletKey::LiftBottom, 0, 1},
      {TabletKey::LiftLeft, 1, 0},
      {TabletKey::LiftRight, -1, 0},
  };
  auto sign = [](double v) { return v > 1e-12 ? 1 : v < -1e-12 ? -1 : 0; };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.key));
    Rig r;
    r.keys.press(c.key, 0);
    EXPECT_NEAR(r.tablet.movesEnd(), TabletKeyboard::kTiltSeconds, 1e-12);
    const kit::MotionSample s = r.at(1);
    EXPECT_EQ(sign(s.gravity.x), c.gx);
    EXPECT_EQ(sign(s.gravity.y), c.gy);
    EXPECT_NEAR(s.gravity.z, -std::cos(k5deg), 1e-12);
  }
}

TEST(DesktopTabletKeys, PressingALiftKeyAgainRaisesFurtherUpToTheLimitAndRepeatsAreIgnored) {
  Rig r;
  r.keys.press(TabletKey::LiftRight, 0);
  r.keys.press(TabletKey::LiftRight, 0.1, true);  // the keyboard's auto-repeat
  r.at(1);
  EXPECT_NEAR(r.tablet.pose().roll, -k5deg, 1e-12);
  for (int i = 0; i < 6; ++i) r.keys.press(TabletKey::LiftRight, 1 + i);
  r.at(10);
  EXPECT_NEAR(r.tablet.pose().roll, -TabletKeyboard::kMostLift, 1e-12);
  EXPECT_NEAR(r.keys.liftAngle(), TabletKeyboard::kMostLift, 1e-12);
  EXPECT_FALSE(r.tablet.isMoving());
}

TEST(DesktopTabletKeys, AnotherSidesKeyLaysItFlatFirstThenLiftsThatSide) {
  Rig r;
  r.keys.press(TabletKey::LiftRight, 0);
  r.keys.press(TabletKey::LiftRight, 0.5);
  // Lifting the top of a tablet resting on its left side only would throw.
  ASSERT_NO_THROW(r.keys.press(TabletKey::LiftTop, 1));
  const kit::MotionSample s = r.at(3);
  EXPECT_NEAR(r.tablet.pose().roll, 0, 1e-12);
  EXPECT_NEAR(r.tablet.pose().pitch, k5deg, 1e-12);
  EXPECT_LT(s.gravity.y, 0);
  EXPECT_EQ(r.keys.liftedSide(), kit::TabletSide::Top);
}

TEST(DesktopTabletKeys, SpaceLaysItFlatKeepingTheHeadingAndDoesNothingWhenFlat) {
  Rig r;
  r.keys.press(TabletKey::LayFlat, 0);
  EXPECT_FALSE(r.tablet.isMoving());

  r.keys.press(TabletKey::TurnLeft, 0);
  r.keys.release(TabletKey::TurnLeft, 0.5);
  r.keys.press(TabletKey::LiftBottom, 1);
  r.keys.press(TabletKey::LayFlat, 2);
  const kit::MotionSample s = r.at(3);
  EXPECT_TRUE(r.tablet.pose().isFlat());
  EXPECT_EQ(s.gravity, (Vector3{0, 0, -1}));
  EXPECT_NEAR(r.tablet.pose().yaw, kPi / 2 + 0.5 * kRate, 1e-9);
  EXPECT_FALSE(r.keys.liftedSide().has_value());
  // Flat again, any side may rise.
  EXPECT_NO_THROW(r.keys.press(TabletKey::LiftLeft, 3));
}

// --- Sliding ---------------------------------------------------------------------

TEST(DesktopTabletKeys, SlidesGoAlongTheTabletsOwnAxes) {
  Rig r;
  const Vector3 start = under(r.tablet, kCentre);
  r.keys.press(TabletKey::SlideRight, 0);  // unturned, its right is east
  r.at(1);
  const Vector3 east = under(r.tablet, kCentre);
  EXPECT_NEAR(east.x - start.x, TabletKeyboard::kSlideStep, 1e-9);
  EXPECT_NEAR(east.y - start.y, 0, 1e-9);

  // A quarter turn counter-clockwise points its top edge west.
  r.keys.press(TabletKey::TurnLeft, 1);
  r.keys.release(TabletKey::TurnLeft, 1 + (kPi / 2) / kRate);
  r.at(4);
  ASSERT_NEAR(r.tablet.pose().yaw, kPi, 1e-9);
  const Vector3 turned = under(r.tablet, kCentre);
  r.keys.press(TabletKey::SlideUp, 4);
  r.keys.press(TabletKey::SlideLeft, 4);  // queued after it: its left is south
  r.at(6);
  const Vector3 end = under(r.tablet, kCentre);
  EXPECT_NEAR(end.x - turned.x, -TabletKeyboard::kSlideStep, 1e-9);
  EXPECT_NEAR(end.y - turned.y, -TabletKeyboard::kSlideStep, 1e-9);
  EXPECT_NEAR(r.tablet.pose().yaw, kPi, 1e-9);
}

TEST(DesktopTabletKeys, AHeldSlideKeySlidesOnWithoutPilingUpSlides) {
  Rig r;
  const Vector3 start = under(r.tablet, kCentre);
  r.keys.press(TabletKey::SlideDown, 0);
  // Repeats while the slide runs are dropped, the first after it is taken.
  for (double t : {0.05, 0.1, 0.2}) r.keys.press(TabletKey::SlideDown, t, true);
  r.keys.press(TabletKey::SlideDown, TabletKeyboard::kSlideSeconds + 0.01, true);
  EXPECT_NEAR(r.tablet.movesEnd(), 2 * TabletKeyboard::kSlideSeconds + 0.01, 1e-9);
  r.at(2);
  // Screen down is south while unturned.
  EXPECT_NEAR(under(r.tablet, kCentre).y - start.y, -2 * TabletKeyboard::kSlideStep, 1e-9);
}

}  // namespace
