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
const std::vector<kit::Point> kProbes = {
    {0, 0}, {768, 1024}, {384, 512}, {-150, 900}, {700, -80}, {1200, 1300}};

class AnchorMoves : public apptest::LaunchedApp {
 protected:
  const kit::View* root() { return vc().view().get(); }

  // The world points (in the tile field) under the given screen points.
  std::vector<kit::Point> worldUnder(const std::vector<kit::Point>& screen) {
    std::vector<kit::Point> world;
    for (kit::Point p : screen) world.push_back(root()->convertPointToView(p, vc().seamlessTiles.get()));
    return world;
  }
  std::vector<kit::Point> onScreen(const std::vector<kit::Point>& world) {
    std::vector<kit::Point> screen;
    for (kit::Point p : world) screen.push_back(vc().seamlessTiles->convertPointToView(p, root()));
    return screen;
  }

  void reading(kit::Attitude attitude, kit::Vector3 gravity) {
    kit::MotionSample s;
    s.attitude = attitude;
    s.gravity = gravity;
    vc().currentDeviceMotion = std::make_shared<kit::DeviceMotion>(s, 0);
  }
};

// --- shiftAnchor ------------------------------------------------------------

TEST_F(AnchorMoves, ShiftingToThePivotInForceTouchesNothing) {
  vc().shiftAnchor({500, 300});
  // An off-centre telescoper shows whether the zoom pivot was re-placed.
  const kit::Point t = vc().telescoperView->center();
  vc().telescoperView->setCenter({t.x + 37, t.y - 11});
  const kit::Point rotating = vc().rotatingView->center(), table = vc().tableTopView->center(),
                   telescoper = vc().telescoperView->center(),
                   stretcher = vc().stretcherView->center();

  vc().shiftAnchor({500, 300});
  EXPECT_EQ(vc().rotatingView->center(), rotating);
  EXPECT_EQ(vc().tableTopView->center(), table);
  EXPECT_EQ(vc().telescoperView->center(), telescoper);
  EXPECT_EQ(vc().stretcherView->center(), stretcher);
}

TEST_F(AnchorMoves, ShiftRecentresTheHeadingTurnAndTheZoomPivot) {
  vc().rotatingView->setTransform(kit::rotated(kit::AffineTransform::identity(), 0.8f));
  // A finger drag has left the zoom pivot off the screen centre.
  const kit::Point dragged = vc().telescoperView->center();
  vc().telescoperView->setCenter({dragged.x + 120, dragged.y - 40});
  const std::vector<kit::Point> world = worldUnder(kProbes);

  vc().shiftAnchor(vc().bottomRightAnchor);
  EXPECT_EQ(vc().currentAnchor, vc().bottomRightAnchor);
  const kit::Point br = vc().bottomRightAnchor;
  EXPECT_EQ(vc().rotatingView->center(), (kit::Point{br.x + 2048, br.y + 2048}));
  const kit::View& telescoper = *vc().telescoperView;
  const kit::Point zoomPivot = telescoper.superview()->convertPointToView(telescoper.center(), root());
  EXPECT_NEAR(zoomPivot.x, 384, 1e-2);
  EXPECT_NEAR(zoomPivot.y, 512, 1e-2);
  const std::vector<kit::Point> after = onScreen(world);
  for (size_t k = 0; k < kProbes.size(); ++k) {
    EXPECT_NEAR(after[k].x, kProbes[k].x, 1e-2) << "probe " << k;
    EXPECT_NEAR(after[k].y, kProbes[k].y, 1e-2) << "probe " << k;
  }

  // Later heading turns act about the new pivot: the world under it stays.
  const std::vector<kit::Point> underPivot = worldUnder({br});
  vc().rotatingView->setTransform(kit::rotated(kit::AffineTransform::identity(), -1.9f));
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
  std::uniform_real_distribution<float> angle(-std::numbers::pi_v<float>, std::numbers::pi_v<float>);
  std::uniform_real_distribution<float> zoom(1.0f / 6, 2.0f);
  std::uniform_real_distribution<float> x(-200, 1000), y(-200, 1250);
  constexpr float kTolerance = 0.05f;

  for (int i = 0; i < 300; ++i) {
    const float z = zoom(random);
    vc().telescoperView->setTransform(kit::scaled(kit::AffineTransform::identity(), z, z));
    vc().stretcherView->setTransform(kit::rotated(kit::AffineTransform::identity(), angle(random)));
    vc().rotatingView->setTransform(kit::rotated(kit::AffineTransform::identity(), angle(random)));
    const std::vector<kit::Point> world = worldUnder(kProbes);

    const kit::Point pivot{x(random), y(random)};
    vc().shiftAnchor(pivot);
    ASSERT_EQ(vc().currentAnchor, pivot);

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
    kit::Point VC::*corner;
  };
  const Case cases[] = {
      {0.2, 0.3, &VC::topRightAnchor},     {0.2, -0.3, &VC::bottomRightAnchor},
      {-0.2, 0.3, &VC::topLeftAnchor},     {-0.2, -0.3, &VC::bottomLeftAnchor},
      // Zero components count as right and as bottom.
      {0.0, 0.0, &VC::bottomRightAnchor},  {0.0, 0.3, &VC::topRightAnchor},
      {-0.2, 0.0, &VC::bottomLeftAnchor},
  };
  for (const Case& c : cases) {
    reading({0.1, 0, 0}, {c.gx, c.gy, -0.9});
    EXPECT_EQ(vc().computedGravityAnchor(), vc().*c.corner) << c.gx << ", " << c.gy;
  }
  vc().useScreenAnchors();
  reading({0.1, 0, 0}, {0.2, 0.3, -0.9});
  EXPECT_EQ(vc().computedGravityAnchor(), (kit::Point{768, 0}));
}

