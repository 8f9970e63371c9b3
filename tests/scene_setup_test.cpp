// The launch: what set-up writes, in which order, and the state it leaves.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/vitrane_view_controller.h"
#include "fakescreen/rubbed_view.h"
#include "tests/app_fixture.h"
#include "tests/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using SceneSetup = apptest::LaunchedApp;

TEST_F(SceneSetup, LaunchWritesItsLinesInOrder) {
  const std::vector<std::string> corners = {
      "TopLeft: -72.1, -88.6",
      "BottomLeft: -72.1, 1112.6",
      "TopRight: 840.1, -88.6",
      "BottomRight: 840.1, 1112.6",
      "Radial distances from accelerometer:",
      " to topLeft=998.5, topRight=486.2, bottomLeft=1129.5, bottomRight=717.7, center=432.8",
      "Angles from anchor points to accelerometer:",
      " to topLeft=-29.0º, topRight=-94.6º, bottomLeft=39.4º, bottomRight=93.1º, center=15.5º"};
  std::vector<std::string> expected = {"The device's upper left corner is at -98,-115"};
  expected.insert(expected.end(), corners.begin(), corners.end());
  expected.insert(
      expected.end(),
      {"Friction: each frame velocities are multiplied by 0.9942",
       "This iPhone 4 supports Vitrane!", "Motion Manager update rate defaulted to 100 per second",
       "After accel setup, Motion Manager update rate is 100 per second",
       "The tile size is 1200 by 900", "Tile array is 18 by 18",
       "Seamless tile setup center location is 2048,2048", " origin is -8752,-6052",
       " size is 21600,16200, diagonal is 1280"});
  // The body's corners are installed a second time, after the tile field.
  expected.insert(expected.end(), corners.begin(), corners.end());
  EXPECT_EQ(log(), expected);
}

TEST_F(SceneSetup, StartingState) {
  EXPECT_EQ(vc().pivot.currentAnchor(), (kit::Point{384, 512}));
  EXPECT_TRUE(vc().pivot.anchorSetByTwist());
  EXPECT_TRUE(vc().pivot.anchorJustSetByTwist());
  EXPECT_TRUE(vc().zoom.isUnityScale);
  EXPECT_TRUE(vc().outlets.telescoperView->transform().isIdentity());
  EXPECT_TRUE(vc().outlets.iPhoneDesktopView->isHidden());
  EXPECT_TRUE(vc().outlets.pushpinImageView->isHidden());
  const auto& first =
      static_cast<const kit::ImageView&>(*vc().outlets.seamlessTiles->subviews().front());
  EXPECT_EQ(first.image()->bitmap(),
            platform().bundle().imageNamed("WoodGrain1200x900.jpg")->bitmap());
  EXPECT_EQ(vc().outlets.waitSpinner->center(), vc().outlets.wanderIntoPhotosButton->center());
  EXPECT_EQ(platform().application().statusBarStyle(), 2);
  EXPECT_TRUE(runner.appDelegate()->window->isVisible());
}

TEST_F(SceneSetup, RecenterPlacesTheWorldChainAtRest) {
  // Disturb every link first, so that only recenter can undo it.
  vc().outlets.offsetView->setCenter({5, 5});
  vc().outlets.rotatingView->setCenter({100, 100});
  vc().outlets.tableTopView->setCenter({7, 9});
  vc().outlets.telescoperView->setCenter({1000, 1000});
  vc().outlets.telescoperView->setTransform(kit::AffineTransform::makeScale(2, 2));
  vc().outlets.stretcherView->setTransform(kit::AffineTransform::makeRotation(0.5f));
  vc().pivot.moveTo({10, 10});
  vc().recenter(&vc());

  EXPECT_EQ(vc().pivot.currentAnchor(), (kit::Point{384, 512}));
  EXPECT_EQ(vc().outlets.offsetView->frame(), (kit::Rect{-2048, -2048, 4096, 4096}));
  EXPECT_EQ(vc().outlets.rotatingView->center(), (kit::Point{2432, 2560}));
  EXPECT_EQ(vc().outlets.tableTopView->center(), (kit::Point{2048, 2048}));
  EXPECT_TRUE(vc().outlets.telescoperView->transform().isIdentity());
  EXPECT_TRUE(vc().outlets.stretcherView->transform().isIdentity());
  // Both the heading and the zoom turn about the screen centre.
  EXPECT_EQ(
      vc().outlets.offsetView->convertPointToView(vc().outlets.rotatingView->center(), nullptr),
      (kit::Point{384, 512}));
  const kit::View& telescoper = *vc().outlets.telescoperView;
  EXPECT_EQ(telescoper.superview()->convertPointToView(telescoper.center(), nullptr),
            (kit::Point{384, 512}));
}

