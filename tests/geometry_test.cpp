#include "kit/geometry.h"

#include <gtest/gtest.h>

#include <numbers>

namespace {

using kit::AffineTransform;
using kit::Point;
using kit::Rect;

constexpr float kQuarterTurn = std::numbers::pi_v<float> / 2;

void expectNear(Point actual, Point expected) {
  EXPECT_NEAR(actual.x, expected.x, 1e-4f);
  EXPECT_NEAR(actual.y, expected.y, 1e-4f);
}

TEST(AffineTransformOrder, ConcatAppliesFirstArgumentFirst) {
  const auto rotate = AffineTransform::makeRotation(kQuarterTurn);
  const auto stretch = AffineTransform::makeScale(2, 1);
  // y grows downward, so +x turning toward +y is clockwise on screen.
  expectNear(rotate.apply({1, 0}), {0, 1});
  // Rotated onto y, the stretch along x has nothing to act on...
  expectNear(AffineTransform::concat(rotate, stretch).apply({1, 0}), {0, 1});
  // ...stretched first, the length survives the turn.
  expectNear(AffineTransform::concat(stretch, rotate).apply({1, 0}), {0, 2});
}

TEST(AffineTransformOrder, RotatedAndScaledActInTheViewsOwnSpace) {
  // The new step comes before t, so a view placed by t turns about its own
  // origin instead of swinging around the superview's.
  const auto placed = AffineTransform::makeTranslation(10, 0);
  expectNear(kit::rotated(placed, kQuarterTurn).apply({1, 0}), {10, 1});

  const auto turned = AffineTransform::makeRotation(kQuarterTurn);
  expectNear(kit::scaled(turned, 2, 1).apply({1, 0}), {0, 2});
}

TEST(AffineTransformInverse, UndoesACompositeTransform) {
  auto t = AffineTransform::makeTranslation(30, -12);
  t = kit::rotated(t, 0.7f);
  t = kit::scaled(t, 1.5f, 0.5f);
  const auto back = t.inverted();
  for (const Point p : {Point{0, 0}, Point{13, -4}, Point{-250, 90}}) {
    expectNear(back.apply(t.apply(p)), p);
    expectNear(t.apply(back.apply(p)), p);
  }
  const AffineTransform flat = kit::scaled(t, 0, 3);
  EXPECT_EQ(flat.inverted(), flat);  // singular: unchanged
}

TEST(AffineTransformRect, BoundingBoxOfTurnedCorners) {
  const Rect quarter = AffineTransform::makeRotation(kQuarterTurn).applyToRect({0, 0, 4, 2});
  expectNear(quarter.origin, {-2, 0});
  expectNear({quarter.size.width, quarter.size.height}, {2, 4});

  // An eighth of a turn of a centred square grows the box to its diagonal.
  const Rect eighth = AffineTransform::makeRotation(kQuarterTurn / 2).applyToRect({-1, -1, 2, 2});
  const float half = std::numbers::sqrt2_v<float>;
  expectNear(eighth.origin, {-half, -half});
  expectNear({eighth.size.width, eighth.size.height}, {2 * half, 2 * half});
}

}  // namespace
