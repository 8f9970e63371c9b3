#include "kit/animation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>

#include "kit/view.h"

namespace {

using kit::AffineTransform;
using kit::AnimationBlock;
using kit::AnimationCurve;

double ease(double x) { return kit::applyCurve(AnimationCurve::EaseInOut, x); }

TEST(EaseInOut, MatchesThePlatformCurve) {
  EXPECT_NEAR(ease(0.5), 0.5, 1e-6);
  // cubic-bezier(0.42, 0, 0.58, 1), solved independently.
  EXPECT_NEAR(ease(0.1), 0.0197225, 1e-6);
  EXPECT_NEAR(ease(0.25), 0.1291619, 1e-6);
  for (double x : {0.05, 0.2, 0.37, 0.49}) EXPECT_NEAR(ease(x) + ease(1 - x), 1, 1e-6) << x;
}

struct Animations : ::testing::Test {
  kit::VirtualClock clock{10};
  std::shared_ptr<kit::View> view = std::make_shared<kit::View>(kit::Rect(0, 0, 100, 100));

  void SetUp() override { kit::setMainClock(&clock); }
  void TearDown() override { kit::setMainClock(nullptr); }

  float drawnAlpha(double t) const { return view->presentation(t).alpha; }
  double drawnAngle(double t) const {
    const AffineTransform m = view->presentation(t).transform;
    return std::atan2(m.b, m.a);
  }
  void fadeTo(float alpha) {
    AnimationBlock block(1.0);
    view->setAlpha(alpha);
  }
};

TEST_F(Animations, ModelJumpsWhilePresentationEases) {
  view->setAlpha(0);
  fadeTo(1);
  EXPECT_EQ(view->alpha(), 1);
  EXPECT_EQ(drawnAlpha(10), 0);
  EXPECT_NEAR(drawnAlpha(10.25), 0.1291619, 1e-5);
  EXPECT_NEAR(drawnAlpha(10.5), 0.5, 1e-5);
  EXPECT_EQ(drawnAlpha(11), 1);
  EXPECT_TRUE(view->isAnimating(10.99));
  EXPECT_FALSE(view->isAnimating(11));
}

TEST_F(Animations, HideDuringShowTurnsRoundFromWhereItIsDrawn) {
  view->setAlpha(0);
  fadeTo(1);
  clock.set(10.25);
  const float partial = drawnAlpha(10.25);
  fadeTo(0);
  EXPECT_EQ(view->alpha(), 0);
  EXPECT_FLOAT_EQ(drawnAlpha(10.25), partial);
  EXPECT_NEAR(drawnAlpha(10.75), partial / 2, 1e-5);
  EXPECT_EQ(drawnAlpha(11.25), 0);
}

TEST_F(Animations, SetOutsideABlockCancelsTheTrack) {
  fadeTo(0);
  view->setAlpha(0.3f);
  EXPECT_FALSE(view->isAnimating(10.5));
  EXPECT_EQ(drawnAlpha(10.5), 0.3f);
}

TEST_F(Animations, ATurnStaysATurnAndGoesTheShortWay) {
  {
    AnimationBlock block(1.0);
    view->setTransform(AffineTransform::makeRotation(std::numbers::pi_v<float> / 2));
  }
  const AffineTransform half = view->presentation(10.5).transform;
  EXPECT_NEAR(std::hypot(half.a, half.b), 1, 1e-5);
  EXPECT_NEAR(half.a * half.d - half.b * half.c, 1, 1e-5);
  EXPECT_NEAR(drawnAngle(10.5), std::numbers::pi / 4, 1e-5);

  clock.set(20);  // from 170° to -170° is 20° through 180°
  constexpr float kDegree = std::numbers::pi_v<float> / 180;
  view->setTransform(AffineTransform::makeRotation(170 * kDegree));
  {
    AnimationBlock block(1.0);
    view->setTransform(AffineTransform::makeRotation(-170 * kDegree));
  }
  EXPECT_NEAR(std::abs(drawnAngle(20.5)), std::numbers::pi, 1e-4);
}

TEST_F(Animations, InnermostBlockDecidesAndCommitRestoresTheOuter) {
  kit::beginAnimations();
  kit::setAnimationDuration(1.0);
  {
    AnimationBlock inner(0.2, AnimationCurve::Linear);
    view->setAlpha(0);
  }
  view->setCenter({150, 50});
  kit::commitAnimations();
  EXPECT_EQ(kit::currentAnimation(), nullptr);
  EXPECT_NEAR(drawnAlpha(10.1), 0.5, 1e-5);                   // linear over 0.2 s
  EXPECT_NEAR(view->presentation(10.5).center.x, 100, 1e-3);  // eased over 1 s
}

}  // namespace
