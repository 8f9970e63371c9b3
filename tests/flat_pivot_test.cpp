// Flat turns about a point other than the screen centre: the pivot told by
// the sensors, the picture kept on the table while the tablet turns about
// it, the turns that are left alone, and the noisy sensors it is measured
// against.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "app/device_facts.h"
#include "app/vitrane_view_controller.h"
#include "geometry/flat_pivot_estimate.h"
#include "hosts/desktop/birds_eye.h"
#include "hosts/desktop/options.h"
#include "hosts/headless/illusion.h"
#include "hosts/headless/runner.h"
#include "hosts/headless/scenario.h"
#include "kit/simulated_tablet.h"

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kG = device::kPointsPerSecond2PerG;
constexpr double kFrame = 1.0 / 120;
const kit::Point kSensor{801, 396}, kCentre{384, 512};
// The screen's corners and a point two inches left of the screen.
const kit::Point kPivots[] = {{0, 0}, {768, 0}, {0, 1024}, {768, 1024}, {-264, 512}};

double distance(kit::Point a, kit::Point b) {
  return std::hypot(double(a.x) - b.x, double(a.y) - b.y);
}

// Feeds an estimator the readings of a flat quarter turn at `rate` (rad/s)
// about `pivot`, from half a second of lying still, and answers its
// estimate half a second after the turn.
PivotEstimate estimateOfTurn(kit::Point pivot, double rate, kit::TabletNoise noise = {}) {
  kit::SimulatedTablet tablet{device::tabletBody()};
  tablet.setNoise(noise);
  tablet.hold(0.5);
  tablet.turn(kPi / 2, kPi / 2 / rate + kit::SimulatedTablet::kEaseSeconds, pivot);
  tablet.hold(0.5);
  FlatPivotEstimator estimator(kSensor, kFlatPivotFloorInches * 132);
  SensorNoise learned;
  bool moved = false;
  for (int k = 1; k * kFrame <= tablet.movesEnd(); ++k) {
    const kit::MotionSample s = *tablet.sample(k * kFrame);
    const FlatReading r{k * kFrame, s.rotationRate.z, (s.gravity.x - s.acceleration.x) * kG,
                        (s.gravity.y - s.acceleration.y) * kG};
    moved = moved || std::fabs(r.rate - learned.gyroBias()) >= FlatPivotEstimator::kStillRate;
    if (!moved) {
      learned.learn(r);
      estimator.restart();
    }
    estimator.add(r, learned);
  }
  return estimator.estimate();
}

// --- The estimate --------------------------------------------------------------

TEST(FlatPivotEstimate, CleanReadingsTellThePivotOfAQuarterTurnFastOrSlow) {
  for (const double rate : {kPi / 2, kPi / 4})
    for (const kit::Point pivot : kPivots) {
      const PivotEstimate e = estimateOfTurn(pivot, rate);
      ASSERT_TRUE(e.known);
      EXPECT_LT(distance(e.pivot, pivot), 1.0) << pivot.x << "," << pivot.y << " at " << rate;
      EXPECT_NEAR(e.radius, distance(pivot, kSensor), 1.0);
      // Clean readings leave only what the sensor's place is known to.
      EXPECT_GE(e.uncertainty, kFlatPivotFloorInches * 132);
      EXPECT_LT(e.uncertainty, 2 * kFlatPivotFloorInches * 132);
    }
  EXPECT_LT(distance(estimateOfTurn(kCentre, kPi / 2).pivot, kCentre), 1.0);
}

TEST(FlatPivotEstimate, NoisyReadingsStayWithinTheUncertaintyTheyClaim) {
  for (std::uint64_t seed = 1; seed <= 4; ++seed)
    for (const kit::Point pivot : {kit::Point{0, 1024}, kit::Point{768, 0}}) {
      const PivotEstimate e = estimateOfTurn(pivot, kPi / 4, {0.01, 0.002, 0, seed});
      ASSERT_TRUE(e.known);
      EXPECT_LT(distance(e.pivot, pivot), 3 * e.uncertainty) << "seed " << seed;
      EXPECT_LT(e.uncertainty, 30);
    }
}

