// The scenario line `snapshot FILE.png`: which names it takes, and where
// the runner writes the picture.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "app/vitrane_view_controller.h"
#include "hosts/headless/runner.h"
#include "hosts/headless/scenario.h"
#include "kit/image_codec.h"
#include "render/offscreen_context.h"
#include "tests/temp_folder.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using headless::Scenario;

Scenario parse(const std::string& text) {
  return headless::parseScenario(text, "t.scn", ".", VitraneforiPadViewController::actionNames());
}

std::string errorOf(const std::string& text) {
  try {
    parse(text);
  } catch (const headless::ScenarioError& e) {
    return e.what();
  }
  return "";
}

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// vitrane-run with Mesa pointed at a folder without drivers: no GL context
// can be made.
int runWithoutGl(const fs::path& dir, const std::string& scenario) {
  const fs::path scn = dir / "s.scn";
  std::ofstream(scn) << scenario;
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::string(*e).rfind("LIBGL_DRIVERS_PATH=", 0) != 0) env.emplace_back(*e);
  env.push_back("LIBGL_DRIVERS_PATH=" + (dir / "no-drivers").string());
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = {VITRANE_RUN_PATH, "--out", (dir / "out").string(), scn.string()};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, (dir / "stdout").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, (dir / "stderr").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SnapshotCommand, NamesMustBePngAndStayInsideTheOutputFolder) {
  const Scenario s = parse(
      "frames 1\nsnapshot shots/first one.png  # spaces are part of the name\n"
      "snapshot a/../b.PNG\nsnapshot /tmp/elsewhere.png\n");
  ASSERT_EQ(s.commands.size(), 4u);
  EXPECT_EQ(std::get<headless::Snapshot>(s.commands[1].body).path, "shots/first one.png");
  EXPECT_EQ(std::get<headless::Snapshot>(s.commands[2].body).path, "a/../b.PNG");
  EXPECT_EQ(std::get<headless::Snapshot>(s.commands[3].body).path, "/tmp/elsewhere.png");

  EXPECT_EQ(errorOf("frames 1\nsnapshot ../up.png\n"),
            "t.scn:2: bad snapshot file \"../up.png\": it would leave the output folder");
  EXPECT_EQ(errorOf("snapshot a/../../up.png\n"),
            "t.scn:1: bad snapshot file \"a/../../up.png\": it would leave the output folder");
  EXPECT_EQ(errorOf("snapshot picture.jpg\n"),
            "t.scn:1: bad snapshot file \"picture.jpg\": the name must end in .png");
  EXPECT_EQ(errorOf("snapshot shots/\n"),
            "t.scn:1: bad snapshot file \"shots/\": the name must end in .png");
  EXPECT_EQ(errorOf("snapshot\n"), "t.scn:1: expected: snapshot FILE.png");
}

TEST(SnapshotCommand, PicturesGoUnderTheOutputFolderWhichIsMadeWhenMissing) {
  const testing_files::TempFolder folder("snapshot-test");
  const fs::path& dir = folder.path();
  ASSERT_FALSE(dir.empty());
  headless::RunnerOptions options;
  options.outDir = (dir / "not" / "yet").string();
  std::ostringstream out;
  {
    headless::Runner runner(options, out);
    try {
      runner.run(parse("frames 2\nsnapshot shots/a.png\nwait 0.5\nsnapshot b.png\n"));
    } catch (const std::runtime_error& e) {
      // Only a missing GL context is a reason to skip; other failures fail.
      if (std::string(e.what()).find("no OpenGL ES context") != std::string::npos)
        GTEST_SKIP() << e.what();
      FAIL() << e.what();
    }
  }
  for (const fs::path& p : {dir / "not/yet/shots/a.png", dir / "not/yet/b.png"}) {
    const auto picture = kit::decodeImageFile(p.string());
    ASSERT_TRUE(picture) << p << ": " << picture.error().message;
    EXPECT_EQ(picture->bitmap->width, 768);
    EXPECT_EQ(picture->bitmap->height, 1024);
  }
  // The panel had faded in for the second one only.
  const auto a = kit::decodeImageFile((dir / "not/yet/shots/a.png").string());
  const auto b = kit::decodeImageFile((dir / "not/yet/b.png").string());
  const std::uint8_t* pa = a->bitmap->row(440) + 400 * 4;
  const std::uint8_t* pb = b->bitmap->row(440) + 400 * 4;
  EXPECT_GT(pa[0] + pa[1] + pa[2], pb[0] + pb[1] + pb[2] + 100);
}

TEST(SnapshotCommand, WithoutGlOnlySnapshotsFailAndTheyFailWithTheirLine) {
  const testing_files::TempFolder folder("snapshot-test");
  const fs::path& dir = folder.path();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(runWithoutGl(dir, "frames 1\ndump\n"), 0) << slurp(dir / "stderr");
  const int status = runWithoutGl(dir, "frames 1\nsnapshot a.png\ndump\n");
  const std::string err = slurp(dir / "stderr");
  if (status == 0) {
    GTEST_SKIP() << "this system's EGL does not take its drivers from LIBGL_DRIVERS_PATH";
  }
  EXPECT_EQ(status, 1);
  EXPECT_NE(err.find("vitrane-run: " + (dir / "s.scn").string() +
                     ":2: snapshot a.png: no OpenGL ES context"),
            std::string::npos)
      << err;
  EXPECT_EQ(slurp(dir / "stdout").find("STATE "), std::string::npos);  // nothing ran past it
  EXPECT_FALSE(fs::exists(dir / "out" / "a.png"));
}

}  // namespace
