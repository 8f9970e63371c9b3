// The runner's tablet lines and the illusion figure: frames and samples,
// the checks made before anything runs, and how well the picture matches
// the table for moves whose answer we know.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>

#include "app/vitrane_view_controller.h"
#include "hosts/headless/runner.h"
#include "hosts/headless/scenario.h"

namespace {

using namespace headless;

constexpr double kPi = std::numbers::pi;

Scenario parse(const std::string& text) {
  return parseScenario(text, "t.scn", ".", VitraneforiPadViewController::actionNames());
}

std::string errorOf(const std::string& text) {
  try {
    parse(text);
  } catch (const ScenarioError& e) {
    return e.what();
  }
  return "(no error)";
}

class TabletLines : public ::testing::Test {
 protected:
  void run(const std::string& text) { runner.run(parse(text)); }

  // The figures of every ILLUSION line so far.
  std::vector<IllusionFigures> illusions() const {
    std::vector<IllusionFigures> v;
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);)
      if (line.rfind("ILLUSION ", 0) == 0) {
        IllusionFigures f;
        EXPECT_EQ(std::sscanf(line.c_str(), "ILLUSION %lf %lf", &f.mean, &f.max), 2) << line;
        v.push_back(f);
      }
    return v;
  }
  VitraneforiPadViewController& vc() { return *runner.controller(); }

  std::ostringstream out;
  Runner runner{{}, out};
};

// --- Parsing -----------------------------------------------------------------

TEST(TabletLineParsing, BadLinesStopTheScenarioBeforeAnythingRuns) {
  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"illusion\n", "t.scn:1: illusion needs tablet lines first"},
      {"frames 3\nillusion\ntablet hold 1\n", "t.scn:2: illusion needs tablet lines first"},
      {"tablet hold 1\nillusion now\n", "t.scn:2: expected: illusion"},
      {"tablet spin 1 1\n", "t.scn:1: unknown tablet move \"spin\""},
      {"tablet turn 90deg\n", "t.scn:1: expected: tablet turn ANGLE SECONDS [about=X,Y]"},
      {"tablet turn 1 0.004\n", "t.scn:1: bad seconds \"0.004\": a move lasts at least one frame"},
      {"tablet turn 1 1e300\n", "t.scn:1: bad seconds \"1e300\": too long"},
      {"tablet turn 1 1 about=3\n", "t.scn:1: bad pivot \"3\": expected X,Y"},
      {"tablet turn 1 1 around=3,4\n", "t.scn:1: bad setting \"around=3,4\""},
      {"tablet turn nan 1\n", "t.scn:1: bad angle \"nan\": not finite"},
      {"tablet turn 1e300 1\n", "t.scn:1: bad angle \"1e300\": too large"},
      {"tablet turn 1 1 about=0,1e30\n", "t.scn:1: bad pivot \"0,1e30\": too large"},
      {"tablet slide 1e9 0 1\n", "t.scn:1: bad distance \"1e9\": too large"},
      {"tablet lift front 5deg 1\n", "t.scn:1: bad side \"front\""},
      {"tablet lift top 90deg 1\n",
       "t.scn:1: bad angle \"90deg\": a lift is from 0 to under 90deg"},
      {"tablet slide 1 2\n", "t.scn:1: expected: tablet slide DX DY SECONDS"},
      // The pose the earlier lines leave decides: lifted on the right, the
      // tablet rests on its left side and cannot lift it.
      {"tablet lift right 5deg 0.5\ntablet turn 1 1\ntablet lift left 5deg 0.5\n",
       "t.scn:3: tablet lift: cannot lift the left side: the opposite side is off the table"},
      {"tablet lift top-left 5deg 0.5\ntablet lift bottom 5deg 0.5\n",
       "t.scn:2: tablet lift: cannot lift the bottom side"},
  };
  for (const Case& c : cases) {
    const std::string error = errorOf(c.text);
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.text << " -> " << error;
  }
  EXPECT_EQ(errorOf("tablet lift right 5deg 0.5\ntablet lower 0.5\ntablet lift left 5deg 0.5\n"
                    "tablet lift top-left 9deg 0.5\ntablet hold 0\nillusion\n"),
            "(no error)");
}

TEST(TabletLineParsing, ALineLastsItsSecondsInWholeFrames) {
  const Scenario s = parse(
      "tablet turn 90deg 1 about=-72.06,1112.6\n"
      "tablet hold 0.004\n"
      "tablet slide 3 -4 0.0125\n");
  ASSERT_EQ(s.commands.size(), 3u);
  const auto& turn = std::get<TabletLine>(s.commands[0].body);
  EXPECT_EQ(turn.kind, TabletLine::Kind::Turn);
  EXPECT_DOUBLE_EQ(turn.angle, kPi / 2);
  EXPECT_EQ(turn.frames, 120);
  ASSERT_TRUE(turn.about.has_value());
  EXPECT_EQ(*turn.about, (kit::Point{-72.06f, 1112.6f}));
  EXPECT_EQ(std::get<TabletLine>(s.commands[1].body).frames, 0);
  EXPECT_EQ(std::get<TabletLine>(s.commands[2].body).frames, 2);  // 1.5 rounds up
}

