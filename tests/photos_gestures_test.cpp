// Fingers on a photo: its five recognisers, drag and flick, turn and spin,
// pinch within limits, tap to raise, and the long press that brakes a
// moving photo or swaps a resting one with the table surface.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "app/vitrane_view_controller.h"
#include "kit/gesture_recognizer.h"
#include "photos/moving_image_view.h"
#include "tests/app_fixture.h"

namespace {

kit::ImageRef plainImage(int width, int height) {
  return std::make_shared<kit::Image>(
      std::make_shared<kit::Bitmap>(kit::Bitmap::make(width, height, kit::PixelFormat::RGBA8)));
}

double zoomOf(const kit::View& v) {
  const kit::AffineTransform t = v.transform();
  return std::hypot(static_cast<double>(t.a), static_cast<double>(t.b));
}

class PieceGestureTest : public apptest::LaunchedApp {
 protected:
  MovingImageView& addPiece(kit::Point center, float zoom = 0.5f) {
    auto piece = std::make_shared<MovingImageView>(plainImage(400, 300));
    piece->setCenter(center);
    piece->setTransform(kit::AffineTransform::makeScale(zoom, zoom));
    vc().outlets.photosLayerView->addSubview(piece);
    vc().addGestureRecognizersToPiece(*piece);
    return *piece;
  }
  template <typename R>
  R& recogniser(MovingImageView& piece) {
    for (const auto& r : piece.gestureRecognizers())
      if (auto* found = dynamic_cast<R*>(r.get())) return *found;
    throw std::runtime_error("no such recogniser");
  }
  // Where a point of the piece is on the screen.
  kit::Point onScreen(const kit::View& v, kit::Point p) { return v.convertPointToView(p, nullptr); }

