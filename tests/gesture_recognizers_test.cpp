// The recognisers' state machines, fed synthetic touches on a virtual
// clock through touch delivery.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "tests/touch_bench.h"

namespace {

using namespace touchtest;
using kit::LongPressGestureRecognizer;
using kit::PanGestureRecognizer;
using kit::PinchGestureRecognizer;
using kit::RotationGestureRecognizer;
using kit::TapGestureRecognizer;

// --- Taps -------------------------------------------------------------------

class Taps : public ::testing::Test {
 protected:
  void SetUp() override {
    single->setDelegate(&delegate);
    twice->setDelegate(&delegate);
    twice->numberOfTapsRequired = 2;
    table->addGestureRecognizer(single);
    table->addGestureRecognizer(twice);
  }

  TouchBench bench;
  SameViewDelegate delegate;
  ActionLog singleLog, twiceLog;
  std::shared_ptr<kit::View> table = bench.addView({0, 0, 768, 1024});
  std::shared_ptr<TapGestureRecognizer> single =
      recognizer<TapGestureRecognizer>(singleLog, bench.clock);
  std::shared_ptr<TapGestureRecognizer> twice =
      recognizer<TapGestureRecognizer>(twiceLog, bench.clock);
};

TEST_F(Taps, EachTapOfADoubleTapIsAlsoASingleTap) {
  bench.tap({300, 400});
  EXPECT_EQ(singleLog.states, std::vector{GestureState::Ended});
  EXPECT_TRUE(twiceLog.states.empty());
  EXPECT_EQ(single->state(), GestureState::Possible);

  bench.after(0.1);
  bench.tap({304, 402});
  EXPECT_EQ(singleLog.count(GestureState::Ended), 2);
  EXPECT_EQ(twiceLog.states, std::vector{GestureState::Ended});
  EXPECT_FLOAT_EQ(twice->locationInView(table.get()).x, 304);
  EXPECT_EQ(twice->state(), GestureState::Possible);  // ready for the next one
  EXPECT_EQ(twice->numberOfTouches(), 0);
}

TEST_F(Taps, ADoubleTapNeedsItsSecondTapSoonAndNearby) {
  bench.tap({300, 400});
  bench.after(0.5);  // the interval runs out
  bench.tap({300, 400});
  EXPECT_TRUE(twiceLog.states.empty());
  // That late tap counts as a first tap of its own.
  bench.after(0.1);
  bench.tap({300, 400});
  EXPECT_EQ(twiceLog.count(GestureState::Ended), 1);

  bench.after(1);
  bench.tap({300, 400});
  bench.after(0.1);
  bench.tap({400, 400});  // too far from the first
  EXPECT_EQ(twiceLog.count(GestureState::Ended), 1);
  EXPECT_EQ(singleLog.count(GestureState::Ended), 5);
}

TEST_F(Taps, AFingerThatStraysOrStaysIsNoTap) {
  bench.down(1, {300, 400});
  bench.after(0.05);
  bench.move(1, {311, 400});
  bench.up(1);
  bench.down(1, {300, 400});
  bench.after(0.8);
  bench.up(1);
  EXPECT_TRUE(singleLog.states.empty());
  EXPECT_EQ(single->state(), GestureState::Possible);
}

TEST(TapTouches, ATwoFingerTapNeedsBothFingersDownTogether) {
  TouchBench bench;
  ActionLog log;
  auto two = recognizer<TapGestureRecognizer>(log, bench.clock);
  two->numberOfTouchesRequired = 2;
  bench.root->addGestureRecognizer(two);
  bench.tap({100, 100});
  EXPECT_TRUE(log.states.empty());
  bench.down(1, {100, 100});
  bench.down(2, {140, 100});
  bench.after(0.05);
  bench.up(1);
  bench.up(2);
  EXPECT_EQ(log.states, std::vector{GestureState::Ended});
  EXPECT_FLOAT_EQ(two->locationInView(nullptr).x, 140);  // where the last finger lifted
}

// --- Long press ---------------------------------------------------------------

class LongPress : public ::testing::Test {
 protected:
  void SetUp() override {
    press->minimumPressDuration = 0.5;
    bench.root->addGestureRecognizer(press);
    bench.at(1);
  }
  TouchBench bench;
  ActionLog log;
  std::shared_ptr<LongPressGestureRecognizer> press =
      recognizer<LongPressGestureRecognizer>(log, bench.clock);
};

TEST_F(LongPress, BeginsExactlyAtItsDurationThenFollowsAndEndsAtTheLift) {
  bench.down(1, {200, 200});
  bench.at(1.4999);
  EXPECT_EQ(press->state(), GestureState::Possible);
  bench.at(1.5);
  ASSERT_EQ(log.states, std::vector{GestureState::Began});
  EXPECT_DOUBLE_EQ(log.times[0], 1.5);
  // Once begun, it may wander far.
  bench.move(1, {260, 200});
  bench.up(1);
  EXPECT_EQ(log.states,
            (std::vector{GestureState::Began, GestureState::Changed, GestureState::Ended}));
  EXPECT_FLOAT_EQ(press->locationInView(nullptr).x, 260);
  EXPECT_EQ(press->state(), GestureState::Possible);
}

TEST_F(LongPress, ALiftStampedAtExactlyTheDurationStillCounts) {
  // The host's lift arrives before the run loop fired the press's timer.
  bench.down(1, {200, 200});
  bench.clock.set(1.5);
  bench.up(1);
  EXPECT_EQ(log.states, (std::vector{GestureState::Began, GestureState::Ended}));
}

TEST_F(LongPress, FailsWhenLiftedEarlyOrMovedMoreThanTenPoints) {
  bench.down(1, {200, 200});
  bench.at(1.3);
  bench.up(1);
  bench.after(1);

  bench.down(1, {200, 200});
  bench.move(1, {206, 208});  // exactly 10 points away: still a press
  bench.after(0.5);
  EXPECT_EQ(log.states, std::vector{GestureState::Began});
  bench.up(1);

  bench.down(1, {200, 200});
  bench.move(1, {200, 210.5f});
  EXPECT_EQ(press->state(), GestureState::Failed);
  bench.after(1);
  bench.up(1);
  EXPECT_EQ(log.count(GestureState::Began), 1);
  EXPECT_EQ(press->state(), GestureState::Possible);
}

// --- Pan ----------------------------------------------------------------------

class Pan : public ::testing::Test {
 protected:
  void SetUp() override {
    // Handlers take increments, as the application's do.
    pan = std::make_shared<PanGestureRecognizer>([this](kit::GestureRecognizer& g) {
      auto& p = static_cast<PanGestureRecognizer&>(g);
      states.push_back(p.state());
      const Point t = p.translationInView(nullptr);
      moved = {moved.x + t.x, moved.y + t.y};
      p.setTranslation({0, 0}, nullptr);
      velocity = p.velocityInView(nullptr);
    });
    bench.root->addGestureRecognizer(pan);
  }
  TouchBench bench;
  std::shared_ptr<PanGestureRecognizer> pan;
  std::vector<GestureState> states;
  Point moved, velocity;
};

TEST_F(Pan, BeginsPastTenPointsAndDeliversTheWholeDrag) {
  bench.down(1, {100, 100});
  bench.move(1, {108, 106});  // exactly 10
  EXPECT_EQ(pan->state(), GestureState::Possible);
  bench.move(1, {108, 106.5f});
  EXPECT_EQ(pan->state(), GestureState::Began);
  bench.move(1, {150, 130});
  bench.up(1);
  EXPECT_EQ(states, (std::vector{GestureState::Began, GestureState::Changed, GestureState::Ended}));
  EXPECT_FLOAT_EQ(moved.x, 50);
  EXPECT_FLOAT_EQ(moved.y, 30);
}

TEST_F(Pan, ReleaseVelocityIsTheSpeedOfTheLastMoves) {
  bench.at(2);
  bench.drag({100, 100}, {400, 100}, 0.5);  // 600 points per second
  EXPECT_EQ(states.back(), GestureState::Ended);
  EXPECT_NEAR(velocity.x, 600, 0.5);
  EXPECT_NEAR(velocity.y, 0, 0.5);
  EXPECT_NEAR(moved.x, 300, 1e-3);

  // A finger that comes to rest before it lifts throws nothing.
  bench.drag({100, 100}, {400, 100}, 0.5, 0.2);
  EXPECT_EQ(states.back(), GestureState::Ended);
  EXPECT_EQ(velocity.x, 0);
}

TEST_F(Pan, TranslationAndVelocityInAnotherViewsCoordinates) {
  auto zoomed = bench.addView({0, 0, 768, 1024});
  zoomed->setTransform(kit::AffineTransform::makeScale(2, 2));
  bench.down(1, {100, 100});
  bench.after(0.1);
  bench.move(1, {160, 100});
  EXPECT_NEAR(pan->translationInView(zoomed.get()).x, 0, 1e-4);  // taken by the handler
  pan->setTranslation({10, 0}, zoomed.get());
  EXPECT_FLOAT_EQ(pan->translationInView(nullptr).x, 20);
  EXPECT_NEAR(pan->velocityInView(zoomed.get()).x, 300, 0.5);
  bench.up(1);
}

TEST(PanTouches, AThirdFingerOnARunningTwoFingerPanIsIgnored) {
  TouchBench bench;
  ActionLog log;
  auto pan = recognizer<PanGestureRecognizer>(log, bench.clock);
  pan->maximumNumberOfTouches = 2;
  bench.root->addGestureRecognizer(pan);
  bench.down(1, {100, 100});
  bench.down(2, {140, 100});
  bench.move(1, {100, 120});
  bench.move(2, {140, 120});
  ASSERT_EQ(pan->state(), GestureState::Began);  // 20 points, the mean of the two
  EXPECT_EQ(pan->numberOfTouches(), 2);
  pan->setTranslation({0, 0}, nullptr);

  bench.down(3, {500, 500});
  bench.move(3, {700, 900});
  EXPECT_EQ(pan->numberOfTouches(), 2);
  EXPECT_EQ(pan->translationInView(nullptr).x, 0);
  EXPECT_EQ(pan->translationInView(nullptr).y, 0);
  EXPECT_FLOAT_EQ(pan->locationInView(nullptr).x, 120);

  // One of the two lifting does not jump the translation.
  bench.up(2);
  bench.move(1, {110, 130});
  EXPECT_FLOAT_EQ(pan->translationInView(nullptr).x, 10);
  EXPECT_FLOAT_EQ(pan->translationInView(nullptr).y, 10);
  bench.up(1);
  EXPECT_EQ(log.states.back(), GestureState::Ended);
  bench.up(3);
  EXPECT_EQ(pan->state(), GestureState::Possible);
}

TEST(PanTouches, TooManyFingersBeforeItBeginsIsNoPanButTheWorldsTakesThem) {
  TouchBench bench;
  ActionLog pieceLog, worldLog;
  auto world = bench.addView({0, 0, 768, 1024});
  auto piece = bench.addView({0, 0, 400, 400}, world.get());
  auto piecePan = recognizer<PanGestureRecognizer>(pieceLog, bench.clock);
  piecePan->maximumNumberOfTouches = 2;
  auto worldPan = recognizer<PanGestureRecognizer>(worldLog, bench.clock);
  worldPan->maximumNumberOfTouches = 3;
  piece->addGestureRecognizer(piecePan);
  world->addGestureRecognizer(worldPan);
  bench.raw({{1, TouchPhase::Began, {100, 100}, 0},
             {2, TouchPhase::Began, {140, 100}, 0},
             {3, TouchPhase::Began, {180, 100}, 0}});
  bench.raw({{1, TouchPhase::Moved, {100, 150}, 0.1},
             {2, TouchPhase::Moved, {140, 150}, 0.1},
             {3, TouchPhase::Moved, {180, 150}, 0.1}});
  EXPECT_TRUE(pieceLog.states.empty());
  EXPECT_EQ(worldLog.states, std::vector{GestureState::Began});
  EXPECT_EQ(worldPan->numberOfTouches(), 3);
}

// --- Rotation and pinch -------------------------------------------------------------

TEST(TwoFingers, RotationAccumulatesClockwiseIncrementsBetweenResets) {
  TouchBench bench;
  double total = 0;
  std::vector<GestureState> states;
  auto rotation = std::make_shared<RotationGestureRecognizer>([&](kit::GestureRecognizer& g) {
    auto& r = static_cast<RotationGestureRecognizer&>(g);
    states.push_back(r.state());
    total += r.rotation;
    r.rotation = 0;
  });
  bench.root->addGestureRecognizer(rotation);
  const Point c{384, 512};
  const float radius = 100;
  auto at = [&](double angle, double side) {
    return Point{c.x + radius * static_cast<float>(std::cos(angle + side)),
                 c.y + radius * static_cast<float>(std::sin(angle + side))};
  };
  bench.down(1, at(0, std::numbers::pi));
  bench.down(2, at(0, 0));
  for (int i = 1; i <= 30; ++i) {
    bench.after(1 / 120.0);
    const double a = 0.5 * i / 30;
    bench.raw({{1, TouchPhase::Moved, at(a, std::numbers::pi), bench.clock.now()},
               {2, TouchPhase::Moved, at(a, 0), bench.clock.now()}});
  }
  EXPECT_EQ(states.front(), GestureState::Began);
  EXPECT_NEAR(total, 0.5, 1e-5);  // turning toward +y on a y-down screen is clockwise
  EXPECT_NEAR(rotation->velocity, 0.5 / 0.25, 1e-2);
  EXPECT_EQ(rotation->numberOfTouches(), 2);
  EXPECT_NEAR(rotation->locationInView(nullptr).x, c.x, 1e-3);
  bench.raw({{1, TouchPhase::Ended, at(0.5, std::numbers::pi), bench.clock.now()},
             {2, TouchPhase::Ended, at(0.5, 0), bench.clock.now()}});
  EXPECT_EQ(states.back(), GestureState::Ended);
  EXPECT_EQ(rotation->rotation, 0);
}

TEST(TwoFingers, PinchScalesMultiplyToTheRatioOfSpansAndParallelFingersDoNothing) {
  TouchBench bench;
  double total = 1;
  int calls = 0;
  auto pinch = std::make_shared<PinchGestureRecognizer>([&](kit::GestureRecognizer& g) {
    auto& p = static_cast<PinchGestureRecognizer&>(g);
    ++calls;
    total *= p.scale;
    p.scale = 1;
  });
  auto rotation = std::make_shared<RotationGestureRecognizer>(nullptr);
  bench.root->addGestureRecognizer(pinch);
  bench.root->addGestureRecognizer(rotation);

  // Two fingers dragged side by side: neither a pinch nor a twist.
  bench.down(1, {300, 500});
  bench.down(2, {340, 500});
  for (int i = 1; i <= 20; ++i)
    bench.raw({{1, TouchPhase::Moved, {300.0f + 10 * i, 500}, i / 120.0},
               {2, TouchPhase::Moved, {340.0f + 10 * i, 500}, i / 120.0}});
  bench.up(1);
  bench.up(2);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(rotation->state(), GestureState::Possible);

  bench.down(1, {284, 512});
  bench.down(2, {484, 512});
  for (int i = 1; i <= 10; ++i)
    bench.raw({{1, TouchPhase::Moved, {384.0f - 100 - 10 * i, 512}, 1 + i / 120.0},
               {2, TouchPhase::Moved, {384.0f + 100 + 10 * i, 512}, 1 + i / 120.0}});
  EXPECT_NEAR(total, 2.0, 1e-5);
  EXPECT_EQ(pinch->state(), GestureState::Changed);
  EXPECT_EQ(rotation->state(), GestureState::Possible);
}

}  // namespace
