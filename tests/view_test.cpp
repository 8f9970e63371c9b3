#include "kit/view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>

#include "kit/image_view.h"
#include "kit/label.h"

namespace {

using kit::AffineTransform;
using kit::Point;
using kit::Rect;
using kit::ViewRef;

ViewRef makeView(const Rect& frame) { return std::make_shared<kit::View>(frame); }

void expectNear(Point actual, Point expected) {
  EXPECT_NEAR(actual.x, expected.x, 1e-3f);
  EXPECT_NEAR(actual.y, expected.y, 1e-3f);
}

TEST(ViewGeometry, FrameIsTheBoxOfTheTransformedBoundsAboutTheCentre) {
  auto v = makeView({150, 75, 100, 50});
  v->setTransform(AffineTransform::makeRotation(std::numbers::pi_v<float> / 2));
  expectNear(v->frame().origin, {175, 50});
  expectNear({v->frame().size.width, v->frame().size.height}, {50, 100});
  v->setTransform(AffineTransform::makeScale(2, 2));
  EXPECT_EQ(v->frame(), Rect(100, 50, 200, 100));
}

TEST(ViewGeometry, MovingTheAnchorMovesTheViewAndSettingTheCentreBackKeepsItStill) {
  auto v = makeView({0, 0, 100, 100});
  v->setTransform(AffineTransform::makeRotation(0.5f));
  const Point corner = v->convertToSuperview({0, 0}), far = v->convertToSuperview({100, 100});
  const Point pivot = v->convertToSuperview({20, 30});

  v->setAnchorPoint({0.2f, 0.3f});
  EXPECT_EQ(v->center(), (Point{50, 50}));
  EXPECT_GT(std::abs(v->convertToSuperview({0, 0}).x - corner.x), 1);
  v->setCenter(pivot);
  expectNear(v->convertToSuperview({0, 0}), corner);
  expectNear(v->convertToSuperview({100, 100}), far);
}

struct NestedViews : ::testing::Test {
  // root ─ outer (quarter turn) ─ middle (doubled) ─ inner (shifted)
  //      └ cousin
  ViewRef root = makeView({0, 0, 1000, 1000}), outer = makeView({100, 100, 200, 200}),
          middle = makeView({0, 0, 100, 50}), inner = makeView({10, 10, 20, 20}),
          cousin = makeView({450, 450, 100, 100});

  void SetUp() override {
    outer->setTransform(AffineTransform::makeRotation(std::numbers::pi_v<float> / 2));
    middle->setTransform(AffineTransform::makeScale(2, 2));
    inner->setTransform(AffineTransform::makeTranslation(3, 4));
    root->addSubview(outer);
    outer->addSubview(middle);
    middle->addSubview(inner);
    root->addSubview(cousin);
  }
};

// By hand: inner (0,0) less anchor (10,10), shifted by (3,4), at centre
// (20,20) is (13,14) in middle; less anchor (50,25), doubled, at centre
// (50,25) is (-24,3) in outer; less anchor (100,100) is (-124,-97), a
// quarter turn gives (97,-124), plus centre (200,200).
constexpr Point kInnerOriginInRoot{297, 76};

TEST_F(NestedViews, ToAndFromRoot) {
  expectNear(inner->convertPointToView({0, 0}, root.get()), kInnerOriginInRoot);
  expectNear(inner->convertPointToView({0, 0}, nullptr), kInnerOriginInRoot);
  expectNear(inner->convertPointFromView(kInnerOriginInRoot, nullptr), {0, 0});
  expectNear(root->convertPointToView(kInnerOriginInRoot, inner.get()), {0, 0});
  const Point inOuter = inner->convertPointToView({7, -3}, outer.get());
  expectNear(outer->convertPointToView(inOuter, inner.get()), {7, -3});
}

TEST_F(NestedViews, BetweenCousinsThroughTheCommonAncestor) {
  const Point expected{kInnerOriginInRoot.x - 450, kInnerOriginInRoot.y - 450};
  expectNear(inner->convertPointToView({0, 0}, cousin.get()), expected);
  expectNear(cousin->convertPointFromView({0, 0}, inner.get()), expected);
  expectNear(cousin->convertPointToView(expected, inner.get()), {0, 0});
}

struct HitTesting : ::testing::Test {
  ViewRef root = makeView({0, 0, 300, 300}), child = makeView({0, 0, 100, 100});
  void SetUp() override { root->addSubview(child); }
};

TEST_F(HitTesting, NearlyTransparentViewsLetTouchesThrough) {
  child->setAlpha(0.009f);
  EXPECT_EQ(root->hitTest({10, 10}), root.get());
  child->setAlpha(0.01f);
  EXPECT_EQ(root->hitTest({10, 10}), child.get());
}

TEST_F(HitTesting, BoundsAreHalfOpenInTheSubviewsOwnSpace) {
  child->setTransform(AffineTransform::makeScale(0.5f, 0.5f));  // drawn over 25..75
  EXPECT_EQ(root->hitTest({20, 20}), root.get());
  EXPECT_EQ(root->hitTest({74.9f, 25}), child.get());
  EXPECT_EQ(root->hitTest({75, 50}), root.get());
}

TEST_F(HitTesting, HiddenOrNonInteractiveParentHidesItsSubviews) {
  auto grandchild = makeView({0, 0, 50, 50});
  child->addSubview(grandchild);
  EXPECT_EQ(root->hitTest({10, 10}), grandchild.get());
  child->setHidden(true);
  EXPECT_EQ(root->hitTest({10, 10}), root.get());
  child->setHidden(false);
  child->setUserInteractionEnabled(false);
  EXPECT_EQ(root->hitTest({10, 10}), root.get());
}

TEST_F(HitTesting, FrontMostSiblingWins) {
  auto front = makeView({50, 50, 100, 100});
  root->addSubview(front);
  EXPECT_EQ(root->hitTest({60, 60}), front.get());
  root->bringSubviewToFront(child.get());
  EXPECT_EQ(root->subviews().back(), child);
  EXPECT_EQ(root->hitTest({60, 60}), child.get());
}

TEST_F(HitTesting, ImageViewsAndLabelsFallThroughToTheirParent) {
  auto image = std::make_shared<kit::ImageView>();
  auto label = std::make_shared<kit::Label>();
  image->setFrame({0, 0, 50, 50});
  label->setFrame({50, 0, 50, 50});
  child->addSubview(image);
  child->addSubview(label);
  EXPECT_EQ(root->hitTest({10, 10}), child.get());
  EXPECT_EQ(root->hitTest({60, 10}), child.get());
}

TEST(ViewTree, ReparentingAndClearing) {
  auto first = makeView({}), second = makeView({}), a = makeView({}), b = makeView({});
  first->addSubview(a);
  second->addSubview(a);  // taken from its old parent
  EXPECT_TRUE(first->subviews().empty());
  EXPECT_EQ(a->superview(), second.get());
  a->addSubview(second);  // would make a cycle
  EXPECT_EQ(second->superview(), nullptr);

  second->addSubview(b);
  second->removeAllSubviews();
  EXPECT_TRUE(second->subviews().empty());
  EXPECT_EQ(a->superview(), nullptr);
  EXPECT_EQ(b->superview(), nullptr);
}

}  // namespace