// --- Running ------------------------------------------------------------------

TEST_F(TabletLines, EachLineDeliversItsFramesAndLeavesTheStillTabletsSample) {
  run("tablet turn 90deg 1\ntablet hold 0.004\ntablet hold 0.5\n");
  EXPECT_EQ(runner.framesDelivered(), 180u);
  const kit::MotionSample& s = runner.motion().current;
  EXPECT_DOUBLE_EQ(s.attitude.yaw, kPi);
  EXPECT_EQ(s.rotationRate, (kit::Vector3{0, 0, 0}));
  EXPECT_EQ(s.acceleration, s.gravity);
  // The picture turned a quarter clockwise on screen.
  const kit::AffineTransform t = vc().outlets.rotatingView->transform();
  EXPECT_NEAR(t.a, 0, 1e-6);
  EXPECT_NEAR(t.b, 1, 1e-6);
}

TEST_F(TabletLines, MotionLinesStillChangeTheSampleUntilTheNextTabletLine) {
  run("tablet turn 90deg 0.5\nmotion yaw=90deg\nframes 2\n");
  EXPECT_TRUE(vc().outlets.rotatingView->transform().isIdentity());
  run("tablet hold 0.1\n");
  EXPECT_NEAR(vc().outlets.rotatingView->transform().b, 1, 1e-6);
}

TEST_F(TabletLines, ALiftedSideTiltsTheShadowAndMovesThePivotToTheTabletsRestingCorner) {
  run("tablet lift top 5deg 0.5\n");
  EXPECT_GT(vc().outlets.bottomEdge->frame().size.height,
            vc().outlets.topEdge->frame().size.height);
  EXPECT_EQ(vc().pivot.currentAnchor(), runner.tablet().tablet().defaultPivot());
  EXPECT_EQ(vc().pivot.currentAnchor(), vc().geometry.bottomRight.anchor);
  run("tablet lower 0.5\ntablet lift left 5deg 0.5\n");
  EXPECT_GT(vc().outlets.rightEdge->frame().size.width, vc().outlets.leftEdge->frame().size.width);
  EXPECT_EQ(vc().pivot.currentAnchor(), vc().geometry.bottomRight.anchor);
  run("tablet lower 0.5\ntablet lift right 5deg 0.5\n");
  EXPECT_GT(vc().outlets.leftEdge->frame().size.width, vc().outlets.rightEdge->frame().size.width);
  EXPECT_EQ(vc().pivot.currentAnchor(), runner.tablet().tablet().defaultPivot());
  EXPECT_EQ(vc().pivot.currentAnchor(), vc().geometry.bottomLeft.anchor);
  run("tablet lower 0.5\ntablet lift bottom 5deg 0.5\n");
  EXPECT_EQ(vc().pivot.currentAnchor(), vc().geometry.topRight.anchor);
}

// --- The figure ---------------------------------------------------------------

TEST_F(TabletLines, AFlatQuarterTurnAboutTheCentreKeepsThePictureOnTheTable) {
  run("tablet hold 0.5\ntablet turn 90deg 1\ntablet turn -30deg 0.25\nillusion\n");
  const auto f = illusions();
  ASSERT_EQ(f.size(), 1u);
  EXPECT_LT(f[0].max, 0.01);
  EXPECT_EQ(out.str().find("ILLUSION 0.00"), out.str().rfind("ILLUSION"));
}

TEST_F(TabletLines, ASlideShowsItsWholeDistanceEverywhere) {
  // Nothing in the application follows a slide: the picture stays, the
  // table moves by the slide under every point of the screen.
  run("tablet slide 30 40 0.5\nillusion\ntablet turn 90deg 0.5\nillusion\n");
  const auto f = illusions();
  ASSERT_EQ(f.size(), 2u);
  EXPECT_NEAR(f[0].mean, 50, 1e-3);
  EXPECT_NEAR(f[0].max, 50, 1e-3);
  EXPECT_NEAR(f[1].max, 50, 1e-3);  // the turn about the centre adds nothing
  EXPECT_NE(out.str().find("ILLUSION 50.000 50.000"), std::string::npos);
}

TEST_F(TabletLines, AFlatTurnAboutACornerIsOffByTheChordBetweenTheTwoPivots) {
  // The picture turns about the centre, the table about the corner: the two
  // differ by the same shift everywhere, 2 sin(θ/2) times their distance.
  run("tablet turn 60deg 0.5 about=-72.06,1112.6\nillusion\n");
  const auto f = illusions();
  ASSERT_EQ(f.size(), 1u);
  const double expected = 2 * std::sin(kPi / 6) * std::hypot(384 + 72.06, 1112.6 - 512);
  EXPECT_NEAR(f[0].mean, expected, 0.01);
  EXPECT_NEAR(f[0].max, expected, 0.01);
}

}  // namespace
