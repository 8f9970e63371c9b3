#include "hosts/desktop/session_recorder.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <numbers>
#include <sstream>

#include "app/app_delegate.h"
#include "app/device_facts.h"
#include "app_fixture.h"
#include "hosts/desktop/motion_replay.h"
#include "hosts/headless/runner.h"
#include "hosts/headless/state_dump.h"
#include "kit/log.h"
#include "kit/platform.h"
#include "kit/simulated_tablet.h"

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kFrame = 1.0 / 120;

using apptest::splitLines;

kit::MotionSample flatAt(double yaw) {
  kit::MotionSample s;
  s.attitude.yaw = yaw;
  return s;
}

double numberIn(const std::string& text) {
  double v = 0;
  std::from_chars(text.data(), text.data() + text.size(), v);
  return v;
}

TEST(SessionRecorder, WritesChangedKeysRunsOfFramesAndTouchesBetweenThem) {
  std::ostringstream out;
  desktop::SessionRecorder r(out);
  r.begin(10);
  r.frame(flatAt(kPi / 2));  // the runner's own start: nothing to say
  r.frame(flatAt(kPi / 2));
  kit::MotionSample turning = flatAt(kPi / 2);
  turning.rotationRate.z = 0.25;
  r.frame(turning);
  kit::MotionSample tipped = turning;
  tipped.rotationRate = {0.5, 0, 0.25};
  tipped.gravity = {0, -0.1, -0.99};
  r.frame(tipped);
  // A finger between frames 4 and 5, one that moves, one that lifts
  // where it last moved and one that lifts elsewhere.
  const double t = 10 + 4 * kFrame + 0.002;
  r.touches(t, {{0, kit::TouchPhase::Began, {100.5f, 200}, t}});
  r.touches(t,
            {{0, kit::TouchPhase::Moved, {101, 0.1f}, t}, {1, kit::TouchPhase::Began, {5, 6}, t}});
  r.touches(t, {{0, kit::TouchPhase::Ended, {101, 0.1f}, t},
                {1, kit::TouchPhase::Stationary, {5, 6}, t}});
  r.touches(t, {{1, kit::TouchPhase::Ended, {7, 6}, t}});
  // An action taken live after frame 5 fell due (the loop had not fired
  // it yet) still comes before it, as it did live.
  r.action(10 + 9 * kFrame, "toggleScreenCorners");
  r.frame(tipped);
  r.finish();

  const auto lines = splitLines(out.str());
  ASSERT_EQ(lines.size(), 16u) << out.str();
  EXPECT_EQ(lines[0][0], '#');
  EXPECT_EQ(lines[1], "frames 2");
  EXPECT_EQ(lines[2], "motion rate.z=0.25");
  EXPECT_EQ(lines[3], "frames 1");
  EXPECT_EQ(lines[4], "motion rate=0.5,0,0.25 gravity=0,-0.1,-0.99");
  EXPECT_EQ(lines[5], "frames 1");
  ASSERT_EQ(lines[6].rfind("wait ", 0), 0u);
  EXPECT_NEAR(numberIn(lines[6].substr(5)), 0.002, 1e-9);
  EXPECT_EQ(lines[7], "touch down 0 100.5 200");
  EXPECT_EQ(lines[8], "touch move 0 101 0.1");
  EXPECT_EQ(lines[9], "touch down 1 5 6");
  EXPECT_EQ(lines[10], "touch up 0");
  EXPECT_EQ(lines[11], "touch move 1 7 6");
  EXPECT_EQ(lines[12], "touch up 1");
  ASSERT_EQ(lines[13].rfind("wait ", 0), 0u);
  const double actionAt = 4 * kFrame + 0.002 + numberIn(lines[13].substr(5));
  EXPECT_LT(actionAt, 5 * kFrame);
  EXPECT_GT(actionAt, 5 * kFrame - 1e-6);
  EXPECT_EQ(lines[14], "action toggleScreenCorners");
  EXPECT_EQ(lines[15], "frames 1");
}

TEST(SessionRecorder, ConfigurationComesFirstAndParsesAsTheRunnersOwn) {
  std::ostringstream out;
  {
    desktop::SessionRecorder recorder(out);
    recorder.configuration("flat-pivot estimate");
    recorder.begin(0);
    recorder.frame(kit::MotionSample{});
    recorder.finish();
  }
  const std::string text = out.str();
  EXPECT_LT(text.find("flat-pivot estimate\n"), text.find("frames"));
  EXPECT_NO_THROW(headless::parseScenario(text, "recorded.scn", ".",
                                          VitraneforiPadViewController::actionNames()));
}

TEST(SessionRecorder, NumbersReadBackAsTheSameBits) {
  for (double v : {0.1, 1.0 / 3, -2.5e-12, kPi / 2, 123456.789, -0.0})
    EXPECT_EQ(numberIn(desktop::SessionRecorder::number(v)), v) << v;
  EXPECT_EQ(desktop::SessionRecorder::number(-0.0), "0");
}

