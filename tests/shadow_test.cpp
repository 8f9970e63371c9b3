// The shadow and the edge frame following the tilt, and the zoom pivot
// kept at the screen centre without moving the picture.
#include <gtest/gtest.h>

#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "app/vitrane_view_controller.h"
#include "tests/app_fixture.h"

namespace {

void expectFrame(const kit::View& view, float x, float y, float width, float height) {
  const kit::Rect f = view.frame();
  EXPECT_NEAR(f.origin.x, x, 1e-3) << view.name();
  EXPECT_NEAR(f.origin.y, y, 1e-3) << view.name();
  EXPECT_NEAR(f.size.width, width, 1e-3) << view.name();
  EXPECT_NEAR(f.size.height, height, 1e-3) << view.name();
}

class Shadow : public apptest::LaunchedApp {
 protected:
  void SetUp() override {
    LaunchedApp::SetUp();
    // The interface file already lays the pieces out at rest; start from
    // nonsense so that only updateShadow can put them right.
    for (kit::View* v : pieces()) v->setFrame({1, 1, 1, 1});
  }

  std::vector<kit::View*> pieces() {
    VitraneforiPadViewController& c = vc();
    return {c.outlets.deviceShadowView.get(), c.outlets.topEdge.get(),
            c.outlets.bottomEdge.get(),       c.outlets.leftEdge.get(),
            c.outlets.rightEdge.get(),        c.outlets.insideTopLeft.get(),
            c.outlets.insideTopRight.get(),   c.outlets.insideBottomLeft.get(),
            c.outlets.insideBottomRight.get()};
  }

  void tiltTo(double pitch, double roll) {
    kit::MotionSample s;
    s.attitude.pitch = pitch;
    s.attitude.roll = roll;
    vc().frameDriver.currentDeviceMotion = std::make_shared<kit::DeviceMotion>(s, 0);
    vc().updateShadow();
  }
};

TEST_F(Shadow, AtRestTheShadowIsTheBodyAndEveryEdgeIsTwoPoints) {
  tiltTo(0, 0);
  const VitraneforiPadViewController& c = vc();
  expectFrame(*c.outlets.deviceShadowView, -98.46f, -115, 964.92f, 1254);
  expectFrame(*c.outlets.topEdge, 2, 0, 764, 2);
  expectFrame(*c.outlets.bottomEdge, 2, 1022, 764, 2);
  expectFrame(*c.outlets.leftEdge, 0, 2, 2, 1020);
  expectFrame(*c.outlets.rightEdge, 766, 2, 2, 1020);
  expectFrame(*c.outlets.insideTopLeft, 0, 0, 2, 2);
  expectFrame(*c.outlets.insideTopRight, 766, 0, 2, 2);
  expectFrame(*c.outlets.insideBottomLeft, 0, 1022, 2, 2);
  expectFrame(*c.outlets.insideBottomRight, 766, 1022, 2, 2);
}

TEST_F(Shadow, FivePointsOfPitchThinTheTopAwayAndDropTheShadow) {
  const double pitch = 5 * std::numbers::pi / 180;
  tiltTo(pitch, 0);
  const VitraneforiPadViewController& c = vc();
  const float bottom = static_cast<float>(2 + 24 * pitch);  // 4.09
  EXPECT_NEAR(bottom, 4.09, 5e-3);
  expectFrame(*c.outlets.deviceShadowView, -98.46f, static_cast<float>(-115 + 512 * pitch), 964.92f,
              1254);
  EXPECT_NEAR(c.outlets.deviceShadowView->frame().origin.y + 115, 44.7, 0.05);
  expectFrame(*c.outlets.topEdge, 2, 0, 764, 0);
  expectFrame(*c.outlets.bottomEdge, 2, 1024 - bottom, 764, bottom);
  expectFrame(*c.outlets.leftEdge, 0, 0, 2, 1024 - bottom);
  expectFrame(*c.outlets.insideTopRight, 766, 0, 2, 0);
  expectFrame(*c.outlets.insideBottomRight, 766, 1024 - bottom, 2, bottom);
}

TEST_F(Shadow, RollMovesTheShadowSidewaysAndThickensTheLowSide) {
  tiltTo(0, -0.1);  // right side raised
  const VitraneforiPadViewController& c = vc();
  expectFrame(*c.outlets.deviceShadowView, -98.46f - 51.2f, -115, 964.92f, 1254);
  expectFrame(*c.outlets.leftEdge, 0, 2, 4.4f, 1020);
  expectFrame(*c.outlets.rightEdge, 768, 2, 0, 1020);
  expectFrame(*c.outlets.topEdge, 4.4f, 0, 763.6f, 2);
}

// Whatever the tilt, the pieces meet without gaps or overlaps around the
// border of the screen.
TEST_F(Shadow, ThePiecesAlwaysTileTheBorder) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> tilt(-0.3, 0.3);
  const VitraneforiPadViewController& c = vc();
  for (int i = 0; i < 50; ++i) {
    tiltTo(tilt(random), tilt(random));
    const kit::Rect tl = c.outlets.insideTopLeft->frame(), top = c.outlets.topEdge->frame(),
                    tr = c.outlets.insideTopRight->frame(), left = c.outlets.leftEdge->frame(),
                    right = c.outlets.rightEdge->frame(), bl = c.outlets.insideBottomLeft->frame(),
                    bottom = c.outlets.bottomEdge->frame(),
                    br = c.outlets.insideBottomRight->frame();
    EXPECT_NEAR(tl.maxX(), top.minX(), 1e-3);
    EXPECT_NEAR(top.maxX(), tr.minX(), 1e-3);
    EXPECT_NEAR(tr.maxX(), 768, 1e-3);
    EXPECT_NEAR(bl.maxX(), bottom.minX(), 1e-3);
    EXPECT_NEAR(bottom.maxX(), br.minX(), 1e-3);
    EXPECT_NEAR(tl.maxY(), left.minY(), 1e-3);
    EXPECT_NEAR(left.maxY(), bl.minY(), 1e-3);
    EXPECT_NEAR(bl.maxY(), 1024, 1e-3);
    EXPECT_NEAR(tr.maxY(), right.minY(), 1e-3);
    EXPECT_NEAR(right.maxY(), br.minY(), 1e-3);
    for (const kit::Rect& r : {tl, top, tr, left, right, bl, bottom, br}) {
      EXPECT_GE(r.size.width, 0);
      EXPECT_GE(r.size.height, 0);
    }
  }
}

