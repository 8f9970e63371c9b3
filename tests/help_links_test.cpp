// The help panel and the two outside links.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <chrono>
#include <iterator>
#include <thread>

#include "app/vitrane_view_controller.h"
#include "app_fixture.h"
#include "capture/camera_view_controller.h"
#include "help/help_panel_view_controller.h"
#include "hosts/desktop/link_opener.h"
#include "hosts/desktop/notice.h"
#include "hosts/desktop/process.h"
#include "kit/clock.h"
#include "kit/run_loop.h"
#include "tests/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using apptest::LaunchedApp;

class Links : public LaunchedApp {
 protected:
  void SetUp() override {
    runner.configure(headless::OpenUrl{false});
    LaunchedApp::SetUp();
    forgetLog();
  }
};

TEST_F(Links, ALinkThatCannotBeOpenedIsLoggedWithItsAddress) {
  vc().visitWebSite();
  vc().visitAppStoreListing();
  const auto lines = newLog();
  ASSERT_EQ(lines.size(), 2u);
  for (const auto& line : lines) {
    EXPECT_EQ(line.rfind("Couldn't open https://", 0), 0u) << line;
    EXPECT_EQ(line.substr(line.size() - 16), " for some reason") << line;
  }
  EXPECT_NE(lines[0], lines[1]);
  EXPECT_TRUE(platform().application().openedURLs().empty());
  // Nothing else changes: the panel stays up.
  EXPECT_FLOAT_EQ(vc().outlets.instructionsView->alpha(), 1.0f);
}

TEST_F(LaunchedApp, LinksThatOpenWriteNothing) {
  forgetLog();
  vc().visitWebSite();
  vc().visitAppStoreListing();
  vc().scene.helpPanelController->visitWebSite();
  EXPECT_TRUE(newLog().empty());
  const auto& opened = platform().application().openedURLs();
  ASSERT_EQ(opened.size(), 3u);
  EXPECT_NE(opened[0], opened[1]);
  EXPECT_EQ(opened[2], opened[0]);
}

TEST_F(LaunchedApp, TheHelpPanelLoadsItsOwnInterfaceAndForwardsEveryButton) {
  HelpPanelViewController& panel = *vc().scene.helpPanelController;
  ASSERT_NO_THROW(panel.view());
  ASSERT_TRUE(panel.instructionsView && panel.waitSpinner && panel.visitQuillfenButton);
  EXPECT_TRUE(vc().scene.helpPopover);
  EXPECT_EQ(vc().scene.helpPopover->content().get(), &panel);
  EXPECT_FALSE(vc().scene.helpPopover->isPresented());
  EXPECT_FALSE(panel.actionNamed("visitAppStoreListing"));

  forgetLog();
  panel.usePhotoLibraryButton->sendActions();
  EXPECT_EQ(newLog(), std::vector<std::string>{"Use full Photo Library photo."});
  EXPECT_FLOAT_EQ(vc().outlets.instructionsView->alpha(), 0.0f);
  ASSERT_TRUE(vc().scene.cameraController->popover);
  EXPECT_EQ(vc().scene.cameraController->popover->contentSize(), (kit::Size{600, 800}));

  vc().showInstructionsPanel();
  panel.cropLibraryTileButton->sendActions();
  EXPECT_EQ(newLog(), std::vector<std::string>{"Crop Photo Library photo."});
  EXPECT_FLOAT_EQ(vc().outlets.instructionsView->alpha(), 0.0f);
  EXPECT_TRUE(vc().scene.cameraController->cropPhoto);

  panel.visitQuillfenButton->sendActions();
  EXPECT_EQ(platform().application().openedURLs().size(), 1u);
}

// The desktop's opener gets the address as one argument, whatever it holds.
TEST(DesktopOpener, SpawnsTheOpenerWithTheAddressAsOneArgument) {
  const testing_files::TempFolder folder("opener");
  const fs::path& dir = folder.path();
  const fs::path record = dir / "args";
  {
    std::ofstream script(dir / "xdg-open");
    script << "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > '" << record.string() << "'\n";
  }
  fs::permissions(dir / "xdg-open", fs::perms::owner_all);
  const char* oldPath = std::getenv("PATH");
  const std::string savedPath = oldPath ? oldPath : "";
  setenv("PATH", dir.c_str(), 1);

  const std::string address = "https://example.org/a b;echo $(id) 'q'&x=\"1\"";
  const bool started = desktop::openUrl(address).has_value();
  if (started) {
    int status = 0;
    while (waitpid(-1, &status, 0) < 0 && errno == EINTR) {
    }
  }
  setenv("PATH", "/nonexistent-vitrane-path", 1);
  const bool startedWithoutOpener = desktop::openUrl("https://example.org/").has_value();
  setenv("PATH", savedPath.c_str(), 1);
  desktop::reapChildren();

  ASSERT_TRUE(started);
  std::ifstream in(record);
  const std::string args{std::istreambuf_iterator<char>(in), {}};
  EXPECT_EQ(args, "1|" + address + "|");
  EXPECT_FALSE(startedWithoutOpener);
}

// An opener that starts but finds no program for the link (xdg-open's exit
// status 3) is told, once, when it has finished; one that opened its link
// is not.
TEST(DesktopOpener, ALinkNoProgramCouldOpenIsToldOnceItsOpenerHasFinished) {
  const testing_files::TempFolder folder("failing-opener");
  const fs::path& dir = folder.path();
  std::ofstream(dir / "xdg-open")
      << "#!/bin/sh\ncase \"$1\" in *good*) exit 0;; *) exit 3;; esac\n";
  fs::permissions(dir / "xdg-open", fs::perms::owner_all);
  const char* oldPath = std::getenv("PATH");
  const std::string savedPath = oldPath ? oldPath : "";
  setenv("PATH", dir.c_str(), 1);
  desktop::LinkOpener links;
  const bool good = links.open("https://good.example/");
  const bool bad = links.open("https://bad.example/");
  setenv("PATH", savedPath.c_str(), 1);
  ASSERT_TRUE(good && bad);

  // Two real processes: wait for them, at most a while.
  std::vector<std::string> failed;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (links.pending() > 0 && std::chrono::steady_clock::now() < deadline) {
    for (const std::string& url : links.failedAmong(desktop::reapChildren())) failed.push_back(url);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(failed, std::vector<std::string>{"https://bad.example/"});
  EXPECT_TRUE(links.failedAmong(desktop::reapChildren()).empty());
  EXPECT_EQ(desktop::linkFailureText("https://bad.example/"),
            "No browser could open https://bad.example/");
}

TEST(DesktopNotice, ALineShowsForItsTimeAndANewOneStartsTheTimeAgain) {
  kit::VirtualClock clock;
  kit::RunLoop loop(clock);
  desktop::Notice notice(loop);
  EXPECT_FALSE(notice.isShown());
  EXPECT_FALSE(notice.view()->isUserInteractionEnabled());

  notice.show("No browser could open https://a.example/");
  EXPECT_TRUE(notice.isShown());
  clock.advance(desktop::Notice::kSeconds - 1);
  loop.fireDueTimers();
  notice.show("No browser could open https://b.example/");
  EXPECT_EQ(notice.text(), "No browser could open https://b.example/");
  clock.advance(desktop::Notice::kSeconds - 0.5);
  loop.fireDueTimers();
  EXPECT_TRUE(notice.isShown());
  clock.advance(0.5);
  loop.fireDueTimers();
  EXPECT_FALSE(notice.isShown());
}

}  // namespace
