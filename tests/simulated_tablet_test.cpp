// The simulated tablet: its readings against poses we know, the sensor's
// acceleration against the body's own motion, the exact angles of its
// moves, and the lifts it refuses.
#include "kit/simulated_tablet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <stdexcept>
#include <vector>

#include "app/device_facts.h"
#include "app/vitrane_view_controller.h"
#include "tests/app_fixture.h"

namespace {

using kit::SimulatedTablet;
using kit::TabletPose;
using kit::TabletSide;
using kit::Vector3;

constexpr double kPi = std::numbers::pi;
constexpr double kG = device::kPointsPerSecond2PerG;
constexpr double kFrame = 1.0 / 120;
const double k5deg = 5 * kPi / 180;

// The standard corner pivots and the sensor, screen points.
const kit::Point kTopLeft{-72.06f, -88.6f}, kTopRight{840.06f, -88.6f},
    kBottomLeft{-72.06f, 1112.6f}, kBottomRight{840.06f, 1112.6f}, kCentre{384, 512};
const kit::Point kSensor{801, 396};

Vector3 minus(Vector3 a, Vector3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double dot(Vector3 a, Vector3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double length(Vector3 v) { return std::sqrt(dot(v, v)); }
Vector3 cross(Vector3 a, Vector3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vector3 at(const TabletPose& p, kit::Point s) { return p.bodyPoint(s.x, s.y); }

// The device's axes in table axes, read off the body itself.
struct Axes {
  Vector3 x, y, z;
};
Axes axesOf(const TabletPose& p) {
  const Vector3 o = p.bodyPoint(0, 0);
  const Vector3 x = minus(p.bodyPoint(1, 0), o);
  const Vector3 y = minus(p.bodyPoint(0, -1), o);  // screen y runs down
  return {x, y, cross(x, y)};
}
Vector3 inDevice(Vector3 v, const Axes& a) { return {dot(v, a.x), dot(v, a.y), dot(v, a.z)}; }

bool near(Vector3 a, Vector3 b, double tolerance) { return length(minus(a, b)) <= tolerance; }

// --- Conventions -------------------------------------------------------------

TEST(SimulatedTabletConventions, StartsFlatStillUnturnedAndLevelWithTheTable) {
  SimulatedTablet tablet{device::tabletBody()};
  const kit::MotionSample s = *tablet.sample(2);
  EXPECT_DOUBLE_EQ(s.attitude.yaw, kPi / 2);
  EXPECT_EQ(s.attitude.pitch, 0);
  EXPECT_EQ(s.attitude.roll, 0);
  EXPECT_EQ(s.rotationRate, (Vector3{0, 0, 0}));
  EXPECT_EQ(s.gravity, (Vector3{0, 0, -1}));
  EXPECT_EQ(s.acceleration, (Vector3{0, 0, -1}));
  // Screen right is east, screen up is north.
  const Vector3 p = tablet.pose().tablePointUnder(768, 1024);
  EXPECT_NEAR(p.x, 768, 1e-12);
  EXPECT_NEAR(p.y, -1024, 1e-12);
  EXPECT_EQ(tablet.defaultPivot(), kCentre);
}

TEST(SimulatedTabletConventions, TheBodyIsTheOneItIsGivenAndANonsenseOneIsRefused) {
  // A smaller tablet: its centre, its lifted corner and its readings' scale
  // follow the geometry given, not the application's.
  kit::TabletBody small = device::tabletBody();
  small.screenWidth = 400;
  small.screenHeight = 600;
  small.bodyWidthInches = 4;
  small.bodyHeightInches = 5;
  small.pointsPerSecond2PerG = 2 * device::kPointsPerSecond2PerG;
  SimulatedTablet tablet{small};
  EXPECT_EQ(tablet.defaultPivot(), (kit::Point{200, 300}));
  // While a slide speeds up, the push it feels, in g, is half what the same
  // push reads on a tablet of the application's scale.
  SimulatedTablet reference{device::tabletBody()};
  tablet.slide(100, 0, 1);
  reference.slide(100, 0, 1);
  tablet.step(0.03);
  reference.step(0.03);
  const Vector3 felt = minus(tablet.reading().acceleration, tablet.reading().gravity);
  const Vector3 feltThere = minus(reference.reading().acceleration, reference.reading().gravity);
  ASSERT_GT(length(feltThere), 1e-6);
  EXPECT_NEAR(felt.x, feltThere.x / 2, 1e-12);
  tablet.step(1);
  tablet.lift(kit::TabletSide::TopLeft, 0.2, 1);
  const double inset = 0.2 * 132;
  EXPECT_NEAR(tablet.defaultPivot().x, 200 + 2 * 132 - inset, 1e-3);
  EXPECT_NEAR(tablet.defaultPivot().y, 300 + 2.5 * 132 - inset, 1e-3);

  for (double kit::TabletBody::*field :
       {&kit::TabletBody::pointsPerInch, &kit::TabletBody::screenWidth,
        &kit::TabletBody::screenHeight, &kit::TabletBody::bodyWidthInches,
        &kit::TabletBody::bodyHeightInches, &kit::TabletBody::pointsPerSecond2PerG}) {
    for (double bad : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
      kit::TabletBody g = device::tabletBody();
      g.*field = bad;
      EXPECT_THROW(SimulatedTablet{g}, std::invalid_argument);
    }
  }
  EXPECT_THROW(SimulatedTablet{kit::TabletBody{}}, std::invalid_argument);
}

TEST(SimulatedTabletConventions, EachLiftTiltsAsTheApplicationReadsItAndRestsOnTheOppositeSide) {
  struct Case {
    TabletSide side;
    int pitchSign, rollSign;  // of the attitude
    kit::Point pivot;         // the application's gravity corner
  };
  const Case cases[] = {
      {TabletSide::Top, 1, 0, kBottomRight},      {TabletSide::Bottom, -1, 0, kTopRight},
      {TabletSide::Left, 0, 1, kBottomRight},     {TabletSide::Right, 0, -1, kBottomLeft},
      {TabletSide::TopLeft, 1, 1, kBottomRight},  {TabletSide::TopRight, 1, -1, kBottomLeft},
      {TabletSide::BottomLeft, -1, 1, kTopRight}, {TabletSide::BottomRight, -1, -1, kTopLeft},
  };
  auto sign = [](double v) { return v > 1e-12 ? 1 : v < -1e-12 ? -1 : 0; };
  for (const Case& c : cases) {
    SCOPED_TRACE(kit::tabletSideName(c.side));
    SimulatedTablet tablet{device::tabletBody()};
    const TabletPose flat = tablet.pose();
    tablet.lift(c.side, k5deg, 0.5);
    const kit::MotionSample s = *tablet.sample(1);
    EXPECT_EQ(sign(s.attitude.pitch), c.pitchSign);
    EXPECT_EQ(sign(s.attitude.roll), c.rollSign);
    // Gravity points toward the lower side: positive pitch (top up) gives
    // g.y < 0, positive roll (left up) g.x > 0; lying still it is the reading.
    EXPECT_EQ(sign(s.gravity.y), -c.pitchSign);
    EXPECT_EQ(sign(s.gravity.x), c.rollSign);
    EXPECT_NEAR(length(s.gravity), 1, 1e-12);
    EXPECT_TRUE(near(s.acceleration, s.gravity, 1e-12));
    EXPECT_NEAR(s.gravity.z, -std::cos(k5deg), 1e-12);
    EXPECT_EQ(tablet.defaultPivot(), c.pivot);

    // The corner pivot chosen rests within its inset of the table, and the
    // body's corner beyond it lies where it lay.
    const TabletPose lifted = tablet.pose();
    EXPECT_LT(at(lifted, c.pivot).z, 26.4 * std::sqrt(2.0) * std::sin(k5deg));
    const kit::Point corner{c.pivot.x < 384 ? -98.46f : 866.46f, c.pivot.y < 512 ? -115.f : 1139.f};
    EXPECT_TRUE(near(at(lifted, corner), at(flat, corner), 1e-9));
  }
}

TEST(SimulatedTabletConventions, ASideRisesByTheBodysSizeAndACornerAlongTheDiagonal) {
  const double sin10 = std::sin(10 * kPi / 180);
  SimulatedTablet right{device::tabletBody()};
  right.lift(TabletSide::Right, 10 * kPi / 180, 0.2);
  right.step(1);
  EXPECT_NEAR(at(right.pose(), {866.46f, -115}).z, 964.92 * sin10, 1e-3);
  EXPECT_NEAR(at(right.pose(), {866.46f, 1139}).z, 964.92 * sin10, 1e-3);

  SimulatedTablet top{device::tabletBody()};
  top.lift(TabletSide::Top, 10 * kPi / 180, 0.2);
  top.step(1);
  EXPECT_NEAR(at(top.pose(), {-98.46f, -115}).z, 1254 * sin10, 1e-3);
  EXPECT_NEAR(top.reading().attitude.pitch, 10 * kPi / 180, 1e-12);

  SimulatedTablet corner{device::tabletBody()};
  corner.lift(TabletSide::TopLeft, 10 * kPi / 180, 0.2);
  corner.step(1);
  EXPECT_NEAR(at(corner.pose(), {-98.46f, -115}).z, std::hypot(964.92, 1254) * sin10, 1e-3);
  EXPECT_NEAR(at(corner.pose(), {866.46f, 1139}).z, 0, 1e-9);
  // Both neighbouring corners are off the table too.
  EXPECT_GT(at(corner.pose(), {866.46f, -115}).z, 1);
  EXPECT_GT(at(corner.pose(), {-98.46f, 1139}).z, 1);
}

TEST(SimulatedTabletConventions, ACounterClockwiseTurnRaisesTheYawAndTheRateAboutZ) {
  SimulatedTablet tablet{device::tabletBody()};
  tablet.turn(kPi / 2, 1);
  const kit::MotionSample during = *tablet.sample(0.5);
  EXPECT_GT(during.rotationRate.z, 0);
  EXPECT_GT(during.attitude.yaw, kPi / 2);
  tablet.step(1);
  // The screen's right edge now points north.
  const Vector3 centre = tablet.pose().tablePointUnder(384, 512);
  const Vector3 right = tablet.pose().tablePointUnder(768, 512);
  EXPECT_NEAR(right.x - centre.x, 0, 1e-9);
  EXPECT_NEAR(right.y - centre.y, 384, 1e-9);

  SimulatedTablet clockwise{device::tabletBody()};
  clockwise.turn(-kPi / 2, 1);
  EXPECT_LT(clockwise.sample(0.5)->rotationRate.z, 0);
}

// --- Angles and pivots ---------------------------------------------------------

TEST(SimulatedTabletMoves, ATurnCoversItsAngleExactlyAtItsLastFrameAndEasesInAndOut) {
  struct Case {
    double angle;
    int frames;
  };
  for (const Case c : {Case{kPi / 2, 120}, Case{-0.3, 37}, Case{2.5, 6}, Case{1e-3, 1}}) {
    SCOPED_TRACE(c.frames);
    SimulatedTablet tablet{device::tabletBody()};
    const double seconds = c.frames * kFrame;
    tablet.turn(c.angle, seconds);
    const double ease = std::min(SimulatedTablet::kEaseSeconds, seconds / 2);
    const double peak = std::fabs(c.angle) / (seconds - ease);
    kit::MotionSample last;
    for (int k = 1; k <= c.frames; ++k) {
      last = *tablet.sample(k * kFrame);
      EXPECT_LE(std::fabs(last.rotationRate.z), peak * (1 + 1e-12)) << k;
    }
    EXPECT_EQ(last.attitude.yaw, std::remainder(kPi / 2 + c.angle, 2 * kPi));
    EXPECT_EQ(tablet.pose().yaw, kPi / 2 + c.angle);
    EXPECT_EQ(last.rotationRate.z, 0);
    EXPECT_EQ(last.acceleration, last.gravity);
    EXPECT_FALSE(tablet.isMoving());
  }
}

TEST(SimulatedTabletMoves, APivotStaysWhereItIsOnTheTableThroughoutATurn) {
  SimulatedTablet tablet{device::tabletBody()};
  tablet.lift(TabletSide::Right, k5deg, 0.25);
  tablet.turn(kPi / 4, 1);
  ASSERT_EQ(tablet.defaultPivot(), kBottomLeft);
  tablet.step(0.25);
  const Vector3 pivot = at(tablet.pose(), kBottomLeft);
  for (double t = 0.25; t <= 1.25; t += 0.01) {
    tablet.step(t);
    ASSERT_TRUE(near(at(tablet.pose(), kBottomLeft), pivot, 1e-9)) << t;
  }
  // And so does a chosen one.
  SimulatedTablet about{device::tabletBody()};
  about.turn(-1, 0.5, kit::Point{100, -40});
  const Vector3 chosen = at(about.pose(), {100, -40});
  about.step(0.2);
  EXPECT_TRUE(near(at(about.pose(), {100, -40}), chosen, 1e-9));
}

TEST(SimulatedTabletMoves, ASlideMovesAlongTheTabletsOwnAxes) {
  SimulatedTablet tablet{device::tabletBody()};
  tablet.turn(kPi / 2, 0.5);
  tablet.slide(100, 50, 0.5);  // right, then down the screen
  tablet.step(1);
  const Vector3 moved = tablet.pose().tablePointUnder(0, 0);
  SimulatedTablet reference{device::tabletBody()};
  reference.turn(kPi / 2, 0.5);
  reference.step(0.5);
  const Vector3 before = reference.pose().tablePointUnder(0, 0);
  // Turned a quarter counter-clockwise, the screen's right is north and its
  // down is east.
  EXPECT_NEAR(moved.x - before.x, 50, 1e-9);
  EXPECT_NEAR(moved.y - before.y, 100, 1e-9);
}

TEST(SimulatedTabletMoves, LiftsNeedTheRestingSideOnTheTable) {
  SimulatedTablet tablet{device::tabletBody()};
  tablet.lift(TabletSide::Right, k5deg, 0.5);
  const TabletPose lifted = tablet.finalPose();
  EXPECT_THROW(tablet.lift(TabletSide::Left, k5deg, 0.5), std::invalid_argument);
  EXPECT_THROW(tablet.lift(TabletSide::Top, k5deg, 0.5), std::invalid_argument);
  EXPECT_THROW(tablet.lift(TabletSide::BottomLeft, k5deg, 0.5), std::invalid_argument);
  EXPECT_EQ(tablet.finalPose().roll, lifted.roll);
  EXPECT_EQ(tablet.movesEnd(), 0.5);
  // Still resting on its left side: higher, or the top-right corner too.
  tablet.lift(TabletSide::Right, 2 * k5deg, 0.5);
  tablet.lift(TabletSide::TopRight, k5deg, 0.5);
  EXPECT_THROW(tablet.lift(TabletSide::TopRight, kPi / 2, 0.5), std::invalid_argument);
  EXPECT_THROW(tablet.lift(TabletSide::TopRight, -0.1, 0.5), std::invalid_argument);
  EXPECT_THROW(tablet.turn(1, 0), std::invalid_argument);
  EXPECT_THROW(tablet.hold(-1), std::invalid_argument);

  // Laid down about the corner it rests on, exactly flat again.
  const Vector3 resting = at(tablet.finalPose(), {-98.46f, 1139});
  tablet.lower(0.3);
  tablet.step(5);
  const TabletPose flat = tablet.pose();
  EXPECT_TRUE(flat.isFlat());
  EXPECT_EQ(flat.origin.z, 0);
  EXPECT_TRUE(near(at(flat, {-98.46f, 1139}), resting, 1e-9));
  EXPECT_EQ(tablet.defaultPivot(), kCentre);
}

TEST(SimulatedTabletMoves, ASteadyTurnEasesToItsRateAndToAStop) {
  SimulatedTablet tablet{device::tabletBody()};
  tablet.turnAtRate(1);
  EXPECT_TRUE(std::isinf(tablet.movesEnd()));
  const kit::MotionSample steady = *tablet.sample(1);
  EXPECT_DOUBLE_EQ(steady.rotationRate.z, 1);
  EXPECT_NEAR(steady.attitude.yaw, kPi / 2 + 1 - SimulatedTablet::kEaseSeconds / 2, 1e-12);
  tablet.turnAtRate(0);
  EXPECT_DOUBLE_EQ(tablet.movesEnd(), 1 + SimulatedTablet::kEaseSeconds);
  const kit::MotionSample stopped = *tablet.sample(2);
  EXPECT_EQ(stopped.rotationRate.z, 0);
  EXPECT_NEAR(stopped.attitude.yaw, kPi / 2 + 1, 1e-12);

  // A lift while turning waits for the turn to ease to a stop.
  tablet.turnAtRate(-2);
  tablet.step(3);
  tablet.lift(TabletSide::Top, k5deg, 0.5);
  EXPECT_DOUBLE_EQ(tablet.movesEnd(), 3 + SimulatedTablet::kEaseSeconds + 0.5);

  // One it cannot make leaves it turning.
  SimulatedTablet lifted{device::tabletBody()};
  lifted.lift(TabletSide::Right, k5deg, 0.1);
  lifted.turnAtRate(1);
  EXPECT_THROW(lifted.lift(TabletSide::Left, k5deg, 0.5), std::invalid_argument);
  EXPECT_TRUE(std::isinf(lifted.movesEnd()));
}

TEST(EasedRate, AChangeDuringAnEasingStartsFromTheRateReached) {
  kit::EasedRate r;
  r.change(0, 2, 0.1);
  r.change(0.05, -1, 0.1);
  for (double t : {0.05, 0.15}) {
    EXPECT_NEAR(r.rate(t - 1e-9), r.rate(t + 1e-9), 1e-6) << t;
    EXPECT_NEAR(r.distance(t - 1e-9), r.distance(t + 1e-9), 1e-8) << t;
  }
}

// --- The sensor ------------------------------------------------------------------

// What each reading says of the body's motion must agree with the motion
// itself: the accelerometer with the sensor point's second derivative, the
// gyro with the axes' first.
struct SensorCase {
  const char* name;
  void (*moves)(SimulatedTablet&);
  double from, to;  // when to look
};

class SensorAgreesWithTheBody : public ::testing::TestWithParam<SensorCase> {};

TEST_P(SensorAgreesWithTheBody, AccelerometerAndGyro) {
  SimulatedTablet tablet{device::tabletBody()};
  GetParam().moves(tablet);
  // Steps for the second and the first derivative. The moves' easings
  // begin and end on multiples of 0.05 s, where the acceleration has a
  // corner that a difference quotient cannot follow: looked at elsewhere.
  const double ha = 1e-5, hg = 1e-6;
  for (double t = GetParam().from; t <= GetParam().to; t += 0.013) {
    if (std::fabs(std::remainder(t, 0.05)) < 3 * ha) continue;
    std::vector<TabletPose> poses;
    kit::MotionSample s;
    for (const double dt : {-ha, -hg, 0.0, hg, ha}) {
      tablet.step(t + dt);
      if (dt == 0) s = tablet.reading();
      poses.push_back(tablet.pose());
    }
    const Axes axes = axesOf(poses[2]);
    const Vector3 x0 = at(poses[0], kSensor), x1 = at(poses[2], kSensor),
                  x2 = at(poses[4], kSensor);
    const double h2 = ha * ha;
    const Vector3 felt = inDevice({(x2.x - 2 * x1.x + x0.x) / h2, (x2.y - 2 * x1.y + x0.y) / h2,
                                   (x2.z - 2 * x1.z + x0.z) / h2},
                                  axes);
    const Vector3 read{(s.gravity.x - s.acceleration.x) * kG, (s.gravity.y - s.acceleration.y) * kG,
                       (s.gravity.z - s.acceleration.z) * kG};
    EXPECT_TRUE(near(read, felt, 0.1 + 1e-5 * length(felt)))
        << t << ": read " << read.x << "," << read.y << "," << read.z << " moved " << felt.x << ","
        << felt.y << "," << felt.z;

    // dR/dt = [ω]× R: how the axes turn into each other gives ω in device axes.
    const Axes a0 = axesOf(poses[1]), a2 = axesOf(poses[3]);
    const Vector3 dx = minus(a2.x, a0.x), dy = minus(a2.y, a0.y), dz = minus(a2.z, a0.z);
    const Vector3 omega{dot(dy, axes.z) / (2 * hg), dot(dz, axes.x) / (2 * hg),
                        dot(dx, axes.y) / (2 * hg)};
    EXPECT_TRUE(near(s.rotationRate, omega, 1e-6))
        << t << ": read " << s.rotationRate.x << "," << s.rotationRate.y << "," << s.rotationRate.z
        << " turned " << omega.x << "," << omega.y << "," << omega.z;
    EXPECT_NEAR(s.gravity.z, -axes.z.z, 1e-12);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Moves, SensorAgreesWithTheBody,
    ::testing::Values(SensorCase{"FlatTurnAboutTheCentre",
                                 [](SimulatedTablet& t) { t.turn(kPi / 2, 1); }, 0.003, 1.1},
                      SensorCase{"FlatTurnAboutACorner",
                                 [](SimulatedTablet& t) { t.turn(-kPi / 3, 0.7, kTopRight); },
                                 0.003, 0.8},
                      SensorCase{"LiftedTurnAboutTheRestingCorner",
                                 [](SimulatedTablet& t) {
                                   t.lift(TabletSide::BottomLeft, 0.3, 0.2);
                                   t.turn(1, 0.5);
                                 },
                                 0.003, 0.8},
                      SensorCase{"CornerLiftAndLower",
                                 [](SimulatedTablet& t) {
                                   t.lift(TabletSide::TopLeft, 0.4, 0.3);
                                   t.lower(0.3);
                                 },
                                 0.003, 0.7},
                      SensorCase{"SlideWhileTurned",
                                 [](SimulatedTablet& t) {
                                   t.turn(2, 0.2);
                                   t.slide(-300, 120, 0.4);
                                 },
                                 0.003, 0.7},
                      SensorCase{"SteadyTurnLifted",
                                 [](SimulatedTablet& t) {
                                   t.lift(TabletSide::Right, 0.2, 0.1);
                                   t.turnAtRate(1.5);
                                 },
                                 0.003, 0.5}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SimulatedTabletSensor, ASteadyTurnPullsTheSensorTowardItsPivot) {
  for (const kit::Point pivot : {kCentre, kTopRight}) {
    SimulatedTablet tablet{device::tabletBody()};
    tablet.turn(kPi / 2, 1, pivot);
    const kit::MotionSample s = *tablet.sample(0.5);  // between the easings
    const double omega = s.rotationRate.z;
    EXPECT_NEAR(omega, (kPi / 2) / (1 - SimulatedTablet::kEaseSeconds), 1e-12);
    // In device axes (y up) the sensor lies at r from the pivot; it is pulled
    // by ω² r toward the pivot, so the reading leans away from it.
    const double rx = kSensor.x - pivot.x, ry = -(kSensor.y - pivot.y);
    const double radius = std::hypot(rx, ry);
    EXPECT_NEAR(std::hypot(s.acceleration.x, s.acceleration.y) * kG, omega * omega * radius,
                1e-6 * radius);
    EXPECT_NEAR(s.acceleration.x * kG, omega * omega * rx, 1e-6 * radius);
    EXPECT_NEAR(s.acceleration.y * kG, omega * omega * ry, 1e-6 * radius);
  }
}

// The application picks the pivot corner of a flat turn from the reading's
// signs at the turn's start: for a tablet that truly turns about a corner,
// with the turn speeding up, that must be the corner.
class TurnStart : public apptest::LaunchedApp {};

TEST_F(TurnStart, TheReadingAtATurnsStartPointsTheApplicationToTheTrueCorner) {
  VitraneforiPadViewController& c = vc();
  const std::pair<kit::Point, kit::Point> corners[] = {
      {kTopRight, c.geometry.topRight.anchor},
      {kTopLeft, c.geometry.topLeft.anchor},
      {kBottomLeft, c.geometry.bottomLeft.anchor},
      {kBottomRight, c.geometry.bottomRight.anchor}};
  for (const auto& [pivot, expected] : corners)
    for (const double angle : {kPi / 2, -kPi / 2}) {
      SCOPED_TRACE(std::to_string(pivot.x) + "," + std::to_string(pivot.y) + " turning " +
                   std::to_string(angle));
      SimulatedTablet tablet{device::tabletBody()};
      tablet.turn(angle, 1, pivot);
      // The first frame fast enough to start a turn (over 0.5 rad/s).
      kit::MotionSample s;
      int k = 1;
      for (; k < 120; ++k)
        if (std::fabs((s = *tablet.sample(k * kFrame)).rotationRate.z) > 0.5) break;
      ASSERT_LT(k, 12);
      const double scale = kG / 120 / 120;
      EXPECT_EQ(c.cornerFromQuadrant(s.acceleration.x * scale, s.acceleration.y * scale,
                                     s.rotationRate.z),
                expected);
    }
}

}  // namespace