TEST(FlatPivotEstimate, AGyroscopeOffsetIsLearnedWhileStill) {
  const PivotEstimate e = estimateOfTurn({0, 1024}, kPi / 2, {0, 0.0005, 0.03, 7});
  ASSERT_TRUE(e.known);
  EXPECT_LT(distance(e.pivot, {0, 1024}), 3.0);

  SensorNoise noise;
  for (int k = 0; k < 120; ++k) noise.learn({k * kFrame, 0.03 + (k % 2 ? 0.001 : -0.001), 0, 0});
  EXPECT_NEAR(noise.gyroBias(), 0.03, 1e-3);
  EXPECT_NEAR(noise.gyroSigma(), 0.001, 2e-4);
}

TEST(FlatPivotEstimate, TooFewTurningFramesOrANonFiniteReadingTellNothing) {
  FlatPivotEstimator estimator(kSensor, 5);
  SensorNoise noise;
  for (int k = 0; k < 8; ++k)
    estimator.add({k * kFrame, k >= 3 && k < 6 ? 1.0 : 0.0, -300, 100}, noise);
  EXPECT_FALSE(estimator.estimate().known);
  EXPECT_EQ(estimator.estimate().turningFrames, 3);

  estimator.restart();
  for (int k = 0; k < 30; ++k) estimator.add({k * kFrame, 1.0, -300, 100}, noise);
  EXPECT_TRUE(estimator.estimate().known);
  estimator.add({30 * kFrame, NAN, 0, 0}, noise);
  EXPECT_TRUE(estimator.estimate().nonFinite);
  EXPECT_FALSE(estimator.estimate().known);
  estimator.restart();
  for (int k = 31; k < 40; ++k) estimator.add({k * kFrame, 1e200, 1e300, 0}, noise);
  EXPECT_TRUE(estimator.estimate().nonFinite);
}

TEST(FlatPivotEstimate, TheVerdictKeepsThePivotUnlessTheEstimateIsClearlyElsewhere) {
  using Kind = PivotVerdict::Kind;
  auto verdict = [](kit::Point pivot, double uncertainty, int frames = 20) {
    PivotEstimate e;
    e.known = frames >= kFlatPivotLeastFrames;
    e.turningFrames = frames;
    e.pivot = pivot;
    e.uncertainty = uncertainty;
    e.radius = distance(pivot, kSensor);
    return judgePivotEstimate(e, kCentre, 132).kind;
  };
  EXPECT_EQ(verdict({0, 1024}, 6), Kind::Move);
  EXPECT_EQ(verdict({0, 1024}, 6, 3), Kind::Unknown);
  EXPECT_EQ(verdict({0, 1024}, 45), Kind::Unknown);        // over 0.3 inch
  EXPECT_EQ(verdict({-4000, 512}, 6), Kind::TooFar);       // beyond the table
  EXPECT_EQ(verdict({790, 420}, 6), Kind::TooNear);        // under the finger on the sensor
  EXPECT_EQ(verdict({384 + 70, 512}, 6), Kind::AtPivot);   // within a finger of the centre
  EXPECT_EQ(verdict({384 + 90, 512}, 35), Kind::AtPivot);  // within three uncertainties
  EXPECT_EQ(verdict({384 + 90, 512}, 6), Kind::Move);
  PivotEstimate broken;
  broken.nonFinite = true;
  EXPECT_EQ(judgePivotEstimate(broken, kCentre, 132).kind, Kind::NonFinite);
}

// --- The noisy tablet ----------------------------------------------------------

