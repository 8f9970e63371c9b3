// What the window settles before it opens: where motion comes from, the
// input script it replays and the file a session is recorded to.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "hosts/desktop/motion_choice.h"
#include "hosts/desktop/script_loading.h"
#include "hosts/desktop/session_recording.h"

namespace {

namespace fs = std::filesystem;

class DesktopStartup : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("vitrane-startup-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string file(const std::string& name, const std::string& text) {
    const fs::path path = dir / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }
  desktop::Say collect() {
    return [this](const std::string& line) { said.push_back(line); };
  }
  std::optional<desktop::MotionChoice> choose(const desktop::Options& options) {
    return desktop::chooseMotion(options, collect());
  }
  std::optional<std::vector<desktop::InputStep>> load(const std::string& path) {
    return desktop::loadScript(
        path, [](const std::string& name) { return name == "Left" || name == "W"; }, collect());
  }
  static desktop::Options replaying(const std::string& path) {
    desktop::Options o;
    o.motion = desktop::Options::Motion::Replay;
    o.replayPath = path;
    return o;
  }
  // An accelerometer and a gyroscope on one device, read from files.
  std::string fakeSensors() {
    const fs::path device = dir / "iio/sys/bus/iio/devices/iio:device0";
    fs::create_directories(device);
    std::ofstream(device / "name") << "imu\n";
    for (const char* channel : {"accel", "anglvel"}) {
      for (const char* axis : {"x", "y", "z"})
        std::ofstream(device / (std::string("in_") + channel + "_" + axis + "_raw")) << "0\n";
      std::ofstream(device / (std::string("in_") + channel + "_scale")) << "0.01\n";
    }
    return (dir / "iio").string();
  }

  fs::path dir;
  std::vector<std::string> said;
};

// --- Motion ------------------------------------------------------------------

TEST_F(DesktopStartup, EachMotionOptionTakesItsSourceAndSaysWhatItShould) {
  desktop::Options sim;
  sim.motion = desktop::Options::Motion::Simulated;
  sim.iioRoot = fakeSensors();  // there, but not asked for
  auto choice = choose(sim);
  ASSERT_TRUE(choice);
  EXPECT_EQ(choice->live, nullptr);  // the keyboard's tablet
  EXPECT_EQ(choice->replay, nullptr);
  EXPECT_TRUE(said.empty());

  desktop::Options automatic;
  automatic.iioRoot = sim.iioRoot;
  choice = choose(automatic);
  ASSERT_TRUE(choice);
  EXPECT_NE(choice->live, nullptr);
  EXPECT_EQ(choice->replay, nullptr);
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].rfind("motion from the IIO sensors: ", 0), 0u) << said[0];

  // Asked for by name, the sensors go without a word.
  said.clear();
  desktop::Options iio = automatic;
  iio.motion = desktop::Options::Motion::Iio;
  choice = choose(iio);
  ASSERT_TRUE(choice);
  EXPECT_NE(choice->live, nullptr);
  EXPECT_TRUE(said.empty());
}

TEST_F(DesktopStartup, WithoutSensorsAutoFallsBackToTheKeyboardButIioFails) {
  desktop::Options automatic;
  automatic.iioRoot = (dir / "nothing").string();
  auto choice = choose(automatic);
  ASSERT_TRUE(choice);
  EXPECT_EQ(choice->live, nullptr);
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].rfind("motion from the simulated tablet on the keyboard (", 0), 0u) << said[0];
  EXPECT_EQ(said[0].back(), ')');

  const std::string why =
      said[0].substr(said[0].find('(') + 1, said[0].size() - said[0].find('(') - 2);
  EXPECT_FALSE(why.empty());

  // Asked for by name, the sensors' absence stops the start with the same reason.
  said.clear();
  desktop::Options iio = automatic;
  iio.motion = desktop::Options::Motion::Iio;
  EXPECT_FALSE(choose(iio));
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0], why);
}

TEST_F(DesktopStartup, AReplayThatCannotBeReadOrParsedStopsTheStartWithWhy) {
  EXPECT_FALSE(choose(replaying((dir / "missing.scn").string())));
  EXPECT_FALSE(choose(replaying(dir.string())));  // a folder opens but reads nothing
  const std::string bad = file("bad.scn", "frames 2\nmotion yaw=north\n");
  EXPECT_FALSE(choose(replaying(bad)));
  ASSERT_EQ(said.size(), 3u);
  EXPECT_EQ(said[0], "cannot read " + (dir / "missing.scn").string());
  EXPECT_EQ(said[1], "cannot read " + dir.string());
  EXPECT_EQ(said[2], bad + ":2: bad yaw \"north\"");
}

TEST_F(DesktopStartup, AReplayPlaysItsMotionLines) {
  auto choice =
      choose(replaying(file("turn.scn", "motion rate.z=0.5\nframes 12\nmotion rate.z=0\n")));
  ASSERT_TRUE(choice);
  ASSERT_NE(choice->replay, nullptr);
  EXPECT_EQ(choice->live.get(), choice->replay);
  EXPECT_EQ(choice->replay->changes(), 2u);
  EXPECT_DOUBLE_EQ(choice->replay->length(), 12.0 / 120);
  EXPECT_TRUE(said.empty());
}

