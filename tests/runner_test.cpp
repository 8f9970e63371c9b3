// vitrane-run end to end: the built binary on small scenario files, its
// standard output, standard error and exit status.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "kit/image_codec.h"
#include "tests/temp_folder.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

struct Result {
  std::string out, err;
  int status = -1;  // exit status; -1 when killed by a signal

  // The lines of standard output, or those that begin with prefix.
  std::vector<std::string> lines(const std::string& prefix = "") const {
    std::vector<std::string> v;
    std::istringstream in(out);
    for (std::string l; std::getline(in, l);)
      if (l.rfind(prefix, 0) == 0) v.push_back(l);
    return v;
  }
  std::vector<json> states() const {
    std::vector<json> v;
    for (const auto& l : lines("STATE ")) v.push_back(json::parse(l.substr(6)));
    return v;
  }
};

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class RunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder_.path().empty());
    dir_ = folder_.path();
  }

  std::string scenario(const std::string& name, const std::string& text) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
  }

  Result run(const std::vector<std::string>& args, const std::string& input = "",
             const std::string& stdoutPath = "") {
    const std::string in = scenario("stdin.txt", input);
    const std::string out = stdoutPath.empty() ? (dir_ / "stdout.txt").string() : stdoutPath;
    const std::string err = (dir_ / "stderr.txt").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> all = {VITRANE_RUN_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, VITRANE_RUN_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    Result r;
    if (spawned != 0) {
      ADD_FAILURE() << "cannot start " << VITRANE_RUN_PATH;
      return r;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (stdoutPath.empty()) r.out = slurp(out);
    r.err = slurp(err);
    return r;
  }

  Result runText(const std::string& text, std::vector<std::string> options = {}) {
    options.push_back(scenario("s.scn", text));
    return run(options);
  }

  testing_files::TempFolder folder_{"run-test"};
  fs::path dir_;
};

TEST_F(RunnerTest, PrintsTheLaunchLogThenOneTwistLineForTwoFrames) {
  const Result launch = runText("");
  ASSERT_EQ(launch.status, 0) << launch.err;
  const auto log = launch.lines();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front(), "The device's upper left corner is at -98,-115");
  auto at = [&](const std::string& line) { return std::find(log.begin(), log.end(), line); };
  EXPECT_LT(at("Friction: each frame velocities are multiplied by 0.9942"),
            at("This iPhone 4 supports Vitrane!"));
  EXPECT_LT(at("This iPhone 4 supports Vitrane!"), at("The tile size is 1200 by 900"));
  EXPECT_LT(at("Tile array is 18 by 18"), at(" origin is -8752,-6052"));
  EXPECT_NE(at(" origin is -8752,-6052"), log.end());

  const Result twoFrames = runText("frames 2\n");
  ASSERT_EQ(twoFrames.status, 0) << twoFrames.err;
  auto expected = log;
  expected.push_back("Finger twist supercedes gyro turn");
  EXPECT_EQ(twoFrames.lines(), expected);
  EXPECT_EQ(twoFrames.err, "");
}

TEST_F(RunnerTest, TracePrefixesLogLinesWithTheFramesDelivered) {
  const std::string text = "frames 2\ndump\nprobe tableTopView 2048 2048\n";
  const Result plain = runText(text);
  const Result traced = runText(text, {"--trace"});
  ASSERT_EQ(traced.status, 0) << traced.err;
  const auto p = plain.lines(), t = traced.lines();
  ASSERT_EQ(p.size(), t.size());
  for (size_t i = 0; i < t.size(); ++i) {
    if (p[i].rfind("STATE ", 0) == 0 || p[i].rfind("PROBE ", 0) == 0) {
      EXPECT_EQ(t[i].substr(0, 6), p[i].substr(0, 6));  // not prefixed
      continue;
    }
    const std::string frames = p[i] == "Finger twist supercedes gyro turn" ? "1" : "0";
    EXPECT_EQ(t[i], frames + " " + p[i]);
  }
  // A message that begins with a blank keeps it.
  EXPECT_NE(std::find(t.begin(), t.end(), "0  origin is -8752,-6052"), t.end());
}

