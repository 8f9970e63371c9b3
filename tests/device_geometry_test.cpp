// The tablet's body and screen in screen points, the corner pivots and the
// rules that pick and compare them.
#include <gtest/gtest.h>

#include <vector>

#include "app/vitrane_view_controller.h"
#include "tests/app_fixture.h"

namespace {

using VC = VitraneforiPadViewController;

class DeviceGeometry : public apptest::LaunchedApp {
 protected:
  kit::Point tl() { return vc().geometry.topLeft.anchor; }
  kit::Point tr() { return vc().geometry.topRight.anchor; }
  kit::Point bl() { return vc().geometry.bottomLeft.anchor; }
  kit::Point br() { return vc().geometry.bottomRight.anchor; }
  kit::Point centre() { return vc().geometry.center.anchor; }
};

// The radii and angles are checked through their log lines (scene set-up).
TEST_F(DeviceGeometry, BodyCornersOfTheStandardTablet) {
  EXPECT_NEAR(vc().geometry.deviceOriginX, -98.46, 1e-9);
  EXPECT_NEAR(vc().geometry.deviceOriginY, -115.0, 1e-9);
  EXPECT_EQ(tl(), (kit::Point{-72.06f, -88.6f}));
  EXPECT_EQ(tr(), (kit::Point{840.06f, -88.6f}));
  EXPECT_EQ(bl(), (kit::Point{-72.06f, 1112.6f}));
  EXPECT_EQ(br(), (kit::Point{840.06f, 1112.6f}));
  EXPECT_EQ(centre(), (kit::Point{384, 512}));
}

TEST_F(DeviceGeometry, OddScreenSizeHalvesDownward) {
  vc().setupGeometry(7.31, 9.5, 0.2, 767, 1023, 132);
  EXPECT_EQ(centre(), (kit::Point{383, 511}));
  vc().useScreenAnchors();
  EXPECT_EQ(centre(), (kit::Point{383, 511}));
  EXPECT_EQ(br(), (kit::Point{767, 1023}));
}

TEST_F(DeviceGeometry, CornerFromQuadrantReadsTheSignsInTheSenseOfTheTurn) {
  struct Case {
    double x, y, rate;
    Corner TabletGeometry::*corner;
  };
  const Case cases[] = {
      // Clockwise: the signs as they come.
      {1.0, 0.1, -1, &TabletGeometry::topRight},
      {-1.0, 0.1, -1, &TabletGeometry::bottomRight},
      {0.3, 0.3, -1, &TabletGeometry::topLeft},
      {-0.3, 0.3, -1, &TabletGeometry::bottomLeft},
      {0.3, -0.3, -1, &TabletGeometry::center},
      // Counter-clockwise, and a rate of exactly 0, mirror them.
      {1.0, 0.1, 1, &TabletGeometry::bottomRight},
      {-0.3, -0.3, 1, &TabletGeometry::topLeft},
      {-1.0, 0.1, 0, &TabletGeometry::topRight},
      {0.3, -0.3, 0, &TabletGeometry::bottomLeft},
      // No x acceleration says nothing; no y acceleration lets any x dominate.
      {0.0, 0.5, -1, &TabletGeometry::center},
      {0.0, -0.5, 1, &TabletGeometry::center},
      {0.01, 0.0, -1, &TabletGeometry::topRight},
      {0.01, 0.0, 1, &TabletGeometry::bottomRight},
      // Exactly 2.8 times does not dominate: the left-hand rules decide.
      {2.8, 1.0, -1, &TabletGeometry::topLeft},
      {2.8, -1.0, -1, &TabletGeometry::center},
      {2.81, -1.0, -1, &TabletGeometry::topRight},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << "x " << k.x << " y " << k.y << " rate " << k.rate);
    const bool found = k.corner != &TabletGeometry::center;
    vc().geometry.flatAnchorValid = !found;
    EXPECT_EQ(vc().cornerFromQuadrant(k.x, k.y, k.rate), (vc().geometry.*k.corner).anchor);
    EXPECT_EQ(vc().geometry.flatAnchorValid, found);
  }
}

