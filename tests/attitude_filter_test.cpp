#include "kit/attitude_filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDt = 1.0 / 120;
constexpr double kDeg = kPi / 180;

double length(const kit::Vector3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

// Feeds `seconds` of one reading.
void feed(kit::AttitudeFilter& f, double seconds, kit::Vector3 accel, kit::Vector3 gyro) {
  for (int i = 0, n = static_cast<int>(std::lround(seconds / kDt)); i < n; ++i)
    ASSERT_TRUE(f.update(accel, gyro, std::nullopt, kDt));
}

TEST(AttitudeFilter, StartsFromTheFirstReadingAtTheStartingHeading) {
  kit::AttitudeFilter f;
  // The top edge raised by 30°: gravity points toward the bottom edge.
  ASSERT_TRUE(f.update({0, -std::sin(30 * kDeg), -std::cos(30 * kDeg)}, {}, std::nullopt, 0));
  EXPECT_NEAR(f.attitude().pitch, 30 * kDeg, 1e-9);
  EXPECT_NEAR(f.attitude().roll, 0, 1e-9);
  EXPECT_NEAR(f.attitude().yaw, kPi / 2, 1e-9);
  // The left side raised by 20°: gravity points toward the right edge.
  kit::AttitudeFilter g;
  ASSERT_TRUE(g.update({std::sin(20 * kDeg), 0, -std::cos(20 * kDeg)}, {}, std::nullopt, 0));
  EXPECT_NEAR(g.attitude().roll, 20 * kDeg, 1e-9);
  EXPECT_NEAR(g.gravity().x, std::sin(20 * kDeg), 1e-9);
}

TEST(AttitudeFilter, ASteadyTurnMovesTheYawByItsAngleCounterClockwisePositive) {
  kit::AttitudeFilter f;
  feed(f, 1, {0, 0, -1}, {});
  const double before = f.attitude().yaw;
  feed(f, 1, {0, 0, -1}, {0, 0, 1});
  const double turned = std::remainder(f.attitude().yaw - before, 2 * kPi);
  EXPECT_NEAR(turned, 1, 0.01);
  EXPECT_NEAR(f.rotationRate().z, 1, 1e-9);
  // The other way round.
  feed(f, 0.5, {0, 0, -1}, {0, 0, -1});
  EXPECT_NEAR(std::remainder(f.attitude().yaw - before, 2 * kPi), 0.5, 0.01);
}

TEST(AttitudeFilter, ALiftReadsItsAngleOnceSettledEvenFromAGyroscopeThatReadsShort) {
  kit::AttitudeFilter f;
  feed(f, 1, {0, 0, -1}, {});
  // The top edge rises 5° in half a second; the gyroscope sees only 90 % of it.
  const double rate = 5 * kDeg / 0.5;
  for (int i = 1; i <= 60; ++i) {
    const double p = rate * i * kDt;
    ASSERT_TRUE(f.update({0, -std::sin(p), -std::cos(p)}, {0.9 * rate, 0, 0}, std::nullopt, kDt));
  }
  feed(f, 3, {0, -std::sin(5 * kDeg), -std::cos(5 * kDeg)}, {});
  EXPECT_NEAR(f.attitude().pitch / kDeg, 5, 0.2);
  EXPECT_NEAR(f.attitude().roll / kDeg, 0, 0.2);
  EXPECT_NEAR(f.attitude().yaw, kPi / 2, 0.2 * kDeg);
  EXPECT_LT(f.gravity().y, 0);  // toward the bottom edge, which rests
}

TEST(AttitudeFilter, GravityKeepsUnitLengthThroughRandomMotion) {
  kit::AttitudeFilter f;
  std::mt19937 random(7);
  std::normal_distribution<double> rate(0, 2), push(0, 0.3);
  ASSERT_TRUE(f.update({0, 0, -1}, {}, std::nullopt, 0));
  for (int i = 0; i < 1200; ++i) {
    ASSERT_TRUE(f.update({push(random), push(random), -1 + push(random)},
                         {rate(random), rate(random), rate(random)}, std::nullopt, kDt));
    ASSERT_NEAR(length(f.gravity()), 1, 0.01);
    const kit::Attitude a = f.attitude();
    ASSERT_TRUE(std::isfinite(a.yaw) && std::isfinite(a.pitch) && std::isfinite(a.roll));
  }
}

TEST(AttitudeFilter, AStillTabletsHeadingDriftsLessThanADegreeAMinuteDespiteBiasAndNoise) {
  kit::AttitudeFilter f;
  std::mt19937 random(2024);
  // A typical MEMS gyroscope: up to half a degree a second of bias, about
  // 0.1 °/s of noise at this rate; the accelerometer a few milli-g.
  const kit::Vector3 bias{0.004, -0.006, 0.0087};
  std::normal_distribution<double> gyroNoise(0, 0.0015), accelNoise(0, 0.003);
  auto noisy = [&](kit::Vector3 v, std::normal_distribution<double>& n) {
    return kit::Vector3{v.x + n(random), v.y + n(random), v.z + n(random)};
  };
  ASSERT_TRUE(f.update(noisy({0, 0, -1}, accelNoise), noisy(bias, gyroNoise), std::nullopt, 0));
  const double start = f.attitude().yaw;
  for (int i = 0; i < 60 * 120; ++i)
    ASSERT_TRUE(f.update(noisy({0, 0, -1}, accelNoise), noisy(bias, gyroNoise), std::nullopt, kDt));
  EXPECT_LT(std::abs(std::remainder(f.attitude().yaw - start, 2 * kPi)) / kDeg, 1.0);
  ASSERT_TRUE(f.gyroBias().has_value());
  EXPECT_NEAR(f.gyroBias()->z, bias.z, 0.001);
  EXPECT_TRUE(f.isStill());
  // A real turn afterwards is not mistaken for bias.
  feed(f, 1, {0, 0, -1}, {bias.x, bias.y, bias.z + 0.5});
  EXPECT_FALSE(f.isStill());
  EXPECT_NEAR(f.rotationRate().z, 0.5, 0.002);
}

TEST(AttitudeFilter, TheAccelerometerIsNotBelievedWhileTheTabletIsPushedOrTurnedFast) {
  kit::AttitudeFilter f;
  feed(f, 1, {0, 0, -1}, {});
  // A hard push sideways: 0.5 g on x, no turning.
  feed(f, 1, {0.5, 0, -1}, {});
  EXPECT_NEAR(f.attitude().roll, 0, 1e-9);
  // A fast spin with the sensor off the axis: 1 g in the wrong direction.
  feed(f, 0.5, {0.6, 0, -0.8}, {0, 0, 3});
  EXPECT_NEAR(f.attitude().roll, 0, 1e-6);
  EXPECT_NEAR(f.attitude().pitch, 0, 1e-6);
}

TEST(AttitudeFilter, AMagnetometerGivesTheHeadingFromMagneticNorth) {
  // The top edge toward north is yaw π/2; turned 0.3 rad counter-clockwise
  // from there, north (and down, as the field dips) lies to the right.
  const double yaw = kPi / 2 + 0.3;
  const double psi = yaw - kPi / 2;
  const kit::Vector3 field{0, 0.2, -0.4};  // world: x east, y north, z up
  const kit::Vector3 m{std::cos(psi) * field.x + std::sin(psi) * field.y,
                       -std::sin(psi) * field.x + std::cos(psi) * field.y, field.z};
  kit::AttitudeFilter f;
  ASSERT_TRUE(f.update({0, 0, -1}, {}, m, 0));
  EXPECT_NEAR(f.attitude().yaw, yaw, 1e-6);
  // A gyroscope that drifts is held to the field.
  for (int i = 0; i < 120 * 20; ++i) ASSERT_TRUE(f.update({0, 0, -1}, {0, 0, 0.02}, m, kDt));
  EXPECT_NEAR(f.attitude().yaw, yaw, 0.1);
}

TEST(AttitudeFilter, RefusesReadingsThatAreNotFinite) {
  kit::AttitudeFilter f;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_FALSE(f.update({nan, 0, -1}, {}, std::nullopt, 0));
  EXPECT_FALSE(f.update({0, 0, 0}, {}, std::nullopt, 0));
  EXPECT_FALSE(f.isInitialised());
  ASSERT_TRUE(f.update({0, 0, -1}, {}, std::nullopt, 0));
  EXPECT_FALSE(
      f.update({0, 0, -1}, {0, 0, std::numeric_limits<double>::infinity()}, std::nullopt, kDt));
  EXPECT_TRUE(f.update({0, 0, -1}, {0, 0, 1}, std::nullopt, nan));  // no time passed
  EXPECT_NEAR(f.attitude().yaw, kPi / 2, 1e-12);
}

}  // namespace