TEST(SessionRecorder, TheRecordingSourceAnswersEveryReadBetweenFramesWithTheFramesReading) {
  std::ostringstream out;
  desktop::SessionRecorder r(out);
  kit::SimulatedTablet tablet{device::tabletBody()};
  tablet.turn(1, 1);
  desktop::RecordingMotionSource source(tablet, r);
  const auto first = source.accelerometerSample(0.1);
  const auto read = source.sample(0.15);  // the frame's device-motion read, later on the clock
  ASSERT_TRUE(first && read);
  EXPECT_EQ(read->attitude.yaw, first->attitude.yaw);
  EXPECT_NE(source.accelerometerSample(0.2)->attitude.yaw, first->attitude.yaw);
}

TEST(MotionReplay, PlaysMotionLinesOnTheScenariosTime) {
  const std::string text =
      "motion yaw=90deg rate.z=1   # turning\n"
      "frames 2\n"
      "touch down 0 10 10\n"
      "motion rate.z=0\n"
      "wait 0.5\n"
      "motion pitch=0.1 gravity=0,-0.0998,-0.995\n";
  desktop::ReplayMotionSource replay(text, "r.scn");
  replay.setOrigin(3);
  EXPECT_NEAR(replay.sample(0)->attitude.yaw, kPi / 2, 1e-12);
  EXPECT_EQ(replay.sample(3 + kFrame)->rotationRate.z, 1);
  EXPECT_EQ(replay.sample(3 + 2 * kFrame)->rotationRate.z, 1);  // frame 2 came before the change
  EXPECT_EQ(replay.sample(3 + 3 * kFrame)->rotationRate.z, 0);
  EXPECT_EQ(replay.sample(3 + 2 * kFrame + 0.5)->attitude.pitch, 0);
  EXPECT_EQ(replay.sample(3 + 2 * kFrame + 0.51)->attitude.pitch, 0.1);
  EXPECT_EQ(replay.sample(100)->gravity.y, -0.0998);

  for (const char* bad : {"frames 2\nmotion yaw=north\n", "frames 2\nmotion spin=1\n",
                          "x\nwait -1\n", "# c\nframes 1.5\n"}) {
    try {
      desktop::ReplayMotionSource r(bad, "bad.scn");
      ADD_FAILURE() << "accepted: " << bad;
    } catch (const desktop::ReplayError& e) {
      EXPECT_EQ(std::string(e.what()).rfind("bad.scn:2: ", 0), 0u) << e.what();
    }
  }
}

// A camera that is there, as the runner's is.
class PresentCamera : public kit::Camera {
 public:
  bool isAvailable() override { return true; }
  kit::Result<kit::ImageRef> captureStill() override { return kit::Error{"there is no camera"}; }
};

// The live session: the application on a platform whose motion comes from
// a moving simulated tablet through the recording source, run the way the
// desktop's loop runs it (steps at uneven times; what fell due first, then
// what happened at the step).
TEST(SessionRecording, ARecordedSessionReplaysToTheSameLogAndState) {
  std::ostringstream recording;
  std::vector<std::string> liveLog;
  nlohmann::json liveState;
  {
    kit::LogCapture capture;
    kit::VirtualClock clock(0);
    kit::SimulatedTablet tablet(device::tabletBody(), 0);
    desktop::SessionRecorder recorder(recording);
    desktop::RecordingMotionSource source(tablet, recorder);
    kit::Platform platform(clock, source, kit::Bundle::defaultResourceDir());
    platform.imagePickers().camera = std::make_shared<PresentCamera>();
    VitraneforiPadAppDelegate app(platform);
    app.applicationDidFinishLaunchingWithOptions();
    platform.backgroundQueue().settle();
    const kit::Accelerometer& accelerometer = platform.accelerometer();
    recorder.begin(*accelerometer.nextDeliveryTime() - accelerometer.updateInterval());

    tablet.hold(0.2);
    tablet.turn(1.2, 0.8);
    tablet.hold(0.4);
    tablet.lift(kit::TabletSide::Left, 10 * kPi / 180, 0.4);
    tablet.turn(-0.6, 0.6);
    tablet.lower(0.4);
    tablet.hold(0.3);
    const double end = tablet.movesEnd();
    double t = 0;
    for (int step = 1; t < end; ++step) {
      t += step % 3 == 0 ? 0.0131 : 0.0071;
      clock.set(t);
      platform.runLoop().fireDueTimers();
      platform.backgroundQueue().settle();
      if (step == 40 || step == 170) {
        app.viewController->actionNamed("toggleScreenCorners")(nullptr);
        recorder.action(t, "toggleScreenCorners");
      }
    }
    recorder.finish();
    liveLog = capture.lines();
    liveState =
        headless::stateDump(*app.viewController, platform, accelerometer.deliveries(), clock.now());
    ASSERT_GT(accelerometer.deliveries(), 300u);
  }
  ASSERT_FALSE(liveLog.empty());

  const headless::Scenario scenario = headless::parseScenario(
      recording.str(), "recorded.scn", ".", VitraneforiPadViewController::actionNames());
  std::ostringstream out;
  headless::Runner runner({}, out);
  runner.run(scenario);
  EXPECT_EQ(splitLines(out.str()), liveLog) << recording.str();
  nlohmann::json replayState = headless::stateDump(*runner.controller(), *runner.platform(),
                                                   runner.framesDelivered(), runner.clock().now());
  // When the clock was read differs: live, after the frame fell due.
  for (nlohmann::json* state : {&liveState, &replayState}) {
    state->erase("time");
    (*state)["currentDeviceMotion"].erase("timestamp");
  }
  EXPECT_EQ(replayState, liveState);
}

}  // namespace