TEST_F(DeviceGeometry, OppositeAndAdjacentCorners) {
  EXPECT_EQ(vc().oppositeCorner(tl()), br());
  EXPECT_EQ(vc().oppositeCorner(tr()), bl());
  EXPECT_EQ(vc().oppositeCorner(bl()), tr());
  EXPECT_EQ(vc().oppositeCorner(br()), tl());
  forgetLog();
  EXPECT_EQ(vc().oppositeCorner(centre()), centre());
  EXPECT_EQ(newLog(), std::vector<std::string>{
                          "This anchor 384.0,512.0 has no proper opposite, returning center"});
  EXPECT_TRUE(vc().isAdjacentCorner(tl(), tr()));
  EXPECT_TRUE(vc().isAdjacentCorner(br(), tr()));
  EXPECT_FALSE(vc().isAdjacentCorner(tl(), br()));
  EXPECT_FALSE(vc().isAdjacentCorner(bl(), tr()));
  EXPECT_FALSE(vc().isAdjacentCorner(tl(), tl()));
}

TEST_F(DeviceGeometry, ToggleScreenCornersTwiceRestoresTheBodySet) {
  const std::vector<std::string> launch = log();
  const std::vector<std::string> bodyLines(launch.end() - 8, launch.end());
  const kit::Point bodyTopRight = tr();
  forgetLog();
  vc().toggleScreenCorners();
  EXPECT_TRUE(vc().geometry.screenCornerAnchors);
  EXPECT_EQ(tl(), (kit::Point{0, 0}));
  EXPECT_EQ(tr(), (kit::Point{768, 0}));
  EXPECT_EQ(bl(), (kit::Point{0, 1024}));
  EXPECT_EQ(br(), (kit::Point{768, 1024}));
  EXPECT_EQ(centre(), (kit::Point{384, 512}));
  EXPECT_TRUE(newLog().empty());

  vc().toggleScreenCorners();
  EXPECT_FALSE(vc().geometry.screenCornerAnchors);
  EXPECT_EQ(tr(), bodyTopRight);
  EXPECT_EQ(newLog(), bodyLines);
  EXPECT_EQ(vc().pivot.currentAnchor(), (kit::Point{384, 512}));  // the pivot in force stays
}

TEST_F(DeviceGeometry, ToggleCornersFromActsOnlyWhenTheGestureEnds) {
  kit::TapGestureRecognizer tap{kit::GestureRecognizer::Action{}};
  vc().geometry.autoAnchorOn = false;
  forgetLog();
  for (auto state :
       {kit::GestureState::Began, kit::GestureState::Changed, kit::GestureState::Cancelled}) {
    tap.setState(state);
    vc().toggleCornersFrom(tap);
  }
  EXPECT_TRUE(newLog().empty());
  EXPECT_FALSE(vc().geometry.autoAnchorOn);
  EXPECT_TRUE(vc().outlets.pushpinImageView->isHidden());

  tap.setState(kit::GestureState::Ended);
  vc().toggleCornersFrom(tap);
  std::vector<std::string> lines = newLog();
  ASSERT_EQ(lines.size(), 9u);  // the body's set again, then the answer
  EXPECT_EQ(lines.back(), "Screen (rather than device) corner anchors are OFF");
  EXPECT_TRUE(vc().geometry.showPushPin);
  EXPECT_TRUE(vc().geometry.autoAnchorOn);
  EXPECT_FALSE(vc().outlets.pushpinImageView->isHidden());

  // With the screen's set in force and auto anchoring on, the screen's set stays.
  vc().useScreenAnchors();
  vc().toggleCornersFrom(tap);
  EXPECT_TRUE(vc().geometry.screenCornerAnchors);
  EXPECT_EQ(newLog().back(), "Screen (rather than device) corner anchors are ON");
}

// Moving the zoom pivot onto a screen point must not move the picture.
TEST_F(DeviceGeometry, TelescopeCentresTheZoomWithoutMovingThePicture) {
  kit::View& telescoper = *vc().outlets.telescoperView;
  kit::View& stretcher = *vc().outlets.stretcherView;
  const kit::Point t0 = telescoper.center(), s0 = stretcher.center();
  vc().adjustTelescopeCenter(centre());  // already there: nothing changes
  EXPECT_EQ(telescoper.center(), t0);
  EXPECT_EQ(stretcher.center(), s0);

  telescoper.setTransform(kit::AffineTransform::makeScale(2, 2));
  telescoper.setCenter({t0.x - 100, t0.y});
  const kit::Point table = stretcher.convertPointFromView({100, 700}, nullptr);
  vc().adjustTelescopeCenter(centre());
  EXPECT_EQ(telescoper.center(), t0);
  EXPECT_EQ(stretcher.center(), (kit::Point{s0.x - 50, s0.y}));
  const kit::Point after = stretcher.convertPointToView(table, nullptr);
  EXPECT_NEAR(after.x, 100, 1e-3);
  EXPECT_NEAR(after.y, 700, 1e-3);
}

}  // namespace