TEST_F(SceneSetup, SoundsAreRegisteredFromTheirResources) {
  const fs::path dir = platform().bundle().resourceDir();
  EXPECT_EQ(fs::path(vc().systemSounds.transitSoundFileURLRef), dir / "Dit Hit 2.aif");
  EXPECT_EQ(fs::path(vc().systemSounds.newEnvironmentSoundFileURLRef),
            dir / "BellTransitionTrimmed.aif");
  EXPECT_EQ(fs::path(vc().systemSounds.brakeSoundFileURLRef), dir / "Squeak.aif");
  for (kit::SystemSoundID id :
       {vc().systemSounds.transitSoundFileObject, vc().systemSounds.newEnvironmentSoundFileObject,
        vc().systemSounds.brakeSoundFileObject})
    EXPECT_TRUE(platform().sounds().isRegistered(id));
  EXPECT_TRUE(platform().sounds().played().empty());
}

TEST_F(SceneSetup, InstructionsPanelFadesInAndOut) {
  const kit::View& panel = *vc().outlets.instructionsView;
  EXPECT_EQ(panel.alpha(), 1.0f);
  EXPECT_EQ(panel.presentation(0).alpha, 0.0f);
  EXPECT_GT(panel.presentation(0.15).alpha, 0.2f);
  EXPECT_LT(panel.presentation(0.15).alpha, 0.8f);
  EXPECT_EQ(panel.presentation(0.3).alpha, 1.0f);

  runner.advanceTo(0.1);
  vc().showInstructionsPanel();  // a second show keeps it up
  runner.advanceTo(0.5);
  EXPECT_EQ(panel.presentation(0.5).alpha, 1.0f);

  vc().hideInstructionsPanel();
  runner.advanceTo(0.6);
  vc().showInstructionsPanel();
  runner.advanceTo(0.7);
  vc().hideInstructionsPanel();  // while the show is still under way
  EXPECT_GT(panel.presentation(0.7).alpha, 0.0f);
  EXPECT_EQ(panel.alpha(), 0.0f);
  EXPECT_EQ(panel.presentation(1.0).alpha, 0.0f);
}

TEST_F(SceneSetup, OnlyPortraitAutorotates) {
  EXPECT_TRUE(vc().shouldAutorotateToInterfaceOrientation(1));
  for (int o : {0, 2, 3, 4}) EXPECT_FALSE(vc().shouldAutorotateToInterfaceOrientation(o));
  forgetLog();
  vc().willAnimateRotationToInterfaceOrientation(3, 0.3);
  EXPECT_EQ(newLog(), std::vector<std::string>{"Now main Vitrane View is rotating"});
}

// A runner over a copy of the resources that lacks one file.
class SceneSetupWithout : public ::testing::Test {
 protected:
  void launchWithout(const std::string& missing) {
    dir_ = folder_ / missing;
    fs::create_directories(dir_);
    for (const auto& entry : fs::directory_iterator(kit::Bundle::defaultResourceDir()))
      if (entry.path().filename() != missing)
        fs::copy(entry.path(), dir_ / entry.path().filename());
    runner_ =
        std::make_unique<headless::Runner>(headless::RunnerOptions{.resourceDir = dir_}, out_);
    runner_->launch();
  }
  void TearDown() override { runner_.reset(); }
  std::ostringstream out_;
  testing_files::TempFolder folder_{"scene-setup"};
  fs::path dir_;
  std::unique_ptr<headless::Runner> runner_;
};

TEST_F(SceneSetupWithout, TableTextureFailsTheLaunch) {
  try {
    launchWithout("WoodGrain1200x900.jpg");
    ADD_FAILURE() << "launched without a table texture";
  } catch (const LaunchError& e) {
    EXPECT_NE(std::string(e.what()).find("WoodGrain1200x900.jpg"), std::string::npos) << e.what();
  }
}

TEST_F(SceneSetupWithout, ASoundLeavesItSilent) {
  ASSERT_NO_THROW(launchWithout("Squeak.aif"));
  VitraneforiPadViewController& vc = *runner_->controller();
  EXPECT_EQ(vc.systemSounds.brakeSoundFileURLRef, "");
  EXPECT_EQ(vc.systemSounds.brakeSoundFileObject, 0u);
  EXPECT_NE(vc.systemSounds.transitSoundFileObject, 0u);
  runner_->deliverFrames(3);
  EXPECT_EQ(runner_->framesDelivered(), 3u);
}

}  // namespace
