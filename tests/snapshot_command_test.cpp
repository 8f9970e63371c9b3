// The scenario line `snapshot FILE.png`: which names it takes, and where
// the runner writes the picture.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "app/vitrane_view_controller.h"
#include "hosts/headless/runner.h"
#include "hosts/headless/scenario.h"
#include "kit/image_codec.h"
#include "render/offscreen_context.h"

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

TEST(SnapshotCommand, NamesMustBePngAndStayInsideTheOutputFolder) {
  const Scenario s = parse("frames 1\nsnapshot shots/first one.png  # spaces are part of the name\n"
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
  EXPECT_EQ(errorOf("snapshot shots/\n"), "t.scn:1: bad snapshot file \"shots/\": the name must end in .png");
  EXPECT_EQ(errorOf("snapshot\n"), "t.scn:1: expected: snapshot FILE.png");
}

TEST(SnapshotCommand, PicturesGoUnderTheOutputFolderWhichIsMadeWhenMissing) {
  std::string pattern = (fs::temp_directory_path() / "vitrane-snapshot-test.XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const fs::path dir = pattern;
  headless::RunnerOptions options;
  options.outDir = (dir / "not" / "yet").string();
  std::ostringstream out;
  {
    headless::Runner runner(options, out);
    try {
      runner.run(parse("frames 2\nsnapshot shots/a.png\nwait 0.5\nsnapshot b.png\n"));
    } catch (const std::runtime_error& e) {
      fs::remove_all(dir);
      // Only a missing GL context is a reason to skip; other failures fail.
      if (std::string(e.what()).find("no OpenGL ES context") != std::string::npos) GTEST_SKIP() << e.what();
      FAIL() << e.what();
    }
  }
  for (const fs::path& p : {dir / "not/yet/shots/a.png", dir / "not/yet/b.png"}) {
    const kit::DecodeResult picture = kit::decodeImageFile(p.string());
    ASSERT_TRUE(picture) << p << ": " << picture.error;
    EXPECT_EQ(picture.bitmap->width, 768);
    EXPECT_EQ(picture.bitmap->height, 1024);
  }
  // The panel had faded in for the second one only.
  const auto a = kit::decodeImageFile((dir / "not/yet/shots/a.png").string());
  const auto b = kit::decodeImageFile((dir / "not/yet/b.png").string());
  const std::uint8_t* pa = a.bitmap->row(440) + 400 * 4;
  const std::uint8_t* pb = b.bitmap->row(440) + 400 * 4;
  EXPECT_GT(pa[0] + pa[1] + pa[2], pb[0] + pb[1] + pb[2] + 100);
  fs::remove_all(dir);
}

}  // namespace