TEST(SimulatedTabletNoise, SeededWhiteNoiseAndAnOffsetOnTheRawSensorsOnly) {
  const kit::TabletBody g = device::tabletBody();
  kit::SimulatedTablet quiet{g}, noisy{g}, again{g}, other{g};
  noisy.setNoise({0.01, 0.002, 0.005, 42});
  again.setNoise({0.01, 0.002, 0.005, 42});
  other.setNoise({0.01, 0.002, 0.005, 43});
  double sumA = 0, sumA2 = 0, sumW = 0, sumW2 = 0;
  const int n = 4000;
  for (int k = 1; k <= n; ++k) {
    const kit::MotionSample q = *quiet.sample(k * kFrame), s = *noisy.sample(k * kFrame);
    // The same seed and time, the same reading; another seed, another.
    EXPECT_EQ(s.acceleration, again.sample(k * kFrame)->acceleration);
    EXPECT_NE(s.acceleration, other.sample(k * kFrame)->acceleration);
    EXPECT_EQ(s.attitude.yaw, q.attitude.yaw);
    EXPECT_EQ(s.gravity, q.gravity);
    const double a = s.acceleration.x - q.acceleration.x, w = s.rotationRate.z - q.rotationRate.z;
    sumA += a, sumA2 += a * a, sumW += w, sumW2 += w * w;
  }
  EXPECT_NEAR(sumA / n, 0, 0.001);
  EXPECT_NEAR(std::sqrt(sumA2 / n), 0.01, 0.0005);
  EXPECT_NEAR(sumW / n, 0.005, 0.0001);
  EXPECT_NEAR(std::sqrt(sumW2 / n - (sumW / n) * (sumW / n)), 0.002, 0.0001);
  EXPECT_THROW(noisy.setNoise({-0.01, 0, 0, 0}), std::invalid_argument);
  EXPECT_THROW(noisy.setNoise({0, NAN, 0, 0}), std::invalid_argument);
}

// --- Scenario lines and the window's option ------------------------------------

headless::Scenario parse(const std::string& text) {
  return headless::parseScenario(text, "t.scn", ".", VitraneforiPadViewController::actionNames());
}