TEST_F(Shadow, EveryFrameFollowsTheTilt) {
  runner.motion().current.attitude.pitch = 0.05;
  runner.deliverFrames(1);
  EXPECT_NEAR(vc().outlets.deviceShadowView->frame().origin.y, -115 + 25.6, 1e-3);
  EXPECT_NEAR(vc().outlets.bottomEdge->frame().size.height, 3.2, 1e-3);
}

// --- The zoom pivot -----------------------------------------------------------

class Telescope : public apptest::LaunchedApp {
 protected:
  const kit::View* root() { return vc().view().get(); }
  std::vector<kit::Point> worldUnderProbes() {
    std::vector<kit::Point> world;
    for (kit::Point p : probes)
      world.push_back(root()->convertPointToView(p, vc().outlets.seamlessTiles.get()));
    return world;
  }
  void expectStillOnScreen(const std::vector<kit::Point>& world) {
    for (size_t k = 0; k < probes.size(); ++k) {
      const kit::Point p = vc().outlets.seamlessTiles->convertPointToView(world[k], root());
      EXPECT_NEAR(p.x, probes[k].x, 1e-2) << "probe " << k;
      EXPECT_NEAR(p.y, probes[k].y, 1e-2) << "probe " << k;
    }
  }
  const std::vector<kit::Point> probes{{0, 0}, {384, 512}, {700, 90}, {50, 1000}};
};

TEST_F(Telescope, AtZoomTwoTheStretcherMovesBackHalfAsFar) {
  kit::View& telescoper = *vc().outlets.telescoperView;
  const kit::Point target =
      root()->convertPointToView(vc().geometry.center.anchor, telescoper.superview());
  telescoper.setTransform(kit::scaled(kit::AffineTransform::identity(), 2, 2));
  telescoper.setCenter({target.x - 100, target.y});
  const kit::Point stretcher = vc().outlets.stretcherView->center();
  const std::vector<kit::Point> world = worldUnderProbes();

  vc().adjustTelescopeCenter(vc().geometry.center.anchor);
  EXPECT_FLOAT_EQ(telescoper.center().x, target.x);
  EXPECT_FLOAT_EQ(telescoper.center().y, target.y);
  EXPECT_FLOAT_EQ(vc().outlets.stretcherView->center().x, stretcher.x - 50);
  EXPECT_FLOAT_EQ(vc().outlets.stretcherView->center().y, stretcher.y);
  expectStillOnScreen(world);

  // From now on a zoom keeps the screen centre still.
  const std::vector<kit::Point> centre = {
      root()->convertPointToView({384, 512}, vc().outlets.seamlessTiles.get())};
  telescoper.setTransform(kit::scaled(telescoper.transform(), 0.3f, 0.3f));
  const kit::Point p = vc().outlets.seamlessTiles->convertPointToView(centre[0], root());
  EXPECT_NEAR(p.x, 384, 1e-2);
  EXPECT_NEAR(p.y, 512, 1e-2);
}

TEST_F(Telescope, CentredAtZoomOneNothingChanges) {
  const kit::Point telescoper = vc().outlets.telescoperView->center();
  const kit::Point stretcher = vc().outlets.stretcherView->center();
  vc().adjustTelescopeCenter(vc().geometry.center.anchor);
  EXPECT_EQ(vc().outlets.telescoperView->center(), telescoper);
  EXPECT_EQ(vc().outlets.stretcherView->center(), stretcher);
}

}  // namespace