TEST_F(DesktopStartup, ARecordingReplaysWithTheFlatPivotModeItWasMadeWith) {
  for (const bool estimate : {true, false}) {
    std::string error;
    const std::string path = (dir / (estimate ? "estimate.scn" : "centre.scn")).string();
    {
      auto recording = desktop::SessionRecording::open(path, estimate, error);
      ASSERT_TRUE(recording) << error;
      recording->begin(0);
      ASSERT_TRUE(recording->finish(error)) << error;
    }
    auto choice = choose(replaying(path));
    ASSERT_TRUE(choice);
    EXPECT_EQ(choice->flatPivotEstimate, estimate);

    // The command line, when it says, wins over the recording.
    desktop::Options opposite = replaying(path);
    opposite.flatPivotEstimate = !estimate;
    opposite.flatPivotChosen = true;
    choice = choose(opposite);
    ASSERT_TRUE(choice);
    EXPECT_EQ(choice->flatPivotEstimate, !estimate);
  }
  // The last line that says is the mode.
  auto choice =
      choose(replaying(file("both.scn", "flat-pivot estimate\nflat-pivot centre\nframes 1\n")));
  ASSERT_TRUE(choice);
  EXPECT_FALSE(choice->flatPivotEstimate);
  EXPECT_FALSE(choose(replaying(file("bad-pivot.scn", "flat-pivot sideways\n"))));
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0], (dir / "bad-pivot.scn").string() + ":1: expected: flat-pivot estimate|centre");
}

TEST_F(DesktopStartup, TheFlatPivotOptionCarriesOverToLiveSources) {
  desktop::Options sim;
  sim.motion = desktop::Options::Motion::Simulated;
  sim.flatPivotEstimate = true;
  auto choice = choose(sim);
  ASSERT_TRUE(choice);
  EXPECT_TRUE(choice->flatPivotEstimate);
  sim.flatPivotEstimate = false;
  EXPECT_FALSE(choose(sim)->flatPivotEstimate);
}

// --- The input script --------------------------------------------------------

TEST_F(DesktopStartup, NoScriptIsNoSteps) {
  const auto steps = load("");
  ASSERT_TRUE(steps);
  EXPECT_TRUE(steps->empty());
  EXPECT_TRUE(said.empty());
}

TEST_F(DesktopStartup, AScriptIsReadWithItsKeysChecked) {
  const auto steps = load(file("ok.txt", "0.5 key Left down\n1 mouse down 10 20\n2 quit\n"));
  ASSERT_TRUE(steps);
  ASSERT_EQ(steps->size(), 3u);
  EXPECT_EQ((*steps)[0].key, "Left");
  EXPECT_EQ((*steps)[1].kind, desktop::InputStep::Kind::Mouse);
  EXPECT_TRUE(said.empty());
}

TEST_F(DesktopStartup, AMissingUnreadableOrMalformedScriptGivesAClearError) {
  const std::string missing = (dir / "missing.txt").string();
  EXPECT_FALSE(load(missing));
  EXPECT_FALSE(load(dir.string()));
  const std::string malformed = file("bad.txt", "0.5 key Left down\n1 mouse sideways 10 20\n");
  EXPECT_FALSE(load(malformed));
  const std::string unknownKey = file("key.txt", "0.5 key W down\n0.6 key Hyper down\n");
  EXPECT_FALSE(load(unknownKey));
  ASSERT_EQ(said.size(), 4u);
  EXPECT_EQ(said[0], "cannot read " + missing);
  EXPECT_EQ(said[1], "cannot read " + dir.string());
  EXPECT_EQ(said[2].rfind(malformed + ":2: ", 0), 0u) << said[2];
  EXPECT_EQ(said[3], unknownKey + ": no key is called \"Hyper\"");
}

// --- The recording's file ----------------------------------------------------

TEST_F(DesktopStartup, ARecordingThatCannotBeWrittenSaysSoAtOpenOrAtTheEnd) {
  std::string error;
  const std::string nowhere = (dir / "no-folder" / "session.scn").string();
  EXPECT_FALSE(desktop::SessionRecording::open(nowhere, false, error));
  EXPECT_EQ(error, "cannot write " + nowhere);

  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full to fill";
  error.clear();
  auto full = desktop::SessionRecording::open("/dev/full", false, error);
  ASSERT_TRUE(full) << error;
  full->begin(0);
  EXPECT_FALSE(full->finish(error));
  EXPECT_EQ(error, "cannot write /dev/full");
}

TEST_F(DesktopStartup, ARecordingEmptiesTheFileItIsGiven) {
  const std::string path = file("old.scn", std::string(5000, '#'));
  std::string error;
  {
    auto recording = desktop::SessionRecording::open(path, false, error);
    ASSERT_TRUE(recording) << error;
    recording->begin(0);
    ASSERT_TRUE(recording->finish(error));
  }
  std::ifstream in(path);
  std::string first;
  std::getline(in, first);
  EXPECT_EQ(first, "# recorded by vitrane --record; replay with vitrane-run");
  EXPECT_LT(fs::file_size(path), 200u);
}

}  // namespace
