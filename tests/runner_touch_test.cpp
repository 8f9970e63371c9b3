// The runner's finger lines: parsing, timing against frames, and what they
// do to recognisers on the launched application's window.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "app/vitrane_view_controller.h"
#include "hosts/headless/scenario.h"
#include "tests/app_fixture.h"

namespace {

using kit::GestureState;

headless::Scenario parse(const std::string& text) {
  return headless::parseScenario(text, "t.scn", ".", VitraneforiPadViewController::actionNames());
}

std::string parseError(const std::string& text) {
  try {
    parse(text);
  } catch (const headless::ScenarioError& e) {
    return e.what();
  }
  return "";
}

TEST(RunnerTouchLines, EveryFingerLineParsesAndBadOnesNameTheirLine) {
  EXPECT_EQ(
      parse("touch down 3 10 20\ntouch move 3 11 20\ntouch up 3\ntouch cancel 4\n"
            "tap 1 2\ndoubletap 1 2\npress 1 2 0.5\ndrag 1 2 3 4 0.5\ndrag 1 2 3 4 0 fingers=10\n"
            "twist 384 512 100 90deg 0.5\npinch 384 512 100 50 1\nbutton takePhotoButton\n")
          .commands.size(),
      12u);
  EXPECT_EQ(parseError("tap 1 2\ndrag 1 2 3 4 0.5 fingers=11\n").rfind("t.scn:2: ", 0), 0u);
  EXPECT_EQ(parseError("drag 1 2 3 4 0.5 fingers=0\n").rfind("t.scn:1: ", 0), 0u);
  // A count that is not a number is a bad line like any other.
  EXPECT_EQ(parseError("drag 1 2 3 4 0.5 fingers=x\n").rfind("t.scn:1: ", 0), 0u);
  EXPECT_EQ(parseError("drag 1 2 3 4 0.5 fingers=\n").rfind("t.scn:1: ", 0), 0u);
  EXPECT_EQ(parseError("drag 1 2 3 4 0.5 hands=2\n").rfind("t.scn:1: ", 0), 0u);
  EXPECT_EQ(parseError("touch down -1 2 3\n").rfind("t.scn:1: ", 0), 0u);
  EXPECT_EQ(parseError("touch jump 1\n").rfind("t.scn:1: ", 0), 0u);
  EXPECT_EQ(parseError("touch up 1 2\n").rfind("t.scn:1: ", 0), 0u);
  EXPECT_EQ(parseError("press 1 2 -1\n").rfind("t.scn:1: ", 0), 0u);
  EXPECT_EQ(parseError("twist 1 2 -3 90deg 1\n").rfind("t.scn:1: ", 0), 0u);
  EXPECT_EQ(parseError("pinch 1 2 3 4\n").rfind("t.scn:1: ", 0), 0u);
  EXPECT_EQ(parseError("tap 1e30 2\n").rfind("t.scn:1: ", 0), 0u);
  EXPECT_EQ(parseError("button\n").rfind("t.scn:1: ", 0), 0u);
}

// Recognisers of our own on the window, under every view, allowed to run
// with the application's.
class RunnerFingers : public apptest::LaunchedApp {
 protected:
  struct Call {
    GestureState state;
    double time;
    std::uint64_t frames;
  };

  class Yes : public kit::GestureRecognizerDelegate {
    bool gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(
        kit::GestureRecognizer&, kit::GestureRecognizer&) override {
      return true;
    }
  };

  void SetUp() override {
    LaunchedApp::SetUp();
    vc().outlets.instructionsView->setAlpha(0);  // the panel would take the touches
  }

  template <class R>
  std::shared_ptr<R> add(std::vector<Call>& calls, std::function<void(R&)> read = {}) {
    auto r = std::make_shared<R>([this, &calls, read](kit::GestureRecognizer& g) {
      calls.push_back({g.state(), runner.clock().now(), runner.framesDelivered()});
      if (read) read(static_cast<R&>(g));
    });
    r->setDelegate(&yes_);
    runner.appDelegate()->window->addGestureRecognizer(r);
    return r;
  }

  void play(const std::string& text) { runner.run(parse(text)); }

