// The photos' own motion frame by frame: friction and the stop, the wrap
// through the table's edge, endless spin, and showing and hiding.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "app/vitrane_view_controller.h"
#include "photos/moving_image_view.h"
#include "tests/app_fixture.h"

namespace {

class PhotoMotionTest : public apptest::LaunchedApp {
 protected:
  MovingImageView& addPiece(kit::Point center) {
    auto bitmap = std::make_shared<kit::Bitmap>(kit::Bitmap::make(40, 30, kit::PixelFormat::RGBA8));
    auto piece = std::make_shared<MovingImageView>(std::make_shared<kit::Image>(bitmap));
    piece->setCenter(center);
    vc().outlets.photosLayerView->addSubview(piece);
    return *piece;
  }
};

TEST_F(PhotoMotionTest, AFlickAtTenPointsAFrameSlowsByFrictionAndRestsOnFrame918) {
  MovingImageView& piece = addPiece({100, 2048});
  piece.velocityPerFrame = {10, 0};
  int frame = 0;
  float previousX = piece.center().x;
  while (piece.velocityPerFrame.x != 0 && frame < 5000) {
    ++frame;
    const float v = piece.velocityPerFrame.x;
    vc().updateMovingImages();
    // Each frame moves by the velocity after that frame's friction.
    if (piece.velocityPerFrame.x != 0) {
      EXPECT_FLOAT_EQ(piece.velocityPerFrame.x,
                      static_cast<float>(v * vc().photos.frictionPerFrame));
    }
    EXPECT_GT(piece.center().x, previousX);
    previousX = piece.center().x;
  }
  EXPECT_EQ(frame, 918);
  EXPECT_NEAR(piece.center().x - 100, 1718, 1.0);
  EXPECT_EQ(piece.center().y, 2048);
  // At rest it stays.
  vc().updateMovingImages();
  EXPECT_EQ(piece.center().x, previousX);
  EXPECT_FALSE(piece.isMoving());
}

TEST_F(PhotoMotionTest, ASlowPhotoMovesOnceMoreThenRests) {
  MovingImageView& piece = addPiece({500, 500});
  piece.velocityPerFrame = {0.04f, 0.02f};
  vc().updateMovingImages();
  EXPECT_FLOAT_EQ(piece.center().x, 500 + static_cast<float>(0.04f * vc().photos.frictionPerFrame));
  EXPECT_FLOAT_EQ(piece.center().y, 500 + static_cast<float>(0.02f * vc().photos.frictionPerFrame));
  EXPECT_EQ(piece.velocityPerFrame, (kit::Point{0, 0}));
}

TEST_F(PhotoMotionTest, LeavingTheTableSquareWrapsToTheFarSideWithTheTransitSound) {
  MovingImageView& leaving = addPiece({0, 100});
  leaving.velocityPerFrame = {static_cast<float>(-0.5 / vc().photos.frictionPerFrame), 0};
  MovingImageView& onTheEdge = addPiece({4096, 4096});
  vc().updateMovingImages();
  EXPECT_FLOAT_EQ(leaving.center().x, 4095.5f);
  EXPECT_FLOAT_EQ(leaving.center().y, 100);
  EXPECT_EQ(onTheEdge.center(), (kit::Point{4096, 4096}));  // exactly on the edge is inside
  EXPECT_EQ(platform().sounds().played(), (std::vector<std::string>{"Dit Hit 2"}));
}

TEST_F(PhotoMotionTest, SpinNeverSlowsAndTurnsTheHeadingWithTheView) {
  MovingImageView& piece = addPiece({2048, 2048});
  piece.setTransform(kit::AffineTransform::makeScale(0.5f, 0.5f));
  piece.radiansPerFrame = 5.0 / 120;
  piece.yawRadians = 1;
  for (int i = 0; i < 240; ++i) vc().updateMovingImages();
  EXPECT_DOUBLE_EQ(piece.radiansPerFrame, 5.0 / 120);
  EXPECT_NEAR(piece.yawRadians, 1 + 240 * 5.0 / 120, 1e-9);
  const kit::AffineTransform t = piece.transform();
  EXPECT_NEAR(std::hypot(t.a, t.b), 0.5, 1e-4);  // turning keeps the scale
  EXPECT_NEAR(std::atan2(t.b, t.a), std::remainder(10.0, 2 * M_PI), 1e-3);
  EXPECT_EQ(piece.center(), (kit::Point{2048, 2048}));
}

TEST_F(PhotoMotionTest, IsMovingWhenAnyOfVelocityAndSpinIsNonZero) {
  MovingImageView& piece = addPiece({1, 1});
  EXPECT_FALSE(piece.isMoving());
  piece.velocityPerFrame = {0, 0.001f};
  EXPECT_TRUE(piece.isMoving());
  piece.velocityPerFrame = {0, 0};
  piece.radiansPerFrame = -0.008333;
  EXPECT_TRUE(piece.isMoving());
}

TEST_F(PhotoMotionTest, HiddenPhotosKeepMovingAndShowingBringsTheTableHome) {
  MovingImageView& piece = addPiece({2000, 2000});
  piece.velocityPerFrame = {2, 0};
  forgetLog();
  vc().hidePhotos();
  EXPECT_FALSE(vc().photos.showingPhotos);
  EXPECT_EQ(vc().outlets.photosLayerView->alpha(), 0.0f);
  EXPECT_TRUE(vc().outlets.tableBoundaryView->isHidden());
  runner.deliverFrames(10);
  EXPECT_GT(piece.center().x, 2015);

  const kit::Point home = vc().outlets.tableTopView->center();
  vc().outlets.tableTopView->setCenter({home.x + 50, home.y});
  vc().outlets.telescoperView->setTransform(kit::AffineTransform::makeScale(2, 2));
  forgetLog();
  vc().showPhotos();
  EXPECT_EQ(newLog(), (std::vector<std::string>{"Moving photos to near their origin."}));
  EXPECT_TRUE(vc().photos.showingPhotos);
  EXPECT_EQ(vc().outlets.photosLayerView->alpha(), 1.0f);
  EXPECT_FALSE(vc().outlets.tableBoundaryView->isHidden());
  EXPECT_EQ(vc().outlets.tableTopView->center(), home);
  EXPECT_TRUE(vc().outlets.telescoperView->transform().isIdentity());
  // Faded in over 0.3 s.
  const double now = platform().now();
  EXPECT_LT(vc().outlets.photosLayerView->presentation(now + 0.15).alpha, 0.9f);
  EXPECT_EQ(vc().outlets.photosLayerView->presentation(now + 0.3).alpha, 1.0f);
}

TEST_F(PhotoMotionTest, TouchingAnyPhotoLooksAtTheViewsOfTheTouchsRecognisers) {
  MovingImageView& piece = addPiece({10, 10});
  vc().addGestureRecognizersToPiece(piece);
  EXPECT_FALSE(vc().touchingAnyPhoto({}));
  EXPECT_FALSE(vc().touchingAnyPhoto({vc().scene.panWorldGesture.get()}));
  EXPECT_TRUE(vc().touchingAnyPhoto(
      {vc().scene.panWorldGesture.get(), piece.gestureRecognizers()[2].get()}));
}

}  // namespace
