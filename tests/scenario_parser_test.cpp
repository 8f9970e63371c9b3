#include "hosts/headless/scenario.h"

#include <gtest/gtest.h>

#include <numbers>
#include <sstream>

#include "app/vitrane_view_controller.h"
#include "hosts/headless/runner.h"

namespace {

using namespace headless;

Scenario parse(const std::string& text, const std::string& baseDir = "/scenes") {
  return parseScenario(text, "t.scn", baseDir, VitraneforiPadViewController::actionNames());
}

std::string errorOf(const std::string& text) {
  try {
    parse(text);
  } catch (const ScenarioError& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(ScenarioParser, BadLinesAreReportedWithFileAndLine) {
  struct Case {
    const char* line;
    const char* message;  // after "t.scn:3: "
  };
  const Case cases[] = {
      {"jump 3", "unknown command \"jump\""},
      {"motion spin=1", "unknown motion key \"spin\""},
      {"motion yaw", "bad motion setting \"yaw\": expected KEY=VALUE"},
      {"motion yaw=nan", "bad yaw \"nan\": not finite"},
      {"motion rate.z=-inf", "bad rate.z \"-inf\": not finite"},
      {"motion pitch=1e999", "bad pitch \"1e999\""},
      {"motion yaw=1.7e308deg", "bad yaw \"1.7e308deg\": not finite"},
      {"motion yaw=+-3", "bad yaw \"+-3\": not a number"},
      {"motion rate=1,2", "bad rate \"1,2\": expected X,Y,Z"},
      {"frames -1", "bad frame count \"-1\""},
      {"frames 2.5", "bad frame count \"2.5\""},
      {"wait -0.1", "bad seconds \"-0.1\": time does not run backwards"},
      {"action flyAway", "unknown action \"flyAway\""},
      {"seed 4", "\"seed\" is configuration and must come before every other command"},
      {"movie", "expected: movie FILE.png [every=N] [width=W], or movie end"},
      {"movie turn.gif", "bad snapshot file \"turn.gif\": the name must end in .png"},
      {"movie ../turn.png", "bad snapshot file \"../turn.png\": it would leave the output folder"},
      {"movie turn.png every=0", "bad every \"0\": at least one frame"},
      {"movie turn.png width=8", "bad width \"8\": 16 to 4096 points"},
      {"movie turn.png fps=30", "expected: movie FILE.png"},
      {"movie end now", "expected: movie FILE.png"},
  };
  for (const Case& c : cases) {
    // A valid first command, then a comment, so the line number must count
    // the lines actually read.
    const std::string error = errorOf(std::string("frames 1\n# note\n") + c.line + "\ndump\n");
    EXPECT_EQ(error.rfind(std::string("t.scn:3: ") + c.message, 0), 0u)
        << c.line << " -> " << error;
  }
}

TEST(ScenarioParser, FingerLinesAreCheckedBeforeAnythingRuns) {
  EXPECT_EQ(errorOf("frames 1\ndrag 0 0 1 1 1 fingers=11\n").rfind("t.scn:2: ", 0), 0u);
  EXPECT_EQ(errorOf("tap 1\n").rfind("t.scn:1: expected: tap X Y", 0), 0u);
}

TEST(ScenarioParser, AnglesAndRatesApplyToTheCurrentSample) {
  const Scenario s = parse(
      "# comments and blank lines count as lines\n"
      "\n"
      "motion yaw=180deg pitch=0.25 rate=1,2,3 accel=+0.5,0,-1   # turned\r\n"
      "motion rate.z=-0.7\n"
      "motion rate.z=4 rate=5,6,7#last one wins\n");
  ASSERT_EQ(s.commands.size(), 3u);
  EXPECT_EQ(s.commands[0].line, 3);

  std::ostringstream out;
  Runner runner({}, out);
  const kit::MotionSample& m = runner.motion().current;
  runner.applyMotion(std::get<MotionChange>(s.commands[0].body));
  EXPECT_DOUBLE_EQ(m.attitude.yaw, std::numbers::pi);
  EXPECT_DOUBLE_EQ(m.attitude.pitch, 0.25);
  EXPECT_EQ(m.acceleration, (kit::Vector3{0.5, 0, -1}));
  EXPECT_EQ(m.gravity, (kit::Vector3{0, 0, -1}));  // unnamed: still flat
  runner.applyMotion(std::get<MotionChange>(s.commands[1].body));
  EXPECT_EQ(m.rotationRate, (kit::Vector3{1, 2, -0.7}));
  runner.applyMotion(std::get<MotionChange>(s.commands[2].body));
  EXPECT_EQ(m.rotationRate, (kit::Vector3{5, 6, 7}));
}

TEST(ScenarioParser, LibraryFoldersAreRelativeToTheScenario) {
  const Scenario s = parse(
      "library photos/albums # mine\nlibrary /abs/lib\nlibrary ../My Photos\n"
      "library refused\n");
  EXPECT_EQ(std::get<LibraryFolder>(s.commands[0].body).path, "/scenes/photos/albums");
  EXPECT_EQ(std::get<LibraryFolder>(s.commands[1].body).path, "/abs/lib");
  EXPECT_EQ(std::get<LibraryFolder>(s.commands[2].body).path, "/My Photos");
  EXPECT_TRUE(std::holds_alternative<LibraryRefused>(s.commands[3].body));
}

}  // namespace