std::string errorOf(const std::string& text) {
  try {
    parse(text);
  } catch (const headless::ScenarioError& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(FlatPivotSettings, ScenarioLinesAndTheWindowsOption) {
  const headless::Scenario s = parse(
      "flat-pivot estimate\ntablet-noise seed=9 gyro=0.002 accel=0.01 bias=-0.001\n"
      "tablet hold 1\n");
  ASSERT_EQ(s.commands.size(), 3u);
  EXPECT_TRUE(s.commands[0].isConfiguration());
  EXPECT_EQ(std::get<headless::FlatPivot>(s.commands[0].body).mode, FlatPivotMode::Estimate);
  EXPECT_TRUE(s.commands[1].isConfiguration());
  EXPECT_EQ(std::get<headless::TabletNoiseLine>(s.commands[1].body).noise,
            (kit::TabletNoise{0.01, 0.002, -0.001, 9}));
  EXPECT_FALSE(s.commands[2].isConfiguration());
  EXPECT_EQ(std::get<headless::FlatPivot>(parse("flat-pivot centre\n").commands[0].body).mode,
            FlatPivotMode::Centre);

  const char* bad[][2] = {
      {"flat-pivot corner\n", "t.scn:1: expected: flat-pivot estimate|centre"},
      {"tablet hold 1\nflat-pivot estimate\n", "t.scn:2: \"flat-pivot\" is configuration"},
      {"tablet-noise accel=0.01\n", "t.scn:1: expected: tablet-noise accel=G gyro=RAD_S"},
      {"tablet-noise accel=0.01 gyro=-1\n", "t.scn:1: bad gyro \"-1\": a standard deviation"},
      {"tablet-noise accel=0.01 gyro=0 accel=0\n",
       "t.scn:1: tablet-noise key \"accel\" given twice"},
      {"tablet-noise accel=1e9 gyro=0\n", "t.scn:1: bad accel \"1e9\": at most 10"},
      {"tablet-noise accel=0 gyro=0 drift=1\n", "t.scn:1: unknown tablet-noise key \"drift\""},
      {"tablet-noise accel=0 gyro=0 seed=-1\n", "t.scn:1: bad seed \"-1\""},
  };
  for (const auto& [text, error] : bad)
    EXPECT_EQ(errorOf(text).rfind(error, 0), 0u) << errorOf(text);

  EXPECT_FALSE(desktop::parseArguments({}).options.flatPivotEstimate);
  EXPECT_TRUE(desktop::parseArguments({"--flat-pivot", "estimate"}).options.flatPivotEstimate);
  EXPECT_FALSE(desktop::parseArguments({"--flat-pivot=centre"}).options.flatPivotEstimate);
  EXPECT_EQ(desktop::parseArguments({"--flat-pivot", "corner"}).action,
            desktop::ParsedArguments::Action::Error);
}

// --- The mode in the application ------------------------------------------------

struct Outcome {
  std::string log;
  std::vector<double> illusions;       // the means
  std::vector<std::string> flatLines;  // the mode's own lines
};

Outcome run(const std::string& text) {
  std::ostringstream out;
  headless::Runner runner({}, out);
  runner.run(parse(text));
  Outcome r{out.str(), {}, {}};
  std::istringstream in(r.log);
  for (std::string line; std::getline(in, line);) {
    double mean = 0, max = 0;
    if (std::sscanf(line.c_str(), "ILLUSION %lf %lf", &mean, &max) == 2)
      r.illusions.push_back(mean);
    if (line.rfind("Flat turn", 0) == 0) r.flatLines.push_back(line);
  }
  return r;
}

std::string quarterTurn(kit::Point pivot, double seconds) {
  std::ostringstream s;
  s << "tablet hold 0.5\ntablet turn 90deg " << seconds << " about=" << pivot.x << "," << pivot.y
    << "\ntablet hold 0.5\nillusion\ndump\n";
  return s.str();
}

TEST(FlatPivotMode, OffItChangesNothingAndOnItKeepsCornerTurnsOnTheTable) {
  const std::string turns = quarterTurn({0, 1024}, 1.05) + "tablet lift right 5deg 0.5\n" +
                            "tablet turn 45deg 1\ntablet lower 0.5\n" + quarterTurn({768, 0}, 2.05);
  const Outcome plain = run(turns), centre = run("flat-pivot centre\n" + turns);
  EXPECT_EQ(centre.log, plain.log);
  EXPECT_TRUE(plain.flatLines.empty());
  EXPECT_EQ(plain.log.find("flatPivot"), std::string::npos);

  for (const char* noise : {"", "tablet-noise accel=0.01 gyro=0.002 seed=3\n"})
    for (const double seconds : {1.05, 2.05}) {  // 90 and 45 degrees a second
      for (const kit::Point pivot : kPivots) {
        const Outcome off = run(noise + quarterTurn(pivot, seconds));
        const Outcome on =
            run(std::string("flat-pivot estimate\n") + noise + quarterTurn(pivot, seconds));
        ASSERT_EQ(on.illusions.size(), 1u);
        EXPECT_GT(off.illusions[0], 900);
        EXPECT_LT(on.illusions[0], *noise ? 40 : 10) << noise << pivot.x << "," << pivot.y;
        EXPECT_EQ(on.flatLines.size(), 1u) << on.log;
      }
      // About the centre the estimate cannot be told from the pivot in force.
      const Outcome on =
          run(std::string("flat-pivot estimate\n") + noise + quarterTurn(kCentre, seconds));
      EXPECT_EQ(on.illusions, std::vector<double>{0});
      ASSERT_EQ(on.flatLines.size(), 1u);
      EXPECT_NE(on.flatLines[0].find("of the pivot in force; the pivot stays"), std::string::npos);
    }
}

TEST(FlatPivotMode, SlowAndLiftedTurnsAreLeftAsTheyWere) {
  const std::string slow =
      "tablet hold 0.5\ntablet turn 20deg 1.5 about=0,1024\ntablet hold 0.5\nillusion\n";
  const std::string lifted =
      "tablet hold 0.25\ntablet lift right 5deg 0.5\ntablet turn 45deg 1\ntablet hold 0.5\n"
      "illusion\ntablet lower 0.5\ntablet hold 0.25\nillusion\n";
  for (const std::string& turns : {slow, lifted}) {
    const Outcome off = run(turns), on = run("flat-pivot estimate\n" + turns);
    EXPECT_EQ(on.illusions, off.illusions);
    EXPECT_TRUE(on.flatLines.empty()) << on.log;
  }
}

TEST(FlatPivotMode, AfterALiftTheTabletLaidFlatIsFollowedToo) {
  // Once a gravity pivot has been taken no flat turn starts without the
  // mode; with it, the lying tablet's turns are followed all the same.
  const std::string turns =
      "tablet lift right 5deg 0.5\ntablet lower 0.5\n" + quarterTurn({0, 1024}, 1.05);
  EXPECT_GT(run(turns).illusions[0], 900);
  EXPECT_LT(run("flat-pivot estimate\n" + turns).illusions[0], 10);
}

TEST(FlatPivotMode, TurnsThatCannotBeToldLeaveThePivotWithOneLineSayingWhy) {
  struct Case {
    std::string turns, why;
  };
  const Case cases[] = {
      {"motion rate.z=0.6\nframes 3\nmotion rate.z=0\nframes 30\n",
       "too short or too slow to tell"},
      {"motion rate.z=1e200 accel=1e200,0,-1\nframes 20\nmotion rate.z=0 accel=0,0,-1\nframes 30\n",
       "not finite numbers"},
      {"tablet turn 90deg 1.05 about=-5000,512\ntablet hold 0.5\n", "beyond the table"},
      {"tablet turn 90deg 1.05 about=801,396\ntablet hold 0.5\n", "less than a finger's width"},
  };
  for (const Case& c : cases) {
    const std::string turns = "tablet hold 0.5\n" + c.turns + "dump\n";
    const Outcome off = run(turns), on = run("flat-pivot estimate\n" + turns);
    ASSERT_EQ(on.flatLines.size(), 1u) << on.log;
    EXPECT_NE(on.flatLines[0].find(c.why), std::string::npos) << on.flatLines[0];
    EXPECT_NE(on.log.find("\"currentAnchor\":[384.0,512.0]"), std::string::npos);
    // The picture is where it would have been without the mode.
    const auto views = [](const std::string& log) { return log.substr(log.find("\"views\"")); };
    EXPECT_EQ(views(on.log), views(off.log));
  }
}

// Drives frames one at a time from a tablet of the test's own.
class FlatPivotFrames : public ::testing::Test {
 protected:
  void SetUp() override {
    runner.configure(headless::FlatPivot{FlatPivotMode::Estimate});
    runner.launch();
  }
  VitraneforiPadViewController& vc() { return *runner.controller(); }

  // Every frame of the moves queued on `tablet`, calling check after each.
  template <typename Check>
  void play(Check check) {
    kit::Accelerometer& accelerometer = runner.platform()->accelerometer();
    tablet.step(*accelerometer.nextDeliveryTime() - kFrame);
    while (tablet.isMoving()) {
      const double due = *accelerometer.nextDeliveryTime();
      runner.motion().current = *tablet.sample(due);
      before = state();
      runner.advanceTo(due);
      check();
    }
  }

  struct State {
    headless::Affine2 picture;  // picture points to the screen
    kit::AffineTransform heading;
    kit::Point pivot;
  };
  State state() {
    return {headless::viewToScreen(*vc().outlets.stretcherView),
            vc().outlets.rotatingView->transform(), vc().pivot.currentAnchor()};
  }
  // How far the last frame moved the picture at the screen's corners and
  // centre beyond turning it by the heading's change about the pivot.
  double unexplainedMove() {
    const State now = state();
    const headless::Affine2 back = before.picture.inverted();
    double most = 0;
    for (const kit::Point s : {kit::Point{0, 0}, {768, 0}, {0, 1024}, {768, 1024}, kCentre}) {
      const auto w = back.apply(s.x, s.y);
      const auto was = before.picture.apply(w.x, w.y);
      const kit::Point arm{static_cast<float>(was.x - before.pivot.x),
                           static_cast<float>(was.y - before.pivot.y)};
      const kit::Point turned =
          now.heading.applyToVector(before.heading.inverted().applyToVector(arm));
      const auto is = now.picture.apply(w.x, w.y);
      most = std::max(
          most, std::hypot(is.x - before.pivot.x - turned.x, is.y - before.pivot.y - turned.y));
    }
    return most;
  }

  std::ostringstream out;
  headless::Runner runner{{}, out};
  kit::SimulatedTablet tablet{device::tabletBody(), 0};
  State before;
};

TEST_F(FlatPivotFrames, ThePictureNeverMovesMoreThanTheEstimatesUncertaintyInAFrame) {
  tablet.setNoise({0.01, 0.002, 0, 5});
  tablet.hold(0.5);
  tablet.turn(kPi / 2, 1.05, kit::Point{0, 1024});
  tablet.turn(-kPi / 3, 0.5, kit::Point{768, 0});
  tablet.hold(0.5);
  int corrected = 0;
  bool moved = false;
  play([&] {
    const double move = unexplainedMove();
    const FlatPivotTracker& fp = vc().flatPivot;
    EXPECT_LE(move, fp.lastCorrection + 0.01);
    EXPECT_LE(fp.lastCorrection, fp.lastAllowance + 1e-9);
    EXPECT_LE(move, fp.bestUncertainty + 0.01);
    if (fp.lastCorrection > 0) {
      ++corrected;
      EXPECT_GE(fp.lastAllowance, kFlatPivotFloorInches * 132);
    }
    moved = moved || !(vc().pivot.currentAnchor() == kCentre);
  });
  EXPECT_GT(corrected, 5);
  EXPECT_TRUE(moved);
  // At rest again: the picture set right, the pivot given back.
  EXPECT_EQ(vc().flatPivot.phase, FlatPivotTracker::Phase::Ready);
  EXPECT_EQ(vc().pivot.currentAnchor(), kCentre);
}

TEST_F(FlatPivotFrames, AFingerTwistDuringTheTurnWins) {
  tablet.hold(0.25);
  tablet.turn(kPi / 2, 1.05, kit::Point{0, 1024});
  int frame = 0;
  play([&] {
    ++frame;
    if (frame == 60) {
      ASSERT_TRUE(vc().flatPivot.adopted);
      // Two fingers twist about (200, 300) between this frame and the next.
      vc().shiftAnchor({200, 300});
      vc().pivot.placedBy(Pivot::Reason::Twist);
    }
    if (frame > 60) {
      EXPECT_EQ(vc().pivot.currentAnchor(), (kit::Point{200, 300}));
      EXPECT_EQ(vc().flatPivot.phase, FlatPivotTracker::Phase::Waiting);
      EXPECT_EQ(vc().flatPivot.lastCorrection, 0);
    }
  });
  EXPECT_GT(frame, 100);
}

// --- The window's view from above ---------------------------------------------

TEST(FlatPivotBirdsEye, TheEstimatedPivotIsMarkedWhereThatPointOfTheTabletLies) {
  kit::SimulatedTablet tablet{device::tabletBody()};
  desktop::BirdsEyeView view(tablet.geometry());
  desktop::BirdsEyeView::State s;
  s.pose = tablet.pose();
  s.pivot = tablet.defaultPivot();
  view.update(s);
  EXPECT_FALSE(view.estimatedPivotMark());
  s.estimatedPivot = kit::Point{0, 1024};
  view.update(s);
  ASSERT_TRUE(view.estimatedPivotMark());
  const kit::Point expected = view.panelPoint(tablet.pose().tablePointUnder(0, 1024));
  EXPECT_NEAR(view.estimatedPivotMark()->x, expected.x, 0.01);
  EXPECT_NEAR(view.estimatedPivotMark()->y, expected.y, 0.01);
}

}  // namespace
