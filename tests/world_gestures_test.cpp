// The world's finger gestures: placing the chain, twist, pinch, double-tap
// zoom, drag, and which recognisers may run together.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "app/vitrane_view_controller.h"
#include "kit/gesture_recognizer.h"
#include "tests/app_fixture.h"

namespace {

double worldZoom(const VitraneforiPadViewController& vc) {
  const kit::AffineTransform t = vc.outlets.telescoperView->transform();
  return std::sqrt(double(t.a) * t.a + double(t.c) * t.c);
}

class WorldGestures : public apptest::LaunchedApp {
 protected:
  kit::View* root() { return vc().view().get(); }

  // One call of a recogniser's handler, with its fingers centred on p.
  void play(kit::GestureRecognizer& g, kit::GestureState state, kit::Point p = {300, 400},
            int touches = 2) {
    g.setTouches(p, touches);
    g.setState(state);
  }
  void pinchStep(double scale, kit::GestureState state = kit::GestureState::Changed) {
    vc().scene.pinchWorldGesture->scale = scale;
    play(*vc().scene.pinchWorldGesture, state);
  }
  void doubleTap() {
    kit::TapGestureRecognizer tap(nullptr);
    tap.setState(kit::GestureState::Ended);
    vc().resetScale(tap);
  }
  bool logged(const std::string& line) {
    const auto lines = log();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
};

TEST_F(WorldGestures, RecenterPlacesTheChainForACentredUnzoomedWorld) {
  vc().recenter();
  EXPECT_EQ(vc().pivot.currentAnchor(), (kit::Point{384, 512}));
  EXPECT_EQ(vc().outlets.offsetView->frame(), (kit::Rect{{-2048, -2048}, {4096, 4096}}));
  EXPECT_EQ(vc().outlets.rotatingView->center(), (kit::Point{2432, 2560}));
  const kit::Point pivot = vc().outlets.rotatingView->convertPointToView(
      vc().outlets.rotatingView->convertPointFromView(vc().outlets.rotatingView->center(),
                                                      vc().outlets.offsetView.get()),
      root());
  EXPECT_NEAR(pivot.x, 384, 1e-3);
  EXPECT_NEAR(pivot.y, 512, 1e-3);
  EXPECT_EQ(vc().outlets.tableTopView->center(), (kit::Point{2048, 2048}));
  EXPECT_TRUE(vc().outlets.stretcherView->transform().isIdentity());
  EXPECT_TRUE(vc().outlets.telescoperView->transform().isIdentity());
}

// --- Pinch ----------------------------------------------------------------

TEST_F(WorldGestures, PinchStepsToTheLimitsAreAppliedAndBeyondAreRefused) {
  pinchStep(1, kit::GestureState::Began);
  pinchStep(2);
  EXPECT_DOUBLE_EQ(worldZoom(vc()), 2);
  EXPECT_FALSE(vc().zoom.isUnityScale);
  EXPECT_EQ(vc().scene.pinchWorldGesture->scale, 1.0);

  pinchStep(1.005);
  EXPECT_TRUE(logged("Requested Scale 2.0 is out of range"));
  EXPECT_DOUBLE_EQ(worldZoom(vc()), 2);
  EXPECT_EQ(vc().scene.pinchWorldGesture->scale, 1.0);

  pinchStep(1.0 / 12);
  EXPECT_NEAR(worldZoom(vc()), 1.0 / 6, 1e-6);
  pinchStep(0.96);  // 0.16
  EXPECT_TRUE(logged("Requested Scale 0.2 is out of range"));
  EXPECT_NEAR(worldZoom(vc()), 1.0 / 6, 1e-6);

  // Back into range is applied again: the gesture goes on.
  pinchStep(3);
  EXPECT_NEAR(worldZoom(vc()), 0.5, 1e-6);
}

TEST_F(WorldGestures, APinchStepThatCannotBeComparedIsRefused) {
  pinchStep(std::nan(""));
  EXPECT_TRUE(logged("Requested Scale nan is out of range"));
  EXPECT_DOUBLE_EQ(worldZoom(vc()), 1);
  EXPECT_TRUE(vc().zoom.isUnityScale);
}

TEST_F(WorldGestures, PinchLogsItsTouchesAndItsEnd) {
  vc().scene.panWorldGesture->setTouches({0, 0}, 2);
  forgetLog();
  pinchStep(1.5);
  pinchStep(1.2, kit::GestureState::Ended);
  const std::vector<std::string> expected = {"Number of pan touches is 2",
                                             "At pinch end:", "Frame is 4096.0x4096.0",
                                             "Bounds is 4096x4096", "ContentScaleFactor is 1.0"};
  const auto lines = newLog();
  // The frame is that of the zoomed telescoper: 1.5 × its bounds.
  ASSERT_EQ(lines.size(), expected.size());
  EXPECT_EQ(lines[0], expected[0]);
  EXPECT_EQ(lines[1], expected[1]);
  const kit::Rect bounds = vc().outlets.telescoperView->bounds();
  char frame[64];
  std::snprintf(frame, sizeof frame, "Frame is %1.1fx%1.1f", bounds.size.width * 1.5,
                bounds.size.height * 1.5);
  EXPECT_EQ(lines[2], frame);
  EXPECT_EQ(lines[4], expected[4]);
  EXPECT_EQ(vc().scene.pinchWorldGesture->scale, 1.0);
}

// --- Double tap -------------------------------------------------------------

TEST_F(WorldGestures, DoubleTapTogglesTheLongShotWithAnAnimation) {
  doubleTap();
  EXPECT_TRUE(vc().zoom.longShot);
  EXPECT_FALSE(vc().zoom.isUnityScale);
  EXPECT_DOUBLE_EQ(worldZoom(vc()), 0.25);  // the model value at once

  const double start = runner.clock().now();
  const double midway = vc().outlets.telescoperView->presentation(start + 0.25).transform.a;
  EXPECT_GT(midway, 0.25);
  EXPECT_LT(midway, 1);
  EXPECT_FLOAT_EQ(vc().outlets.telescoperView->presentation(start + 0.5).transform.a, 0.25f);

  doubleTap();
  EXPECT_FALSE(vc().zoom.longShot);
  EXPECT_TRUE(vc().zoom.isUnityScale);
  EXPECT_NEAR(worldZoom(vc()), 1, 1e-6);
}

TEST_F(WorldGestures, DoubleTapFromAnyZoomReturnsToOne) {
  pinchStep(1.5);
  doubleTap();
  EXPECT_NEAR(worldZoom(vc()), 1, 1e-6);
  EXPECT_FALSE(vc().zoom.longShot);

  doubleTap();  // to the long shot, then pinch inside it
  pinchStep(2);
  EXPECT_NEAR(worldZoom(vc()), 0.5, 1e-6);
  EXPECT_TRUE(vc().zoom.longShot);
  doubleTap();
  EXPECT_NEAR(worldZoom(vc()), 1, 1e-6);
  EXPECT_TRUE(vc().zoom.isUnityScale);
}

TEST_F(WorldGestures, OnlyARecognisedDoubleTapActs) {
  kit::TapGestureRecognizer tap(nullptr);
  tap.setState(kit::GestureState::Began);
  vc().resetScale(tap);
  EXPECT_FALSE(vc().zoom.longShot);
  EXPECT_DOUBLE_EQ(worldZoom(vc()), 1);
}

// --- Twist ------------------------------------------------------------------

TEST_F(WorldGestures, TwistTurnsAboutTheFingersWithoutMovingThePicture) {
  const kit::Point fingers{200, 700};
  const kit::Point before =
      root()->convertPointToView({500, 300}, vc().outlets.seamlessTiles.get());

  auto& twist = *vc().scene.rotateWorldGesture;
  twist.rotation = 0;
  play(twist, kit::GestureState::Began, fingers);
  // Beginning moves the pivots under the fingers and nothing else.
  const kit::Point still = vc().outlets.seamlessTiles->convertPointToView(before, root());
  EXPECT_NEAR(still.x, 500, 0.01);
  EXPECT_NEAR(still.y, 300, 0.01);
  EXPECT_EQ(vc().pivot.currentAnchor(), fingers);
  EXPECT_TRUE(vc().pivot.anchorSetByTwist());
  EXPECT_TRUE(vc().pivot.anchorJustSetByTwist());

  twist.rotation = 0.3;
  play(twist, kit::GestureState::Changed, fingers);
  EXPECT_EQ(twist.rotation, 0);
  EXPECT_DOUBLE_EQ(vc().frameDriver.worldRotationThisFrame, 0.3);
  // The point under the fingers stays; others turn about it.
  const kit::Point pivotWorld =
      root()->convertPointToView(fingers, vc().outlets.seamlessTiles.get());
  (void)pivotWorld;
  const kit::Point under = vc().outlets.stretcherView->convertPointToView(
      vc().outlets.stretcherView->convertPointFromView(fingers, root()), root());
  EXPECT_NEAR(under.x, fingers.x, 0.01);
  const kit::Point turned = vc().outlets.seamlessTiles->convertPointToView(before, root());
  const double r0 = std::hypot(500 - fingers.x, 300 - fingers.y);
  EXPECT_NEAR(std::hypot(turned.x - fingers.x, turned.y - fingers.y), r0, 0.05);
  const double a0 = std::atan2(300 - fingers.y, 500 - fingers.x);
  const double a1 = std::atan2(turned.y - fingers.y, turned.x - fingers.x);
  EXPECT_NEAR(a1 - a0, 0.3, 1e-4);  // clockwise on screen (y down)
}

TEST_F(WorldGestures, TwistAndPinchBeginningTogetherMoveTheAnchorOnce) {
  play(*vc().scene.rotateWorldGesture, kit::GestureState::Began, {200, 200});
  const kit::Point anchor = vc().outlets.stretcherView->anchorPoint();
  play(*vc().scene.pinchWorldGesture, kit::GestureState::Began, {600, 900});
  EXPECT_EQ(vc().outlets.stretcherView->anchorPoint(), anchor);

  // A new frame clears the mark: the next beginning moves it again.
  runner.deliverFrames(1);
  play(*vc().scene.pinchWorldGesture, kit::GestureState::Began, {600, 900});
  EXPECT_NE(vc().outlets.stretcherView->anchorPoint(), anchor);
}

TEST_F(WorldGestures, ATwistSuppressesTheHeadingOfExactlyTheNextFrame) {
  runner.deliverFrames(2);
  auto& twist = *vc().scene.rotateWorldGesture;
  play(twist, kit::GestureState::Began, {300, 300});
  forgetLog();
  runner.deliverFrames(2);
  const auto lines = newLog();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Finger twist supercedes gyro turn"), 1);
  EXPECT_FALSE(vc().pivot.anchorJustSetByTwist());
  EXPECT_TRUE(vc().pivot.anchorSetByTwist());
}

// --- Drag, tap, press -------------------------------------------------------

TEST_F(WorldGestures, DragMovesTheTelescoperByIncrementsOnly) {
  auto& pan = *vc().scene.panWorldGesture;
  const kit::Point c0 = vc().outlets.telescoperView->center();
  play(pan, kit::GestureState::Began, {100, 100}, 1);
  pan.setTranslation({30, -10}, nullptr);
  play(pan, kit::GestureState::Changed, {130, 90}, 1);
  pan.setTranslation({5, 5}, nullptr);
  play(pan, kit::GestureState::Ended, {135, 95}, 1);  // no fling
  EXPECT_EQ(vc().outlets.telescoperView->center(), (kit::Point{c0.x + 30, c0.y - 10}));
  EXPECT_EQ(pan.translationInView(nullptr), (kit::Point{5, 5}));
}

TEST_F(WorldGestures, TapHidesAndPressShowsTheInstructions) {
  kit::TapGestureRecognizer tap(nullptr);
  tap.setState(kit::GestureState::Ended);
  vc().hideInstructions(tap);
  EXPECT_EQ(vc().outlets.instructionsView->alpha(), 0.0f);

  kit::LongPressGestureRecognizer press(nullptr);
  press.setState(kit::GestureState::Ended);
  vc().longPressMenu(press);
  EXPECT_EQ(vc().outlets.instructionsView->alpha(), 0.0f);
  press.setState(kit::GestureState::Changed);
  vc().longPressMenu(press);
  EXPECT_GT(vc().outlets.instructionsView->alpha(), 0.0f);
}

TEST_F(WorldGestures, TheWorldsPressRunsAloneAndViewsDoNotMix) {
  auto& world = *vc().outlets.offsetView;
  auto pressOf = [](kit::View& v) -> kit::GestureRecognizer* {
    for (const auto& g : v.gestureRecognizers())
      if (g->kind() == "longPress") return g.get();
    return nullptr;
  };
  kit::GestureRecognizer* worldPress = pressOf(world);
  ASSERT_NE(worldPress, nullptr);
  auto& pan = *vc().scene.panWorldGesture;
  auto& twist = *vc().scene.rotateWorldGesture;
  auto ask = [&](kit::GestureRecognizer& g, kit::GestureRecognizer& h) {
    return vc().gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(g, h);
  };
  EXPECT_FALSE(ask(*worldPress, pan));
  EXPECT_FALSE(ask(pan, *worldPress));
  EXPECT_TRUE(ask(pan, twist));

  // Elsewhere a press runs with the drag of its own view, not of another.
  auto piece = std::make_shared<kit::View>();
  auto other = std::make_shared<kit::View>();
  auto piecePress = std::make_shared<kit::LongPressGestureRecognizer>(nullptr);
  auto piecePan = std::make_shared<kit::PanGestureRecognizer>(nullptr);
  auto otherPan = std::make_shared<kit::PanGestureRecognizer>(nullptr);
  piece->addGestureRecognizer(piecePress);
  piece->addGestureRecognizer(piecePan);
  other->addGestureRecognizer(otherPan);
  EXPECT_TRUE(ask(*piecePress, *piecePan));
  EXPECT_FALSE(ask(*piecePan, *otherPan));
  EXPECT_FALSE(ask(*piecePan, pan));
}

}  // namespace
