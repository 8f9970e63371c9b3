// World gestures played as whole scenarios: fingers through the runner's
// touch lines, answers through its probes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <sstream>
#include <string>

#include "app/vitrane_view_controller.h"
#include "hosts/headless/runner.h"
#include "hosts/headless/scenario.h"

namespace {

class WorldScenario : public ::testing::Test {
 protected:
  void play(const std::string& text) {
    runner.run(headless::parseScenario(text, "world.scn", ".",
                                       VitraneforiPadViewController::actionNames()));
  }
  VitraneforiPadViewController& vc() { return *runner.controller(); }
  kit::View* root() { return vc().view().get(); }

  // The screen point where the runner's probe now shows a point of the tiles.
  kit::Point probe(kit::Point tilePoint) {
    char line[128];
    std::snprintf(line, sizeof line, "probe seamlessTiles %.4f %.4f\n", tilePoint.x, tilePoint.y);
    out.str("");
    play(line);
    std::istringstream in(out.str());
    std::string word, view;
    double x = 0, y = 0, sx = NAN, sy = NAN;
    in >> word >> view >> x >> y >> sx >> sy;
    EXPECT_EQ(word, "PROBE");
    return {static_cast<float>(sx), static_cast<float>(sy)};
  }

  std::ostringstream out;
  headless::Runner runner{{}, out};
};

TEST_F(WorldScenario, ATwistMovesThePivotUnderTheFingersWithoutMovingThePicture) {
  // The instructions panel lies over the middle of the table and takes the
  // touches that land on it.
  play("frames 2\naction hideInstructionsPanel\n");
  const kit::Point fingers{300, 400};
  const kit::Point elsewhere{600, 400};
  const kit::Point underFingers =
      root()->convertPointToView(fingers, vc().outlets.seamlessTiles.get());
  const kit::Point underElsewhere =
      root()->convertPointToView(elsewhere, vc().outlets.seamlessTiles.get());

  play("twist 300 400 100 30deg 0.5\nframes 2\n");

  EXPECT_NEAR(vc().pivot.currentAnchor().x, fingers.x, 1.0);
  EXPECT_NEAR(vc().pivot.currentAnchor().y, fingers.y, 1.0);
  EXPECT_TRUE(vc().pivot.anchorSetByTwist());

  // The table point under the fingers is still there; one beside them has
  // turned with the fingers, clockwise on screen, about them.
  const kit::Point stayed = probe(underFingers);
  EXPECT_NEAR(stayed.x, fingers.x, 1.0);
  EXPECT_NEAR(stayed.y, fingers.y, 1.0);
  const kit::Point turned = probe(underElsewhere);
  const double angle = std::atan2(turned.y - fingers.y, turned.x - fingers.x);
  EXPECT_NEAR(angle, 30 * std::numbers::pi / 180, 0.02);
  EXPECT_NEAR(std::hypot(turned.x - fingers.x, turned.y - fingers.y), 300, 1.0);

  // The flat, still tablet keeps the pivot the fingers chose.
  play("frames 60\n");
  EXPECT_NEAR(vc().pivot.currentAnchor().x, fingers.x, 1.0);
}

TEST_F(WorldScenario, ADoubleTapOnTheTableZoomsOutAndHidesThePanel) {
  play("frames 2\ndoubletap 400 900\nwait 0.6\n");
  EXPECT_TRUE(vc().zoom.longShot);
  EXPECT_EQ(vc().outlets.instructionsView->alpha(), 0.0f);
  play("press 400 900 0.6\n");
  EXPECT_GT(vc().outlets.instructionsView->alpha(), 0.0f);
  play("doubletap 400 900\nwait 0.6\n");
  EXPECT_FALSE(vc().zoom.longShot);
  EXPECT_TRUE(vc().zoom.isUnityScale);
}

TEST_F(WorldScenario, ADragMovesTheTableWithTheFingerAndStopsWithIt) {
  play("frames 2\naction hideInstructionsPanel\n");
  const kit::Point start{200, 800};
  const kit::Point under = root()->convertPointToView(start, vc().outlets.seamlessTiles.get());
  play("drag 200 800 350 700 0.5\nframes 30\n");
  const kit::Point now = probe(under);
  EXPECT_NEAR(now.x, 350, 2.0);
  EXPECT_NEAR(now.y, 700, 2.0);
}

TEST_F(WorldScenario, APinchZoomsTheTableWithinItsLimits) {
  play("frames 2\naction hideInstructionsPanel\npinch 384 512 100 180 0.5\n");
  const kit::AffineTransform t = vc().outlets.telescoperView->transform();
  EXPECT_NEAR(std::sqrt(t.a * t.a + t.c * t.c), 1.8, 0.05);
  EXPECT_FALSE(vc().zoom.isUnityScale);
  play("pinch 384 512 100 300 0.5\n");  // to 5.4: refused step by step past 2
  const kit::AffineTransform u = vc().outlets.telescoperView->transform();
  EXPECT_LE(std::sqrt(u.a * u.a + u.c * u.c), 2.0 + 1e-5);
}

}  // namespace
