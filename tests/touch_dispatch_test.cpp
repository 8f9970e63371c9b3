// Touch delivery: which recognisers see a touch, which may run together,
// buttons, and what bad hardware input must not do.
#include <gtest/gtest.h>

#include <limits>

#include "kit/button.h"
#include "tests/touch_bench.h"

namespace {

using namespace touchtest;
using kit::LongPressGestureRecognizer;
using kit::PanGestureRecognizer;
using kit::TapGestureRecognizer;

// --- Who runs together ------------------------------------------------------

class PressAndPan : public ::testing::Test {
 protected:
  void SetUp() override {
    press->setDelegate(&no);
    pan->setDelegate(&no);
    view->addGestureRecognizer(press);
    view->addGestureRecognizer(pan);
  }
  TouchBench bench;
  FixedDelegate no{false};
  ActionLog pressLog, panLog;
  std::shared_ptr<kit::View> view = bench.addView({0, 0, 768, 1024});
  std::shared_ptr<LongPressGestureRecognizer> press =
      recognizer<LongPressGestureRecognizer>(pressLog, bench.clock);
  std::shared_ptr<PanGestureRecognizer> pan = recognizer<PanGestureRecognizer>(panLog, bench.clock);
};

TEST_F(PressAndPan, AHeldPressKeepsThePanFromBeginning) {
  bench.down(1, {300, 300});
  bench.after(0.5);
  bench.move(1, {400, 300});
  bench.move(1, {500, 300});
  bench.up(1);
  EXPECT_EQ(pressLog.states, (std::vector{GestureState::Began, GestureState::Changed,
                                          GestureState::Changed, GestureState::Ended}));
  EXPECT_TRUE(panLog.states.empty());
  EXPECT_EQ(pan->state(), GestureState::Possible);
}

TEST_F(PressAndPan, ARunningPanLeavesNoPressToBegin) {
  bench.down(1, {300, 300});
  bench.after(0.1);
  bench.move(1, {330, 300});
  bench.after(1);
  bench.up(1);
  EXPECT_TRUE(pressLog.states.empty());
  EXPECT_EQ(panLog.states, (std::vector{GestureState::Began, GestureState::Ended}));
}

TEST_F(PressAndPan, WithADelegateSayingYesBothRun) {
  FixedDelegate yes{true};
  press->setDelegate(&yes);
  bench.down(1, {300, 300});
  bench.after(0.5);
  bench.move(1, {310, 300});
  bench.move(1, {320, 300});
  bench.up(1);
  EXPECT_EQ(pressLog.states.front(), GestureState::Began);
  EXPECT_EQ(panLog.states.front(), GestureState::Began);
}

TEST(Arbitration, TheDeeperViewsPanWinsOverItsAncestors) {
  TouchBench bench;
  ActionLog pieceLog, worldLog;
  auto world = bench.addView({0, 0, 768, 1024});
  auto piece = bench.addView({100, 100, 200, 200}, world.get());
  auto worldPan = recognizer<PanGestureRecognizer>(worldLog, bench.clock);
  auto piecePan = recognizer<PanGestureRecognizer>(pieceLog, bench.clock);
  // The ancestor's recogniser is added first, and still comes second.
  world->addGestureRecognizer(worldPan);
  piece->addGestureRecognizer(piecePan);

  bench.drag({150, 150}, {350, 150}, 0.25);
  EXPECT_EQ(pieceLog.states.front(), GestureState::Began);
  EXPECT_EQ(pieceLog.states.back(), GestureState::Ended);
  EXPECT_TRUE(worldLog.states.empty());
  EXPECT_EQ(worldPan->state(), GestureState::Possible);

  // Off the piece, the world's pan has the touch to itself.
  bench.drag({500, 500}, {600, 500}, 0.25);
  EXPECT_EQ(worldLog.states.front(), GestureState::Began);
}

TEST(Arbitration, ATapOnAViewIsNotAlsoATapOnTheViewUnderIt) {
  TouchBench bench;
  ActionLog pieceLog, worldLog;
  auto world = bench.addView({0, 0, 768, 1024});
  auto piece = bench.addView({100, 100, 200, 200}, world.get());
  world->addGestureRecognizer(recognizer<TapGestureRecognizer>(worldLog, bench.clock));
  piece->addGestureRecognizer(recognizer<TapGestureRecognizer>(pieceLog, bench.clock));
  bench.tap({150, 150});
  EXPECT_EQ(pieceLog.states, std::vector{GestureState::Ended});
  EXPECT_TRUE(worldLog.states.empty());
  bench.tap({500, 500});
  EXPECT_EQ(worldLog.states, std::vector{GestureState::Ended});
}

TEST(Arbitration, TouchesOnTwoViewsRunTwoGesturesAtOnce) {
  TouchBench bench;
  ActionLog aLog, bLog;
  auto a = bench.addView({0, 0, 300, 300});
  auto b = bench.addView({400, 400, 300, 300});
  a->addGestureRecognizer(recognizer<PanGestureRecognizer>(aLog, bench.clock));
  b->addGestureRecognizer(recognizer<PanGestureRecognizer>(bLog, bench.clock));
  bench.down(1, {100, 100});
  bench.down(2, {500, 500});
  bench.move(1, {150, 100});
  bench.move(2, {550, 500});
  EXPECT_EQ(aLog.states, std::vector{GestureState::Began});
  EXPECT_EQ(bLog.states, std::vector{GestureState::Began});
}

// --- Buttons and disabled recognisers ------------------------------------------------

TEST(Delivery, AButtonTakesItsTouchAndSendsItsActionOnTouchUpInside) {
  TouchBench bench;
  ActionLog tapLog;
  bench.root->addGestureRecognizer(recognizer<TapGestureRecognizer>(tapLog, bench.clock));
  auto button = std::make_shared<kit::Button>();
  button->setFrame({100, 100, 120, 44});
  bench.root->addSubview(button);
  int presses = 0;
  button->addAction([&](kit::View* sender) {
    EXPECT_EQ(sender, button.get());
    ++presses;
  });

  bench.tap({150, 120});
  EXPECT_EQ(presses, 1);
  EXPECT_TRUE(tapLog.states.empty());

  bench.down(1, {150, 120});
  bench.move(1, {400, 400});  // dragged off before lifting
  bench.up(1);
  EXPECT_EQ(presses, 1);

  button->setEnabled(false);
  bench.tap({150, 120});
  EXPECT_EQ(presses, 1);
}

TEST(Delivery, ADisabledRecognizerSeesNothingAndOneDisabledMidwayIsCancelled) {
  TouchBench bench;
  ActionLog log;
  auto pan = recognizer<PanGestureRecognizer>(log, bench.clock);
  bench.root->addGestureRecognizer(pan);
  pan->setEnabled(false);
  bench.drag({100, 100}, {300, 100}, 0.1);
  EXPECT_TRUE(log.states.empty());

  pan->setEnabled(true);
  bench.down(1, {100, 100});
  bench.move(1, {200, 100});
  pan->setEnabled(false);
  bench.move(1, {300, 100});
  EXPECT_EQ(log.states, (std::vector{GestureState::Began, GestureState::Cancelled}));
  bench.up(1);
  EXPECT_EQ(pan->state(), GestureState::Possible);
}

TEST(Delivery, ARecognizerWhoseViewGoesAwayMidGestureIsLetGo) {
  TouchBench bench;
  ActionLog log;
  auto piece = bench.addView({0, 0, 300, 300});
  auto pan = recognizer<PanGestureRecognizer>(log, bench.clock);
  piece->addGestureRecognizer(pan);
  bench.down(1, {100, 100});
  bench.move(1, {150, 100});
  piece->removeFromSuperview();
  piece.reset();  // the view is gone; the recogniser lives on in delivery
  bench.move(1, {200, 100});
  bench.up(1);
  EXPECT_EQ(log.states, (std::vector{GestureState::Began, GestureState::Cancelled}));
  EXPECT_EQ(pan->state(), GestureState::Possible);
}

// --- Bad input ------------------------------------------------------------------

class BadInput : public ::testing::Test {
 protected:
  void SetUp() override {
    bench.root->addGestureRecognizer(pan);
    bench.root->addGestureRecognizer(tap);
  }
  void expectAllAtRest() {
    EXPECT_EQ(bench.dispatcher.liveTouchCount(), 0u);
    EXPECT_EQ(pan->state(), GestureState::Possible);
    EXPECT_EQ(tap->state(), GestureState::Possible);
  }
  TouchBench bench;
  ActionLog panLog, tapLog;
  std::shared_ptr<PanGestureRecognizer> pan = recognizer<PanGestureRecognizer>(panLog, bench.clock);
  std::shared_ptr<TapGestureRecognizer> tap = recognizer<TapGestureRecognizer>(tapLog, bench.clock);
};

TEST_F(BadInput, AnUpOrAMoveWithoutADownIsIgnored) {
  bench.raw({{7, TouchPhase::Ended, {10, 10}, 0}});
  bench.raw({{8, TouchPhase::Moved, {10, 10}, 0}});
  bench.raw({{9, TouchPhase::Cancelled, {10, 10}, 0}});
  EXPECT_TRUE(panLog.states.empty());
  EXPECT_TRUE(tapLog.states.empty());
  expectAllAtRest();
}

TEST_F(BadInput, ARepeatedDownOfALiveFingerIsAMove) {
  bench.raw({{1, TouchPhase::Began, {100, 100}, 0}});
  bench.raw({{1, TouchPhase::Began, {100, 100}, 0.01}});
  EXPECT_EQ(bench.dispatcher.liveTouchCount(), 1u);
  bench.raw({{1, TouchPhase::Began, {200, 100}, 0.02}});
  EXPECT_EQ(pan->state(), GestureState::Began);
  bench.raw({{1, TouchPhase::Ended, {200, 100}, 0.03}});
  EXPECT_EQ(panLog.states.back(), GestureState::Ended);
  expectAllAtRest();
}

TEST_F(BadInput, FingersBeyondTenAreIgnoredToTheirEnd) {
  std::vector<kit::Touch> eleven;
  for (int id = 0; id < 11; ++id)
    eleven.push_back({id, TouchPhase::Began, {50.0f + id * 40, 500}, 0});
  bench.raw(eleven);
  EXPECT_EQ(bench.dispatcher.liveTouchCount(), 10u);
  EXPECT_EQ(bench.dispatcher.hitView(10), nullptr);
  EXPECT_EQ(pan->numberOfTouches(), 10);
  bench.raw({{10, TouchPhase::Moved, {700, 900}, 0.1}});
  EXPECT_EQ(pan->state(), GestureState::Possible);
  // A finger lifting makes room for a new one, not for the ignored one.
  bench.raw({{0, TouchPhase::Ended, {50, 500}, 0.2}});
  bench.raw({{10, TouchPhase::Moved, {700, 950}, 0.3}});
  bench.raw({{11, TouchPhase::Began, {60, 60}, 0.3}});
  EXPECT_EQ(bench.dispatcher.liveTouchCount(), 10u);
  EXPECT_NE(bench.dispatcher.hitView(11), nullptr);
  std::vector<kit::Touch> lift;
  for (int id = 0; id < 12; ++id) lift.push_back({id, TouchPhase::Ended, {0, 0}, 0.4});
  bench.raw(lift);
  expectAllAtRest();
}

TEST_F(BadInput, ACancelInTheMiddleOfAGestureCancelsItAndLeavesItReady) {
  bench.down(1, {100, 100});
  bench.move(1, {200, 100});
  ASSERT_EQ(pan->state(), GestureState::Began);
  bench.cancel(1);
  EXPECT_EQ(panLog.states, (std::vector{GestureState::Began, GestureState::Cancelled}));
  expectAllAtRest();

  // A cancel during a possible tap fails it quietly.
  bench.down(1, {100, 100});
  bench.cancel(1);
  EXPECT_TRUE(tapLog.states.empty());
  expectAllAtRest();

  // The host losing its input cancels everything at once.
  bench.down(1, {100, 100});
  bench.down(2, {300, 100});
  bench.move(1, {100, 200});
  bench.dispatcher.cancelAllTouches(bench.clock.now());
  EXPECT_EQ(panLog.states.back(), GestureState::Cancelled);
  expectAllAtRest();
  bench.tap({100, 100}, 3);
  EXPECT_EQ(tapLog.states, std::vector{GestureState::Ended});
}

TEST_F(BadInput, AMoveToAPositionThatIsNotANumberIsIgnored) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  bench.down(1, {100, 100});
  bench.move(1, {150, 100});
  bench.raw({{1, TouchPhase::Moved, {nan, 100}, 0.01}});
  bench.raw({{1, TouchPhase::Moved, {200, inf}, 0.02}});
  EXPECT_FLOAT_EQ(pan->locationInView(nullptr).x, 150);
  bench.raw({{1, TouchPhase::Ended, {nan, nan}, 0.03}});  // lifts where it was
  EXPECT_EQ(panLog.states.back(), GestureState::Ended);
  EXPECT_FLOAT_EQ(pan->locationInView(nullptr).x, 150);
  bench.raw({{2, TouchPhase::Began, {inf, 0}, 0.04}});
  bench.raw({{3, TouchPhase::Began, {10, 10}, std::numeric_limits<double>::quiet_NaN()}});
  bench.raw({{3, TouchPhase::Ended, {10, 10}, -5}});  // time going backwards
  EXPECT_EQ(tapLog.states, std::vector{GestureState::Ended});
  expectAllAtRest();
}

TEST_F(BadInput, ATapThatWaitsForASecondTapIsReleasedWhenTheWindowPasses) {
  tap->numberOfTapsRequired = 2;
  bench.tap({100, 100});
  EXPECT_TRUE(tap->isWaiting());
  bench.after(1);
  EXPECT_FALSE(tap->isWaiting());
  EXPECT_EQ(tap->state(), GestureState::Possible);
  EXPECT_TRUE(bench.loop.nextTimerTime() == std::nullopt);
}

}  // namespace
