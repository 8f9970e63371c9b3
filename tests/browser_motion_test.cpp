// The browser's readings in the kit's terms: poses whose readings we know
// (the simulated tablet's, for the same pose), the page turned each way,
// Safari's signs, nulls, and the heading integrated for want of alpha.
#include "hosts/web/browser_motion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>

#include "app/device_facts.h"
#include "kit/simulated_tablet.h"

namespace {

using kit::MotionSample;
using kit::TabletSide;
using kit::Vector3;
using web::BrowserMotionInput;

constexpr double kPi = std::numbers::pi;
constexpr double kG = 9.80665;
constexpr double kNull = web::kNoReading;
const double kS = std::sin(10 * kPi / 180), kC = std::cos(10 * kPi / 180);

double radians(double degrees) { return degrees * kPi / 180; }
double angleBetween(double a, double b) { return std::remainder(a - b, 2 * kPi); }

void expectNear(const Vector3& a, const Vector3& b, const char* what) {
  EXPECT_NEAR(a.x, b.x, 1e-9) << what;
  EXPECT_NEAR(a.y, b.y, 1e-9) << what;
  EXPECT_NEAR(a.z, b.z, 1e-9) << what;
}

void expectSame(const MotionSample& a, const MotionSample& b) {
  EXPECT_NEAR(a.attitude.pitch, b.attitude.pitch, 1e-9);
  EXPECT_NEAR(a.attitude.roll, b.attitude.roll, 1e-9);
  EXPECT_NEAR(angleBetween(a.attitude.yaw, b.attitude.yaw), 0, 1e-9);
  expectNear(a.rotationRate, b.rotationRate, "rate");
  expectNear(a.gravity, b.gravity, "gravity");
  expectNear(a.acceleration, b.acceleration, "acceleration");
}

// A device lying still with this tilt, degrees: the table pushes it along
// `up` (device axes), which is what Chrome's accelerometer reads.
BrowserMotionInput still(double beta, double gamma, Vector3 up) {
  BrowserMotionInput in;
  in.alpha = 0, in.beta = beta, in.gamma = gamma;
  in.acceleration = {0, 0, 0};
  in.accelerationIncludingGravity = {up.x * kG, up.y * kG, up.z * kG};
  in.rotationRate = {0, 0, 0};
  return in;
}

MotionSample tabletReading(void (*move)(kit::SimulatedTablet&)) {
  kit::SimulatedTablet tablet{device::tabletBody()};
  move(tablet);
  tablet.step(10);
  return tablet.reading();
}

TEST(BrowserMotionPoses, FlatAndLiftedReadAsTheSimulatedTablet) {
  struct Case {
    const char* name;
    BrowserMotionInput input;
    void (*move)(kit::SimulatedTablet&);
  } cases[] = {
      {"flat", still(0, 0, {0, 0, 1}), [](kit::SimulatedTablet&) {}},
      {"top", still(10, 0, {0, kS, kC}),
       [](kit::SimulatedTablet& t) { t.lift(TabletSide::Top, radians(10), 1); }},
      {"right", still(0, -10, {kS, 0, kC}),
       [](kit::SimulatedTablet& t) { t.lift(TabletSide::Right, radians(10), 1); }},
      {"bottom", still(-10, 0, {0, -kS, kC}),
       [](kit::SimulatedTablet& t) { t.lift(TabletSide::Bottom, radians(10), 1); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const MotionSample expected = tabletReading(c.move);
    expectSame(*web::motionSampleFromBrowser(c.input), expected);
    // Without orientation angles, gravity and the tilt come from the
    // accelerometer, less the user's push or as it is.
    BrowserMotionInput motionOnly = c.input;
    motionOnly.beta = motionOnly.gamma = kNull;
    expectSame(*web::motionSampleFromBrowser(motionOnly), expected);
    motionOnly.acceleration = {};
    expectSame(*web::motionSampleFromBrowser(motionOnly), expected);
  }
}

TEST(BrowserMotionPoses, TurningCounterClockwiseReadsAsTheSimulatedTablet) {
  kit::SimulatedTablet tablet{device::tabletBody()};
  tablet.turnAtRate(kPi / 2);
  tablet.step(1);
  const MotionSample before = tablet.reading();
  tablet.step(1.1);
  const MotionSample after = tablet.reading();

  BrowserMotionInput in = still(0, 0, {0, 0, 1});
  in.rotationRate = {90, 0, 0};
  const MotionSample first = *web::motionSampleFromBrowser(in);
  in.alpha = 9;  // 0.1 s on
  const MotionSample second = *web::motionSampleFromBrowser(in);
  expectNear(first.rotationRate, before.rotationRate, "rate");
  EXPECT_GT(first.rotationRate.z, 0);
  EXPECT_NEAR(angleBetween(second.attitude.yaw, first.attitude.yaw),
              angleBetween(after.attitude.yaw, before.attitude.yaw), 1e-9);
}

TEST(BrowserMotionScreen, EachQuarterTurnReadsInThePagesAxes) {
  // The same gestures seen on the page: its right edge raised 10°, its top
  // raised 10°, turning about its x axis at 20°/s and its z at 30°/s; and
  // what the device's own axes make of them with the page turned.
  struct Case {
    double angle;
    BrowserMotionInput rightUp, topUp;
    web::BrowserRotationRate rate;
  } cases[] = {
      {0, still(0, -10, {kS, 0, kC}), still(10, 0, {0, kS, kC}), {30, 20, 0}},
      {90, still(-10, 0, {0, -kS, kC}), still(0, -10, {kS, 0, kC}), {30, 0, -20}},
      {180, still(0, 10, {-kS, 0, kC}), still(-10, 0, {0, -kS, kC}), {30, -20, 0}},
      {270, still(10, 0, {0, kS, kC}), still(0, 10, {-kS, 0, kC}), {30, 0, 20}},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.angle);
    for (double angle : {c.angle, c.angle + 30, c.angle - 360}) {  // rounded to the quarter turn
      c.rightUp.screenAngle = c.topUp.screenAngle = angle;
      c.rightUp.rotationRate = c.rate;
      MotionSample right = *web::motionSampleFromBrowser(c.rightUp);
      MotionSample top = *web::motionSampleFromBrowser(c.topUp);
      EXPECT_NEAR(right.attitude.roll, radians(-10), 1e-9);
      EXPECT_NEAR(right.attitude.pitch, 0, 1e-9);
      EXPECT_NEAR(angleBetween(right.attitude.yaw, kPi / 2 - radians(c.angle)), 0, 1e-9);
      expectNear(right.gravity, {-kS, 0, -kC}, "gravity, right up");
      expectNear(right.acceleration, {-kS, 0, -kC}, "acceleration, right up");
      expectNear(right.rotationRate, {radians(20), 0, radians(30)}, "rate");
      EXPECT_NEAR(top.attitude.pitch, radians(10), 1e-9);
      EXPECT_NEAR(top.attitude.roll, 0, 1e-9);
      expectNear(top.gravity, {0, -kS, -kC}, "gravity, top up");
    }
  }
}

TEST(BrowserMotionSigns, SafariReadsAsChromeWithItsSignsTurned) {
  struct Case {
    BrowserMotionInput input;
    Vector3 gravity;
  } cases[] = {{still(0, 0, {0, 0, 1}), {0, 0, -1}}, {still(10, 0, {0, kS, kC}), {0, -kS, -kC}}};
  for (const Case& c : cases) {
    BrowserMotionInput chrome = c.input;
    chrome.acceleration = {0.2 * kG, 0, 0};  // pushed toward +x
    chrome.accelerationIncludingGravity.x += 0.2 * kG;
    BrowserMotionInput safari = chrome;
    safari.accelerationSign = web::AccelerationSign::MinusZFaceUp;
    const web::BrowserVector &a = chrome.acceleration, &g = chrome.accelerationIncludingGravity;
    safari.acceleration = {-a.x, -a.y, -a.z};
    safari.accelerationIncludingGravity = {-g.x, -g.y, -g.z};
    // The accelerometer reads less on x, as the simulated tablet's does;
    // gravity is not bent by the push; without the accelerometer's own
    // reading, gravity plus the push stands for it.
    const Vector3 felt{c.gravity.x - 0.2, c.gravity.y, c.gravity.z};
    for (BrowserMotionInput in : {chrome, safari}) {
      in.beta = in.gamma = kNull;
      const MotionSample motionOnly = *web::motionSampleFromBrowser(in);
      expectNear(motionOnly.gravity, c.gravity, "gravity");
      expectNear(motionOnly.acceleration, felt, "accelerometer");
      in.beta = c.input.beta, in.gamma = c.input.gamma;
      in.accelerationIncludingGravity = {};
      expectNear(web::motionSampleFromBrowser(in)->acceleration, felt, "gravity plus push");
    }
  }
}

TEST(BrowserMotionNulls, NothingWithoutDownAndNeverANonFiniteValue) {
  BrowserMotionInput in;
  in.rotationRate = {90, 0, 0};
  in.acceleration = {1, 2, 3};
  EXPECT_FALSE(web::motionSampleFromBrowser(in)) << "no tilt, no accelerometer";
  in.accelerationIncludingGravity = in.acceleration = {0, 0, 0};
  EXPECT_FALSE(web::motionSampleFromBrowser(in)) << "a zero reading tells nothing";

  const double kInf = std::numeric_limits<double>::infinity(),
               kMax = std::numeric_limits<double>::max();
  const double values[] = {kNull, kInf, -kInf, kMax, -kMax, 0, 1, -45, 9.8, 1e-300, 720};
  std::mt19937 rng(7);
  auto any = [&] { return values[rng() % std::size(values)]; };
  web::BrowserMotionReadings readings;
  for (int i = 0; i < 20000; ++i) {
    BrowserMotionInput r{
        any(),
        any(),
        any(),
        {any(), any(), any()},
        {any(), any(), any()},
        {any(), any(), any()},
        any(),
        i % 2 ? web::AccelerationSign::MinusZFaceUp : web::AccelerationSign::PlusZFaceUp};
    const auto sample = web::motionSampleFromBrowser(r);
    ASSERT_TRUE(!sample || sample->isFinite()) << i;
    readings.onOrientation(r.alpha, r.beta, r.gamma);
    readings.onMotion(r.acceleration, r.accelerationIncludingGravity, r.rotationRate, any());
    readings.setScreenAngle(r.screenAngle);
    ASSERT_TRUE(!readings.latest() || readings.latest()->isFinite()) << i;
  }
}

TEST(BrowserMotionReadings, KeepsTheLastGoodReadingThroughNulls) {
  web::BrowserMotionReadings readings;
  readings.onOrientation(kNull, kNull, kNull);  // a desktop browser, no sensors
  readings.onMotion({}, {}, {}, 16);
  EXPECT_FALSE(readings.hasSensors());
  EXPECT_FALSE(readings.latest());

  readings.onOrientation(30, 10, 0);
  readings.onMotion({}, {0.1 * kG, kS * kG, kC * kG}, {5, 0, 0}, 16);
  ASSERT_TRUE(readings.hasSensors());
  EXPECT_FALSE(readings.isYawIntegrated());
  const MotionSample good = *readings.latest();
  readings.onOrientation(kNull, kNull, 0);
  readings.onMotion({kNull, 0, 0}, {kNull, kNull, kNull}, {kNull, 0, 0}, 16);
  expectSame(*readings.latest(), good);
  EXPECT_NEAR(good.attitude.pitch, radians(10), 1e-9);
  EXPECT_NEAR(good.acceleration.x, -0.1, 1e-9);
}

TEST(BrowserMotionReadings, IntegratesTheHeadingWithoutAlpha) {
  web::BrowserMotionReadings readings;
  const double yawAtStart = kPi / 2;
  // Flat, turning counter-clockwise at 90°/s for 1.6 s.
  readings.onOrientation(kNull, 0, 0);
  for (int i = 0; i < 100; ++i) readings.onMotion({0, 0, 0}, {0, 0, kG}, {90, 0, 0}, 16);
  EXPECT_TRUE(readings.isYawIntegrated());
  EXPECT_NEAR(angleBetween(readings.latest()->attitude.yaw, yawAtStart + radians(144)), 0, 1e-9);

  // Leaning 30° toward the top and turning about the vertical at 90°/s
  // for 1 s: the heading turns by 90°, not by the rate about the screen's z.
  readings = web::BrowserMotionReadings();
  readings.onOrientation(kNull, 30, 0);
  const double s30 = 0.5, c30 = std::cos(radians(30));
  for (int i = 0; i < 50; ++i) readings.onMotion({}, {}, {90 * c30, 0, 90 * s30}, 20);
  EXPECT_NEAR(angleBetween(readings.latest()->attitude.yaw, yawAtStart + kPi / 2), 0, 1e-9);

  // A corner lift (pitch and roll changing) moves no heading; a wrong
  // interval moves it by at most 0.1 s of turn, or not at all.
  readings = web::BrowserMotionReadings();
  readings.onOrientation(kNull, 20, -15);
  const double cg = std::cos(radians(-15)), sg = std::sin(radians(-15));
  for (int i = 0; i < 50; ++i) readings.onMotion({}, {}, {10 * sg, 10 * cg, -7}, 20);
  EXPECT_NEAR(angleBetween(readings.latest()->attitude.yaw, yawAtStart), 0, 1e-9);
  readings.onOrientation(kNull, 0, 0);
  for (double interval : {kNull, -16.0, 0.0, std::numeric_limits<double>::infinity()})
    readings.onMotion({}, {}, {90, 0, 0}, interval);
  EXPECT_NEAR(angleBetween(readings.latest()->attitude.yaw, yawAtStart), 0, 1e-9);
  readings.onMotion({}, {}, {90, 0, 0}, 1e6);
  EXPECT_NEAR(angleBetween(readings.latest()->attitude.yaw, yawAtStart + radians(9)), 0, 1e-9);

  // Alpha takes over when it comes, and the integration goes on from it
  // when it goes.
  readings.onOrientation(60, 0, 0);
  EXPECT_FALSE(readings.isYawIntegrated());
  readings.onMotion({}, {}, {90, 0, 0}, 16);
  EXPECT_NEAR(angleBetween(readings.latest()->attitude.yaw, yawAtStart + radians(60)), 0, 1e-9);
  readings.onOrientation(kNull, 0, 0);
  readings.onMotion({}, {}, {90, 0, 0}, 100);
  EXPECT_NEAR(angleBetween(readings.latest()->attitude.yaw, yawAtStart + radians(69)), 0, 1e-9);
}

}  // namespace