TEST_F(RunnerTest, DumpHoldsTheStateFramesAndTime) {
  // Frame k is due at k/120 s; a wait ending on a frame's time delivers it.
  const Result r = runText("frames 3\ndump\nwait 0.05\ndump\nwait 0.0001\ndump\n");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto s = r.states();
  ASSERT_EQ(s.size(), 3u);
  EXPECT_EQ(s[0]["frame"], 3);
  EXPECT_NEAR(s[0]["time"].get<double>(), 3.0 / 120, 1e-12);
  EXPECT_EQ(s[1]["frame"], 9);
  EXPECT_NEAR(s[1]["time"].get<double>(), 9.0 / 120, 1e-12);
  EXPECT_EQ(s[2]["frame"], 9);
  EXPECT_NEAR(s[2]["time"].get<double>(), 9.0 / 120 + 0.0001, 1e-12);

  const json& d = s[0];
  EXPECT_EQ(d["currentAnchor"], json({384, 512}));
  EXPECT_EQ(d["tileHorizontalPitch"], 1200);
  EXPECT_EQ(d["screenCornerAnchors"], false);
  EXPECT_EQ(d["views"]["offsetView"]["frame"], json({-2048, -2048, 4096, 4096}));
  for (const auto& [name, view] : d["views"].items())
    for (const char* key : {"frame", "bounds", "center", "transform", "anchorPoint", "alpha",
                            "hidden", "userInteractionEnabled", "subviews"})
      EXPECT_TRUE(view.contains(key)) << name << "." << key;
  EXPECT_EQ(d["pieces"], json::array());
  for (const char* key : {"begunRub", "rubbedRect", "isMidPan", "erased"})
    EXPECT_TRUE(d["rubbed"].contains(key)) << key;
  EXPECT_EQ(d["sounds"], json::array());
  EXPECT_EQ(d["openedURLs"], json::array());
  EXPECT_EQ(d["savedPhotos"], 0);
  EXPECT_EQ(d["statusBarHidden"], false);
}

TEST_F(RunnerTest, ActionsReachTheController) {
  const Result r = runText(
      "frames 1\naction hideInstructionsPanel\nwait 0.5\ndump\n"
      "action showInstructionsPanel\naction toggleScreenCorners\nwait 0.5\ndump\n");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto s = r.states();
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0]["views"]["instructionsView"]["alpha"], 0);
  EXPECT_EQ(s[1]["views"]["instructionsView"]["alpha"], 1);
  EXPECT_EQ(s[1]["screenCornerAnchors"], true);
  EXPECT_EQ(s[1]["topLeftAnchor"], json({0, 0}));
}

TEST_F(RunnerTest, ProbeFollowsTheHeadingTheRightWayRound) {
  const Result r = runText(
      "motion yaw=180deg rate.z=1.5\n"  // a quarter turn counter-clockwise
      "frames 1\n"                      // the first frame leaves the heading alone
      "probe tableTopView 2148 2048\n"
      "frames 1\n"
      "probe tableTopView 2048 2048\n"
      "probe tableTopView 2148 2048\n"
      "motion yaw=0 rate.z=0\n"  // a quarter turn clockwise from the start
      "frames 1\n"
      "probe tableTopView 2148 2048\n");
  ASSERT_EQ(r.status, 0) << r.err;
  // The table point 100 right of the pivot: unturned, then turned clockwise
  // on screen (down, y growing downward), then counter-clockwise (up).
  EXPECT_EQ(r.lines("PROBE "),
            (std::vector<std::string>{
                "PROBE tableTopView 2148 2048 484 512", "PROBE tableTopView 2048 2048 384 512",
                "PROBE tableTopView 2148 2048 384 612", "PROBE tableTopView 2148 2048 384 412"}));
}

TEST_F(RunnerTest, MalformedScenariosExit2AndRunNothingPastTheBadLine) {
  const std::string path =
      scenario("bad.scn", "frames 1\ndump\n\n# next is wrong\nmotion yaw=abc\ndump\n");
  const Result r = run({path});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, path + ":5: bad yaw \"abc\": not a number\n");
  EXPECT_LE(r.states().size(), 1u);

  const Result unknownView = runText("frames 1\nprobe noSuchView 1 1\ndump\n");
  EXPECT_EQ(unknownView.status, 2);
  EXPECT_EQ(unknownView.err.rfind((dir_ / "s.scn").string() + ":2: no view \"noSuchView\"", 0), 0u)
      << unknownView.err;
  EXPECT_TRUE(unknownView.states().empty());

  const Result badFingers = runText("frames 1\ntap 100 100\npress 100 100 -1\ndump\n");
  EXPECT_EQ(badFingers.status, 2);
  EXPECT_EQ(badFingers.err.rfind((dir_ / "s.scn").string() + ":3: bad seconds", 0), 0u)
      << badFingers.err;
  EXPECT_TRUE(badFingers.states().empty());
}

TEST_F(RunnerTest, ReadsTheScenarioFromStandardInput) {
  const Result r = run({"-"}, "frames 1\ndump\n");
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(r.states().size(), 1u);
  EXPECT_EQ(r.states()[0]["frame"], 1);

  const Result bad = run({"-"}, "frames 1\nbogus\n");
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(bad.err, "-:2: unknown command \"bogus\"\n");
}

