// Moving the pivot without moving the picture, and the corner a lifted
// tablet turns about.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "app/vitrane_view_controller.h"
#include "tests/app_fixture.h"

namespace {

using VC = VitraneforiPadViewController;

// Screen points spread over the screen and beyond it.
const std::vector<kit::Point> kProbes = {{0, 0},      {768, 1024}, {384, 512},
                                         {-150, 900}, {700, -80},  {1200, 1300}};

class AnchorMoves : public apptest::LaunchedApp {
 protected:
  const kit::View* root() { return vc().view().get(); }

  // The world points (in the tile field) under the given screen points.
  std::vector<kit::Point> worldUnder(const std::vector<kit::Point>& screen) {
    std::vector<kit::Point> world;
    for (kit::Point p : screen)
      world.push_back(root()->convertPointToView(p, vc().outlets.seamlessTiles.get()));
    return world;
  }
  std::vector<kit::Point> onScreen(const std::vector<kit::Point>& world) {
    std::vector<kit::Point> screen;
    for (kit::Point p : world)
      screen.push_back(vc().outlets.seamlessTiles->convertPointToView(p, root()));
    return screen;
  }

  void reading(kit::Attitude attitude, kit::Vector3 gravity) {
    kit::MotionSample s;
    s.attitude = attitude;
    s.gravity = gravity;
    vc().frameDriver.currentDeviceMotion = std::make_shared<kit::DeviceMotion>(s, 0);
  }
};

// --- shiftAnchor ------------------------------------------------------------

TEST_F(AnchorMoves, ShiftingToThePivotInForceTouchesNothing) {
  vc().shiftAnchor({500, 300});
  // An off-centre telescoper shows whether the zoom pivot was re-placed.
  const kit::Point t = vc().outlets.telescoperView->center();
  vc().outlets.telescoperView->setCenter({t.x + 37, t.y - 11});
  const kit::Point rotating = vc().outlets.rotatingView->center(),
                   table = vc().outlets.tableTopView->center(),
                   telescoper = vc().outlets.telescoperView->center(),
                   stretcher = vc().outlets.stretcherView->center();

  vc().shiftAnchor({500, 300});
  EXPECT_EQ(vc().outlets.rotatingView->center(), rotating);
  EXPECT_EQ(vc().outlets.tableTopView->center(), table);
  EXPECT_EQ(vc().outlets.telescoperView->center(), telescoper);
  EXPECT_EQ(vc().outlets.stretcherView->center(), stretcher);
}

TEST_F(AnchorMoves, ShiftRecentresTheHeadingTurnAndTheZoomPivot) {
  vc().outlets.rotatingView->setTransform(kit::rotated(kit::AffineTransform::identity(), 0.8f));
  // A finger drag has left the zoom pivot off the screen centre.
  const kit::Point dragged = vc().outlets.telescoperView->center();
  vc().outlets.telescoperView->setCenter({dragged.x + 120, dragged.y - 40});
  const std::vector<kit::Point> world = worldUnder(kProbes);

  vc().shiftAnchor(vc().geometry.bottomRight.anchor);
  EXPECT_EQ(vc().pivot.currentAnchor(), vc().geometry.bottomRight.anchor);
  const kit::Point br = vc().geometry.bottomRight.anchor;
  EXPECT_EQ(vc().outlets.rotatingView->center(), (kit::Point{br.x + 2048, br.y + 2048}));
  const kit::View& telescoper = *vc().outlets.telescoperView;
  const kit::Point zoomPivot =
      telescoper.superview()->convertPointToView(telescoper.center(), root());
  EXPECT_NEAR(zoomPivot.x, 384, 1e-2);
  EXPECT_NEAR(zoomPivot.y, 512, 1e-2);
  const std::vector<kit::Point> after = onScreen(world);
  for (size_t k = 0; k < kProbes.size(); ++k) {
    EXPECT_NEAR(after[k].x, kProbes[k].x, 1e-2) << "probe " << k;
    EXPECT_NEAR(after[k].y, kProbes[k].y, 1e-2) << "probe " << k;
  }

  // Later heading turns act about the new pivot: the world under it stays.
  const std::vector<kit::Point> underPivot = worldUnder({br});
  vc().outlets.rotatingView->setTransform(kit::rotated(kit::AffineTransform::identity(), -1.9f));
  const kit::Point still = onScreen(underPivot)[0];
  EXPECT_NEAR(still.x, br.x, 1e-2);
  EXPECT_NEAR(still.y, br.y, 1e-2);
}

// Whatever the heading, zoom and twist, and wherever the pivot goes, every
// point of the picture stays where it was on the screen. Tolerance 0.05
// points (the worst seen is about 0.011): the views hold single-precision
// geometry some thousands of points from their origins.
TEST_F(AnchorMoves, ShiftLeavesThePictureWhereItIs) {
  std::mt19937 random(20240611);
  std::uniform_real_distribution<float> angle(-std::numbers::pi_v<float>,
                                              std::numbers::pi_v<float>);
  std::uniform_real_distribution<float> zoom(1.0f / 6, 2.0f);
  std::uniform_real_distribution<float> x(-200, 1000), y(-200, 1250);
  constexpr float kTolerance = 0.05f;

  for (int i = 0; i < 300; ++i) {
    const float z = zoom(random);
    vc().outlets.telescoperView->setTransform(kit::scaled(kit::AffineTransform::identity(), z, z));
    vc().outlets.stretcherView->setTransform(
        kit::rotated(kit::AffineTransform::identity(), angle(random)));
    vc().outlets.rotatingView->setTransform(
        kit::rotated(kit::AffineTransform::identity(), angle(random)));
    const std::vector<kit::Point> world = worldUnder(kProbes);

    const kit::Point pivot{x(random), y(random)};
    vc().shiftAnchor(pivot);
    ASSERT_EQ(vc().pivot.currentAnchor(), pivot);

    const std::vector<kit::Point> after = onScreen(world);
    for (size_t k = 0; k < kProbes.size(); ++k) {
      ASSERT_NEAR(after[k].x, kProbes[k].x, kTolerance) << "case " << i << " probe " << k;
      ASSERT_NEAR(after[k].y, kProbes[k].y, kTolerance) << "case " << i << " probe " << k;
    }
  }
}

// --- The gravity pivot ------------------------------------------------------

TEST_F(AnchorMoves, GravityPicksTheCornerThatStaysDown) {
  struct Case {
    double gx, gy;
    Corner TabletGeometry::*corner;
  };
  const Case cases[] = {
      {0.2, 0.3, &TabletGeometry::topRight},
      {0.2, -0.3, &TabletGeometry::bottomRight},
      {-0.2, 0.3, &TabletGeometry::topLeft},
      {-0.2, -0.3, &TabletGeometry::bottomLeft},
      // Zero components count as right and as bottom.
      {0.0, 0.0, &TabletGeometry::bottomRight},
      {0.0, 0.3, &TabletGeometry::topRight},
      {-0.2, 0.0, &TabletGeometry::bottomLeft},
  };
  for (const Case& c : cases) {
    reading({0.1, 0, 0}, {c.gx, c.gy, -0.9});
    EXPECT_EQ(vc().computedGravityAnchor(), (vc().geometry.*c.corner).anchor)
        << c.gx << ", " << c.gy;
  }
  vc().useScreenAnchors();
  reading({0.1, 0, 0}, {0.2, 0.3, -0.9});
  EXPECT_EQ(vc().computedGravityAnchor(), (kit::Point{768, 0}));
}

TEST_F(AnchorMoves, AFlatTabletAnswersTheCentreEvenDuringATippedTurn) {
  vc().shiftAnchor(vc().geometry.topLeft.anchor);
  vc().turn.gestureStarted = true;
  vc().turn.gestureIsFlat = false;
  reading({}, {-0.2, 0.3, -0.9});
  EXPECT_EQ(vc().computedGravityAnchor(), vc().geometry.center.anchor);
}

TEST_F(AnchorMoves, AFlatTurnKeepsItsPivotUntilTheLiftIsATip) {
  vc().shiftAnchor({200, 700});
  vc().turn.gestureStarted = vc().turn.gestureIsFlat = true;
  reading({0, std::asin(0.4 * 132 / 1254), 0}, {-0.2, 0.3, -0.9});
  EXPECT_EQ(vc().computedGravityAnchor(), (kit::Point{200, 700}));
  reading({0, std::asin(0.6 * 132 / 1254), 0}, {-0.2, 0.3, -0.9});
  EXPECT_EQ(vc().computedGravityAnchor(), vc().geometry.topLeft.anchor);
}

TEST_F(AnchorMoves, TakingTheGravityPivotClearsOnlyTheTwistFlag) {
  vc().pivot.placedBy(Pivot::Reason::Twist);
  vc().turn.currentGravityAnchor = vc().geometry.bottomLeft.anchor;
  vc().useGravityAnchor();
  EXPECT_EQ(vc().pivot.currentAnchor(), vc().geometry.bottomLeft.anchor);
  EXPECT_FALSE(vc().pivot.anchorSetByTwist());
  EXPECT_TRUE(vc().pivot.anchorJustSetByTwist());
}

TEST_F(AnchorMoves, SetAnchorFromGravityComputesTakesAndRemembers) {
  vc().pivot.placedBy(Pivot::Reason::Twist);
  vc().turn.gestureIsFlat = true;
  reading({0.1, 0, 0}, {0.2, 0.3, -0.9});
  vc().setAnchorFromGravity();
  EXPECT_EQ(vc().pivot.currentAnchor(), vc().geometry.topRight.anchor);
  EXPECT_EQ(vc().pivot.lastGravityAnchor(), vc().geometry.topRight.anchor);
  EXPECT_FALSE(vc().turn.gestureIsFlat);
  EXPECT_FALSE(vc().pivot.anchorSetByTwist());
  EXPECT_FALSE(vc().pivot.anchorJustSetByTwist());
}

TEST_F(AnchorMoves, ACentreRotationMovedLessThanTwoPoints) {
  vc().velocity.motion = {2, 0};
  EXPECT_FALSE(vc().isCenterRotation());
  vc().velocity.motion = {0, -2};
  EXPECT_FALSE(vc().isCenterRotation());
  vc().velocity.motion = {-1.99f, 0};
  EXPECT_TRUE(vc().isCenterRotation());
  vc().velocity.motion = {0, 0};
  EXPECT_TRUE(vc().isCenterRotation());
}

}  // namespace