  void drag(MovingImageView& piece, kit::Point from, kit::Point by, kit::Point releaseVelocity) {
    auto& pan = recogniser<kit::PanGestureRecognizer>(piece);
    pan.setTouches(from, 1);
    pan.setState(kit::GestureState::Began);
    pan.setTranslationInRoot(by);
    pan.setTouches({from.x + by.x, from.y + by.y}, 1);
    pan.setState(kit::GestureState::Changed);
    pan.setVelocityInRoot(releaseVelocity);
    pan.setState(kit::GestureState::Ended);
  }
};

TEST_F(PieceGestureTest, APieceGetsItsFiveRecognisersInOrderWithTheirSettings) {
  MovingImageView& piece = addPiece({2048, 2048});
  EXPECT_TRUE(piece.isUserInteractionEnabled());
  const auto& r = piece.gestureRecognizers();
  ASSERT_EQ(r.size(), 5u);
  EXPECT_EQ(r[0]->kind(), "rotation");
  EXPECT_EQ(r[1]->kind(), "pinch");
  EXPECT_EQ(r[2]->kind(), "pan");
  EXPECT_EQ(r[3]->kind(), "tap");
  EXPECT_EQ(r[4]->kind(), "longPress");
  EXPECT_EQ(r[0]->delegate(), nullptr);
  for (int i = 1; i < 5; ++i) EXPECT_EQ(r[i]->delegate(), &vc());
  EXPECT_EQ(static_cast<kit::PanGestureRecognizer&>(*r[2]).maximumNumberOfTouches, 2);
  EXPECT_EQ(static_cast<kit::TapGestureRecognizer&>(*r[3]).numberOfTouchesRequired, 1);
  EXPECT_EQ(static_cast<kit::TapGestureRecognizer&>(*r[3]).numberOfTapsRequired, 1);
  EXPECT_EQ(static_cast<kit::LongPressGestureRecognizer&>(*r[4]).minimumPressDuration, 0.3);
  EXPECT_EQ(static_cast<kit::LongPressGestureRecognizer&>(*r[4]).numberOfTouchesRequired, 1);
}

TEST_F(PieceGestureTest, PieceRecognisersRunTogetherButNotWithAnotherViewsOrTheWorlds) {
  MovingImageView& a = addPiece({2048, 2048});
  MovingImageView& b = addPiece({1000, 1000});
  auto& press = recogniser<kit::LongPressGestureRecognizer>(a);
  auto& pan = recogniser<kit::PanGestureRecognizer>(a);
  EXPECT_TRUE(vc().gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(press, pan));
  EXPECT_TRUE(vc().gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(pan, press));
  EXPECT_FALSE(vc().gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(
      pan, recogniser<kit::PanGestureRecognizer>(b)));
  EXPECT_FALSE(vc().gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(
      pan, *vc().scene.panWorldGesture));
}

TEST_F(PieceGestureTest, TheAnchorMovesUnderTheFingerWithoutMovingThePiece) {
  MovingImageView& piece = addPiece({384, 512});
  const kit::Point corner = onScreen(piece, {0, 0});
  const kit::Point touchInPiece = piece.convertPointFromView({400, 530}, nullptr);
  auto& pinch = recogniser<kit::PinchGestureRecognizer>(piece);
  pinch.setTouches({400, 530}, 2);
  pinch.setState(kit::GestureState::Began);
  EXPECT_NEAR(onScreen(piece, {0, 0}).x, corner.x, 1e-3);
  EXPECT_NEAR(onScreen(piece, {0, 0}).y, corner.y, 1e-3);
  // The centre is now where the fingers touched, in the layer's coordinates.
  const kit::Point touch = vc().outlets.photosLayerView->convertPointFromView({400, 530}, nullptr);
  EXPECT_NEAR(piece.center().x, touch.x, 1e-3);
  EXPECT_NEAR(piece.center().y, touch.y, 1e-3);
  EXPECT_NEAR(piece.anchorPoint().x, touchInPiece.x / 400, 1e-5);
  EXPECT_NEAR(piece.anchorPoint().y, touchInPiece.y / 300, 1e-5);
}

TEST_F(PieceGestureTest, AFastReleaseKeepsDriftingAndASlowOneDoesNot) {
  MovingImageView& piece = addPiece({384, 512});
  forgetLog();
  const kit::Point grabbed = onScreen(piece, {0, 0});
  drag(piece, {384, 512}, {30, -10}, {600, 0});
  EXPECT_EQ(piece.velocityPerFrame, (kit::Point{5, 0}));
  EXPECT_EQ(newLog(),
            (std::vector<std::string>{"1 photos panning", "Continuing velocity of 5.00,0.00"}));
  // The piece followed the finger on the screen.
  EXPECT_NEAR(onScreen(piece, {0, 0}).x - grabbed.x, 30, 1e-3);
  EXPECT_NEAR(onScreen(piece, {0, 0}).y - grabbed.y, -10, 1e-3);
  EXPECT_EQ(vc().photos.nPhotosMoving, 0);

  drag(piece, {414, 502}, {1, 1}, {119, 0});
  EXPECT_EQ(piece.velocityPerFrame, (kit::Point{0, 0}));
  EXPECT_EQ(newLog(), (std::vector<std::string>{"1 photos panning"}));
}

TEST_F(PieceGestureTest, ADragCatchesADriftingPieceButNotItsSpinAndRaisesIt) {
  MovingImageView& piece = addPiece({384, 512});
  MovingImageView& other = addPiece({100, 100});
  piece.velocityPerFrame = {3, 4};
  piece.radiansPerFrame = 0.01;
  auto& pan = recogniser<kit::PanGestureRecognizer>(piece);
  pan.setTouches({384, 512}, 1);
  pan.setState(kit::GestureState::Began);
  EXPECT_EQ(piece.velocityPerFrame, (kit::Point{0, 0}));
  EXPECT_EQ(piece.radiansPerFrame, 0.01);
  EXPECT_EQ(vc().outlets.photosLayerView->subviews().back().get(), &piece);

  // A second piece dragged at the same time.
  forgetLog();
  auto& otherPan = recogniser<kit::PanGestureRecognizer>(other);
  otherPan.setTouches({100, 100}, 1);
  otherPan.setState(kit::GestureState::Began);
  EXPECT_EQ(newLog(), (std::vector<std::string>{"2 photos panning"}));
  otherPan.setState(kit::GestureState::Cancelled);
  EXPECT_EQ(vc().photos.nPhotosMoving, 1);
}

TEST_F(PieceGestureTest, ATurnReleasedWhileTurningKeepsSpinningByItsLastStep) {
  MovingImageView& piece = addPiece({384, 512});
  auto& rotation = recogniser<kit::RotationGestureRecognizer>(piece);
  rotation.setTouches({384, 512}, 2);
  rotation.rotation = 0.3;
  rotation.setState(kit::GestureState::Began);
  rotation.rotation = 0.02;
  rotation.setState(kit::GestureState::Changed);
  EXPECT_EQ(piece.radiansPerFrame, 0);
  EXPECT_EQ(rotation.rotation, 0);
  EXPECT_NEAR(std::atan2(piece.transform().b, piece.transform().a), 0.32, 1e-5);
  rotation.setState(kit::GestureState::Ended);
  EXPECT_EQ(piece.radiansPerFrame, 0.02);
  EXPECT_EQ(piece.yawRadians, 0);  // twists do not change the heading
}

TEST_F(PieceGestureTest, PinchingStopsAtAZoomOfNineTenthsAndOneTwentieth) {
  MovingImageView& piece = addPiece({384, 512}, 0.25f);
  auto& pinch = recogniser<kit::PinchGestureRecognizer>(piece);
  pinch.setTouches({384, 512}, 2);
  forgetLog();
  pinch.scale = 3.4;  // to 0.85
  pinch.setState(kit::GestureState::Began);
  EXPECT_NEAR(zoomOf(piece), 0.85, 1e-6);
  EXPECT_EQ(pinch.scale, 1.0);
  pinch.scale = 0.95 / 0.85;  // to 0.95: skipped
  pinch.setState(kit::GestureState::Changed);
  EXPECT_NEAR(zoomOf(piece), 0.85, 1e-6);
  EXPECT_EQ(pinch.scale, 1.0);
  pinch.scale = 0.5;  // inwards: taken
  pinch.setState(kit::GestureState::Changed);
  EXPECT_NEAR(zoomOf(piece), 0.425, 1e-6);
  EXPECT_EQ(newLog(), (std::vector<std::string>(3, "Pinching with 2 touches.")));

  piece.setTransform(kit::AffineTransform::makeScale(0.06f, 0.06f));
  pinch.scale = 0.049 / 0.06;
  pinch.setState(kit::GestureState::Changed);
  EXPECT_NEAR(zoomOf(piece), 0.06, 1e-6);

  // Beyond the top limit (after a swap): larger refused, smaller taken.
  piece.setTransform(kit::AffineTransform::makeScale(1.28f, 1.28f));
  pinch.scale = 1.01;
  pinch.setState(kit::GestureState::Changed);
  EXPECT_NEAR(zoomOf(piece), 1.28, 1e-6);
  pinch.scale = 0.99;
  pinch.setState(kit::GestureState::Changed);
  EXPECT_NEAR(zoomOf(piece), 1.28 * 0.99, 1e-5);
}

TEST_F(PieceGestureTest, ATapRaisesThePieceAboveTheOthers) {
  MovingImageView& bottom = addPiece({384, 512});
  addPiece({384, 512});
  auto& tap = recogniser<kit::TapGestureRecognizer>(bottom);
  tap.setTouches({384, 512}, 1);
  tap.setState(kit::GestureState::Began);
  EXPECT_NE(vc().outlets.photosLayerView->subviews().back().get(), &bottom);
  tap.setState(kit::GestureState::Ended);
  EXPECT_EQ(vc().outlets.photosLayerView->subviews().back().get(), &bottom);
}

TEST_F(PieceGestureTest, ALongPressBrakesAMovingPieceWithASqueakAndLeavesTheSurface) {
  MovingImageView& piece = addPiece({384, 512});
  piece.velocityPerFrame = {0, 0.5f};
  piece.radiansPerFrame = -0.008333;
  const kit::ImageRef surface =
      std::static_pointer_cast<kit::ImageView>(vc().outlets.seamlessTiles->subviews().front())
          ->image();
  auto& press = recogniser<kit::LongPressGestureRecognizer>(piece);
  press.setTouches({384, 512}, 1);
  press.setState(kit::GestureState::Began);
  EXPECT_FALSE(piece.isMoving());
  EXPECT_EQ(platform().sounds().played(), (std::vector<std::string>{"Squeak"}));
  EXPECT_EQ(std::static_pointer_cast<kit::ImageView>(vc().outlets.seamlessTiles->subviews().front())
                ->image(),
            surface);
  EXPECT_EQ(piece.bounds().size, (kit::Size{400, 300}));
}

TEST_F(PieceGestureTest, ALongPressOnARestingPieceSwapsItWithTheWoodSurface) {
  MovingImageView& piece = addPiece({384, 512});
  const kit::ImageRef photo = piece.image();
  const kit::ImageRef wood =
      std::static_pointer_cast<kit::ImageView>(vc().outlets.seamlessTiles->subviews().front())
          ->image();
  const kit::AffineTransform transform = piece.transform();
  auto& press = recogniser<kit::LongPressGestureRecognizer>(piece);
  press.setTouches({384, 512}, 1);
  press.setState(kit::GestureState::Began);
  press.setState(kit::GestureState::Changed);  // only Began acts

  EXPECT_EQ(std::static_pointer_cast<kit::ImageView>(vc().outlets.seamlessTiles->subviews().front())
                ->image()
                ->bitmap(),
            photo->bitmap());
  EXPECT_EQ(piece.image(), wood);
  EXPECT_EQ(piece.bounds(), (kit::Rect{0, 0, 1200, 900}));
  EXPECT_EQ(piece.transform(), transform);  // diagonal 1500: not enlarged
  EXPECT_EQ(piece.center(), (kit::Point{384, 512}));
  EXPECT_EQ(platform().sounds().played(), (std::vector<std::string>{"BellTransitionTrimmed"}));
  EXPECT_EQ(vc().outlets.seamlessTiles->alpha(), 1.0f);
  // The new surface fades in from nothing over half a second.
  const double now = runner.clock().now();
  EXPECT_NEAR(vc().outlets.seamlessTiles->presentation(now).alpha, 0.0f, 1e-6);
  const float midway = vc().outlets.seamlessTiles->presentation(now + 0.25).alpha;
  EXPECT_GT(midway, 0.1f);
  EXPECT_LT(midway, 0.9f);
  EXPECT_FLOAT_EQ(vc().outlets.seamlessTiles->presentation(now + 0.5).alpha, 1.0f);
}

TEST_F(PieceGestureTest, ASmallSurfaceSwappedOntoAPieceIsEnlargedToAWidthOf1024) {
  vc().updateTilePatch(plainImage(400, 300));
  MovingImageView& piece = addPiece({384, 512}, 0.25f);
  auto& press = recogniser<kit::LongPressGestureRecognizer>(piece);
  press.setTouches({384, 512}, 1);
  press.setState(kit::GestureState::Began);
  EXPECT_EQ(piece.bounds().size, (kit::Size{400, 300}));
  EXPECT_NEAR(zoomOf(piece), 0.25 * 2.56, 1e-6);
}

TEST_F(PieceGestureTest, SwappingAQuarterTurnedPhotoSaysItFlops) {
  MovingImageView& piece = addPiece({384, 512});
  piece.setImage(
      std::make_shared<kit::Image>(piece.image()->bitmap(), kit::ImageOrientation::Right));
  forgetLog();
  auto& press = recogniser<kit::LongPressGestureRecognizer>(piece);
  press.setTouches({384, 512}, 1);
  press.setState(kit::GestureState::Began);
  const auto log = newLog();
  EXPECT_NE(std::find(log.begin(), log.end(), "Flopping as we swap images"), log.end());
}

}  // namespace