TEST_F(RunnerTest, CommandLineAndFileFailures) {
  const Result help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("usage: vitrane-run", 0), 0u);
  // 2 is kept for a malformed scenario, with its FILE:LINE.
  EXPECT_EQ(run({"--frobnicate", "x.scn"}).status, 1);

  const std::string missing = (dir_ / "missing.scn").string();
  const Result gone = run({missing});
  EXPECT_EQ(gone.status, 1);
  EXPECT_NE(gone.err.find(missing), std::string::npos);
  EXPECT_EQ(gone.out, "");

  // A folder opens like a file but cannot be read; it must not run as an
  // empty scenario.
  const Result folder = run({dir_.string()});
  EXPECT_EQ(folder.status, 1);
  EXPECT_EQ(folder.out, "");

  if (fs::exists("/dev/full")) {
    const Result full = run({scenario("f.scn", "frames 1\ndump\n")}, "", "/dev/full");
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("cannot write"), std::string::npos);
  }
}

// The chunk types of a PNG file in order, and how many frames its acTL
// promises (0 without one).
std::vector<std::string> pngChunks(const fs::path& file, std::uint32_t& frames) {
  std::ifstream in(file, std::ios::binary);
  std::vector<std::uint8_t> b((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
  std::vector<std::string> types;
  frames = 0;
  auto u32 = [&](std::size_t at) {
    return std::uint32_t{b[at]} << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3];
  };
  for (std::size_t at = 8; at + 12 <= b.size();) {
    const std::uint32_t length = u32(at);
    types.emplace_back(b.begin() + static_cast<long>(at) + 4,
                       b.begin() + static_cast<long>(at) + 8);
    if (types.back() == "acTL") frames = u32(at + 8);
    at += 12 + std::size_t{length};
  }
  return types;
}

TEST_F(RunnerTest, MovieLinesMakeAnAnimatedPngThatAnEndOrTheScenarioEndWrites) {
  const fs::path out = dir_ / "movies";
  const Result r = run({"--out", out.string(),
                        scenario("m.scn",
                                 "frames 1\nmovie a.png every=4 width=48\nframes 8\nmovie end\n"
                                 "movie sub/b.png\nframes 13\n")});
  ASSERT_EQ(r.status, 0) << r.err;
  std::uint32_t frames = 0;
  const auto a = pngChunks(out / "a.png", frames);
  EXPECT_EQ(frames, 3u);  // at the start, after 4 and after 8 frames
  EXPECT_EQ(std::count(a.begin(), a.end(), "fcTL"), 3);
  EXPECT_EQ(std::count(a.begin(), a.end(), "fdAT"), 2);
  EXPECT_EQ(a.front(), "IHDR");
  EXPECT_EQ(a.back(), "IEND");
  const auto still = kit::decodeImageFile((out / "a.png").string());
  ASSERT_TRUE(still) << still.error().message;  // a viewer without animation shows the first
  EXPECT_EQ(still->bitmap->width, 48);
  EXPECT_EQ(still->bitmap->height, 64);
  pngChunks(out / "sub" / "b.png", frames);
  EXPECT_EQ(frames, 3u);  // start, 6, 12: written at the scenario's end

  const Result stray = run({"--out", out.string(), scenario("e.scn", "frames 1\nmovie end\n")});
  EXPECT_EQ(stray.status, 2);
  EXPECT_NE(stray.err.find("e.scn:2: movie end with no movie running"), std::string::npos)
      << stray.err;
}

TEST_F(RunnerTest, DemoScenarioRunsCleanlyAndLeavesItsPictures) {
  const fs::path demo =
      fs::path(VITRANE_TEST_DATA).parent_path().parent_path() / "examples" / "demo.scn";
  const fs::path out = dir_ / "demo";
  const Result r = run({"--out", out.string(), demo.string()});
  for (const char* name :
       {"1-launch.png", "2-table.png", "3-turned-50deg.png", "4-turned-90deg.png"})
    EXPECT_TRUE(kit::decodeImageFile((out / name).string())) << name;
  std::uint32_t frames = 0;
  pngChunks(out / "5-quarter-turn.png", frames);
  EXPECT_EQ(frames,
            31u);  // the turn and the stop after it: 246 frames, one in eight, and the first
  EXPECT_LT(fs::file_size(out / "5-quarter-turn.png"), 4'000'000u);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const auto s = r.states();
  ASSERT_EQ(s.size(), 1u);
  // After the quarter turn counter-clockwise the picture is turned a
  // quarter clockwise on screen.
  const json& t = s[0]["views"]["rotatingView"]["transform"];
  EXPECT_NEAR(t[0].get<double>(), 0, 1e-6);
  EXPECT_NEAR(t[1].get<double>(), 1, 1e-6);
  EXPECT_NEAR(t[2].get<double>(), -1, 1e-6);
  EXPECT_NEAR(t[3].get<double>(), 0, 1e-6);
  EXPECT_EQ(r.lines("PROBE "), std::vector<std::string>{"PROBE tableTopView 2048 2048 384 512"});
}

}  // namespace