 private:
  Yes yes_;
};

TEST_F(RunnerFingers, TwistTurnsARotationTargetByItsAngleOneMoveAFrameBeforeEachFrame) {
  double turned = 0;
  std::vector<Call> calls;
  add<kit::RotationGestureRecognizer>(calls, [&](kit::RotationGestureRecognizer& r) {
    turned += r.rotation;
    r.rotation = 0;
  });
  play("frames 12\n");
  const double start = runner.clock().now();
  play("twist 384 512 100 90deg 0.5\n");
  EXPECT_NEAR(turned, std::numbers::pi / 2, 1e-4);  // clockwise on screen
  EXPECT_DOUBLE_EQ(runner.clock().now(), start + 0.5);
  EXPECT_EQ(runner.framesDelivered(), 72u);
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back().state, GestureState::Ended);
  // Every move comes at a frame's time and before that frame.
  for (const Call& c : calls) EXPECT_NEAR(c.time * 120, static_cast<double>(c.frames + 1), 1e-6);
  // A call a frame from the second move on (past 2°), the lift at the
  // last frame's time and before it.
  EXPECT_EQ(calls.size(), 60u);
  EXPECT_EQ(calls.back().frames, 71u);
}

TEST_F(RunnerFingers, DragFlicksAtItsSpeedAndPinchScalesByTheRatioOfRadii) {
  std::vector<Call> panCalls, pinchCalls;
  kit::Point velocity;
  double scaled = 1;
  add<kit::PanGestureRecognizer>(
      panCalls, [&](kit::PanGestureRecognizer& p) { velocity = p.velocityInView(nullptr); });
  add<kit::PinchGestureRecognizer>(pinchCalls, [&](kit::PinchGestureRecognizer& p) {
    scaled *= p.scale;
    p.scale = 1;
  });
  play("wait 0.003\ndrag 100 600 400 600 0.5 fingers=2\n");
  EXPECT_EQ(panCalls.back().state, GestureState::Ended);
  EXPECT_NEAR(velocity.x, 600, 0.5);
  EXPECT_NEAR(velocity.y, 0, 0.5);
  EXPECT_TRUE(pinchCalls.empty());
  EXPECT_DOUBLE_EQ(runner.clock().now(), 0.503);

  play("pinch 384 512 100 150 0.25\n");
  EXPECT_NEAR(scaled, 1.5, 1e-4);
  EXPECT_EQ(pinchCalls.back().state, GestureState::Ended);
}

TEST_F(RunnerFingers, TapsAndPressesTakeTheirTimeAndFireTheirRecognizers) {
  std::vector<Call> singles, doubles, presses;
  add<kit::TapGestureRecognizer>(singles);
  add<kit::TapGestureRecognizer>(doubles)->numberOfTapsRequired = 2;
  add<kit::LongPressGestureRecognizer>(presses)->minimumPressDuration = 0.5;

  play("tap 600 900\n");
  EXPECT_DOUBLE_EQ(runner.clock().now(), 0.05);
  EXPECT_EQ(singles.size(), 1u);
  play("wait 1\ndoubletap 600 900\n");
  EXPECT_DOUBLE_EQ(runner.clock().now(), 1.25);
  EXPECT_EQ(singles.size(), 3u);
  ASSERT_EQ(doubles.size(), 1u);
  EXPECT_DOUBLE_EQ(doubles[0].time, 1.25);

  play("wait 1\npress 600 900 0.5\n");
  ASSERT_EQ(presses.size(), 2u);
  EXPECT_EQ(presses[0].state, GestureState::Began);
  EXPECT_DOUBLE_EQ(presses[0].time, 2.75);  // exactly its duration, the lift at the same time
  EXPECT_EQ(presses[1].state, GestureState::Ended);
}

TEST_F(RunnerFingers, RawTouchLinesPassOnAsWrittenAndNonsenseDoesNoHarm) {
  std::vector<Call> calls;
  auto pan = add<kit::PanGestureRecognizer>(calls);
  play(
      "touch up 9\ntouch move 8 10 10\ntouch down 1 100 600\ntouch down 1 100 600\n"
      "touch move 1 200 600\ntouch cancel 1\ntouch up 1\n");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].state, GestureState::Began);
  EXPECT_EQ(calls[1].state, GestureState::Cancelled);
  EXPECT_EQ(pan->state(), GestureState::Possible);
  EXPECT_EQ(runner.touchDispatcher()->liveTouchCount(), 0u);
}

TEST_F(RunnerFingers, AButtonLinePressesTheOutletsButton) {
  int presses = 0;
  vc().outlets.takePhotoButton->addAction([&](kit::View*) { ++presses; });
  play("button takePhotoButton\n");
  EXPECT_EQ(presses, 1);
  EXPECT_THROW(play("button tableTopView\n"), headless::ScenarioError);
  EXPECT_THROW(play("button nothingCalledThis\n"), headless::ScenarioError);
}

}  // namespace