TEST_F(AnchorMoves, AFlatTabletAnswersTheCentreEvenDuringATippedTurn) {
  vc().shiftAnchor(vc().topLeftAnchor);
  vc().gestureStarted = true;
  vc().gestureIsFlat = false;
  reading({}, {-0.2, 0.3, -0.9});
  EXPECT_EQ(vc().computedGravityAnchor(), vc().centerAnchor);
}

TEST_F(AnchorMoves, AFlatTurnKeepsItsPivotUntilTheLiftIsATip) {
  vc().shiftAnchor({200, 700});
  vc().gestureStarted = vc().gestureIsFlat = true;
  reading({0, std::asin(0.4 * 132 / 1254), 0}, {-0.2, 0.3, -0.9});
  EXPECT_EQ(vc().computedGravityAnchor(), (kit::Point{200, 700}));
  reading({0, std::asin(0.6 * 132 / 1254), 0}, {-0.2, 0.3, -0.9});
  EXPECT_EQ(vc().computedGravityAnchor(), vc().topLeftAnchor);
}

TEST_F(AnchorMoves, TakingTheGravityPivotClearsOnlyTheTwistFlag) {
  vc().anchorSetByTwist = vc().anchorJustSetByTwist = true;
  vc().currentGravityAnchor = vc().bottomLeftAnchor;
  vc().useGravityAnchor();
  EXPECT_EQ(vc().currentAnchor, vc().bottomLeftAnchor);
  EXPECT_FALSE(vc().anchorSetByTwist);
  EXPECT_TRUE(vc().anchorJustSetByTwist);
}

TEST_F(AnchorMoves, SetAnchorFromGravityComputesTakesAndRemembers) {
  vc().anchorSetByTwist = vc().anchorJustSetByTwist = vc().gestureIsFlat = true;
  reading({0.1, 0, 0}, {0.2, 0.3, -0.9});
  vc().setAnchorFromGravity();
  EXPECT_EQ(vc().currentAnchor, vc().topRightAnchor);
  EXPECT_EQ(vc().lastGravityAnchor, vc().topRightAnchor);
  EXPECT_FALSE(vc().gestureIsFlat);
  EXPECT_FALSE(vc().anchorSetByTwist);
  EXPECT_FALSE(vc().anchorJustSetByTwist);
}

TEST_F(AnchorMoves, ACentreRotationMovedLessThanTwoPoints) {
  vc().motion = {2, 0};
  EXPECT_FALSE(vc().isCenterRotation());
  vc().motion = {0, -2};
  EXPECT_FALSE(vc().isCenterRotation());
  vc().motion = {-1.99f, 0};
  EXPECT_TRUE(vc().isCenterRotation());
  vc().motion = {0, 0};
  EXPECT_TRUE(vc().isCenterRotation());
}

}  // namespace
