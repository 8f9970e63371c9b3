// Taking or picking a new table surface: the three actions, the picker's
// popover and modal presentation, what is used, what is saved.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/vitrane_view_controller.h"
#include "capture/camera_view_controller.h"
#include "help/help_panel_view_controller.h"
#include "hosts/headless/runner.h"
#include "kit/image_codec.h"
#include "kit/image_picker.h"
#include "tests/temp_folder.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

kit::ImageRef solidImage(int width, int height,
                         kit::ImageOrientation orientation = kit::ImageOrientation::Up) {
  auto bitmap =
      std::make_shared<kit::Bitmap>(kit::Bitmap::make(width, height, kit::PixelFormat::RGBA8));
  for (std::size_t i = 0; i < bitmap->pixels.size(); i += 4) {
    bitmap->pixels[i] = 120;
    bitmap->pixels[i + 1] = 80;
    bitmap->pixels[i + 2] = 40;
    bitmap->pixels[i + 3] = 255;
  }
  return std::make_shared<kit::Image>(bitmap, orientation);
}

int filesIn(const fs::path& dir) {
  if (!fs::exists(dir)) return 0;
  int n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++n;
  return n;
}

class Capture : public ::testing::Test {
 protected:
  explicit Capture(bool camera = true) : camera_(camera) {}

  void SetUp() override {
    if (!camera_) runner.configure(headless::CameraUnavailable{});
    runner.launch();
    forgetLog();
  }

  VitraneforiPadViewController& vc() { return *runner.controller(); }
  CameraViewController& camera() { return *vc().scene.cameraController; }
  kit::ImagePickerServices& pickers() { return runner.platform()->imagePickers(); }
  kit::ImagePickerController* openPicker() { return pickers().openPicker(); }
  fs::path albumFolder() const { return outDir / "saved-photos"; }
  int saved() { return pickers().savedPhotosAlbum().savedCount(); }

  std::vector<std::string> newLog() {
    std::vector<std::string> all = splitLines(out.str());
    std::vector<std::string> fresh(all.begin() + static_cast<long>(seen_), all.end());
    seen_ = all.size();
    return fresh;
  }
  void forgetLog() { newLog(); }

  // The open picker answers with image (and crop); fails the test when none is open.
  void pick(kit::ImageRef image, std::optional<kit::Rect> crop = std::nullopt) {
    kit::ImagePickerController* picker = openPicker();
    ASSERT_NE(picker, nullptr);
    picker->finishPicking(std::move(image), crop);
  }

  testing_files::TempFolder folder_{"capture"};
  fs::path outDir = folder_.path();
  std::ostringstream out;
  headless::Runner runner{{false, outDir.string(), {}}, out};

 private:
  bool camera_;
  size_t seen_ = 0;
};

class NoCamera : public Capture {
 protected:
  NoCamera() : Capture(false) {}
};

TEST_F(Capture, TheCropActionShowsAnEditingLibraryPickerInASmallPopover) {
  vc().cropLibraryTile();
  EXPECT_EQ(newLog(), std::vector<std::string>{"Crop Photo Library photo."});
  EXPECT_FLOAT_EQ(vc().outlets.instructionsView->alpha(), 0.0f);
  EXPECT_TRUE(camera().pickFromLibrary);
  EXPECT_TRUE(camera().cropPhoto);
  ASSERT_TRUE(camera().popover);
  const kit::PopoverController& popover = *camera().popover;
  EXPECT_TRUE(popover.isPresented());
  EXPECT_EQ(popover.contentSize(), (kit::Size{460, 460}));
  EXPECT_EQ(popover.presentedFromRect(), (kit::Rect{300, 0, 600, 800}));
  EXPECT_EQ(popover.presentedInView(), vc().view().get());
  kit::ImagePickerController* picker = openPicker();
  ASSERT_NE(picker, nullptr);
  EXPECT_EQ(popover.content().get(), picker);
  EXPECT_EQ(picker->sourceType(), kit::ImagePickerSourceType::PhotoLibrary);
  EXPECT_TRUE(picker->allowsEditing());
  EXPECT_EQ(picker->delegate(), &camera());
  // In a popover the picker has no parent to dismiss it.
  EXPECT_EQ(picker->parentViewController(), nullptr);
}

TEST_F(Capture, TheWholePhotoActionShowsTheLibraryWithoutCroppingInALargePopover) {
  vc().cropLibraryTile();
  openPicker()->cancel();
  forgetLog();
  vc().useLibraryPhoto();
  EXPECT_EQ(newLog(), std::vector<std::string>{"Use full Photo Library photo."});
  EXPECT_FALSE(camera().cropPhoto);
  ASSERT_TRUE(camera().popover);
  EXPECT_EQ(camera().popover->contentSize(), (kit::Size{600, 800}));
  ASSERT_NE(openPicker(), nullptr);
  EXPECT_FALSE(openPicker()->allowsEditing());
}

TEST_F(Capture, AnOversizedCropIsLoggedButStillBecomesTheTableAndIsSaved) {
  vc().cropLibraryTile();
  forgetLog();
  pick(solidImage(1600, 1300), kit::Rect{100, 50, 1200, 1200});
  const auto lines = newLog();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "CropRect at position 100,50 of size 1200,1200");
  EXPECT_EQ(
      lines[1].rfind(
          "Captured image {cropRect = [100, 50, 1200, 1200]; editedImage = <Image 1200x1200", 0),
      0u)
      << lines[1];
  EXPECT_EQ(lines[2], "Edited image Too Big!");
  EXPECT_EQ(lines.back(), "image orientation: Up");
  EXPECT_EQ(vc().tiles.tileHorizontalPitch, 1200);
  EXPECT_EQ(vc().tiles.tileVerticalPitch, 1200);
  EXPECT_EQ(saved(), 1);
  EXPECT_EQ(filesIn(albumFolder()), 1);
  // The application names its album: the file is called after it.
  EXPECT_TRUE(fs::exists(albumFolder() / "Vitrane 0001.jpg"));
  // The pick is over: no popover, no picker.
  EXPECT_FALSE(camera().popover);
  EXPECT_EQ(openPicker(), nullptr);
  EXPECT_EQ(camera().picker(), nullptr);
}

TEST_F(Capture, ACropThatFitsIsNotCalledTooBig) {
  vc().cropLibraryTile();
  forgetLog();
  pick(solidImage(1600, 1300), kit::Rect{0, 0, 1024, 1024});
  for (const auto& line : newLog()) EXPECT_NE(line, "Edited image Too Big!");
  EXPECT_EQ(vc().tiles.tileHorizontalPitch, 1024);
  EXPECT_EQ(saved(), 1);
}

TEST_F(Capture, ACropPickWithoutAnEditedImageUsesTheWholePhotoAndSavesIt) {
  vc().cropLibraryTile();
  forgetLog();
  pick(solidImage(400, 300));
  const auto lines = newLog();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "CropRect at position 0,0 of size 0,0");
  EXPECT_EQ(vc().tiles.tileHorizontalPitch, 400);
  EXPECT_EQ(vc().tiles.tileVerticalPitch, 300);
  EXPECT_EQ(saved(), 1);
}

TEST_F(Capture, AWholeLibraryPhotoIsUsedUncroppedAndNotSaved) {
  vc().useLibraryPhoto();
  forgetLog();
  // Editing is off, so a crop rectangle is not applied.
  pick(solidImage(500, 400, kit::ImageOrientation::Left), kit::Rect{0, 0, 100, 100});
  const auto lines = newLog();
  EXPECT_EQ(lines.front(), "CropRect at position 0,0 of size 0,0");
  EXPECT_EQ(lines.back(), "image orientation: Left");
  for (const auto& line : lines) EXPECT_EQ(line.find("EXIF"), std::string::npos) << line;
  // The tiles show the stored bitmap.
  EXPECT_EQ(vc().tiles.tileHorizontalPitch, 500);
  EXPECT_EQ(vc().tiles.tileVerticalPitch, 400);
  EXPECT_EQ(saved(), 0);
  EXPECT_EQ(filesIn(albumFolder()), 0);
}

TEST_F(Capture, ACameraShotIsPresentedModallyUsedSavedAndItsExifLogged) {
  vc().takeCameraPhoto();
  EXPECT_EQ(newLog(), std::vector<std::string>{"Chose Take Photo."});
  EXPECT_FALSE(camera().pickFromLibrary);
  EXPECT_FALSE(camera().popover);
  kit::ImagePickerController* picker = openPicker();
  ASSERT_NE(picker, nullptr);
  EXPECT_EQ(vc().modalViewController(), picker);
  EXPECT_EQ(picker->parentViewController(), &vc());
  EXPECT_EQ(picker->sourceType(), kit::ImagePickerSourceType::Camera);
  EXPECT_EQ(picker->cameraCaptureMode(), kit::CameraCaptureMode::Photo);
  EXPECT_FALSE(picker->allowsEditing());

  pick(solidImage(640, 480));
  const auto lines = newLog();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[lines.size() - 2],
            "new photo's EXIF metadata is {\"PixelXDimension\":640,\"PixelYDimension\":480}");
  EXPECT_EQ(lines.back(), "image orientation: Up");
  EXPECT_EQ(vc().tiles.tileHorizontalPitch, 640);
  EXPECT_EQ(saved(), 1);
  EXPECT_EQ(vc().modalViewController(), nullptr);
  EXPECT_EQ(openPicker(), nullptr);
}

TEST_F(Capture, TheCameraIgnoresALeftoverCropSetting) {
  vc().cropLibraryTile();
  openPicker()->cancel();
  vc().takeCameraPhoto();
  EXPECT_TRUE(camera().cropPhoto);
  ASSERT_NE(openPicker(), nullptr);
  EXPECT_FALSE(openPicker()->allowsEditing());
  forgetLog();
  pick(solidImage(640, 480), kit::Rect{0, 0, 100, 100});
  EXPECT_EQ(newLog().front(), "CropRect at position 0,0 of size 0,0");
  EXPECT_EQ(vc().tiles.tileHorizontalPitch, 640);
  EXPECT_EQ(vc().tiles.tileVerticalPitch, 480);
  EXPECT_EQ(saved(), 1);
}

TEST_F(NoCamera, TakingAPhotoOnlyHidesThePanelAndLogs) {
  const int pitch = vc().tiles.tileHorizontalPitch;
  vc().takeCameraPhoto();
  EXPECT_EQ(newLog(), std::vector<std::string>{"Chose Take Photo."});
  EXPECT_FLOAT_EQ(vc().outlets.instructionsView->alpha(), 0.0f);
  EXPECT_EQ(openPicker(), nullptr);
  EXPECT_EQ(vc().modalViewController(), nullptr);
  EXPECT_EQ(vc().tiles.tileHorizontalPitch, pitch);
  // The library still works.
  vc().useLibraryPhoto();
  EXPECT_NE(openPicker(), nullptr);
}

TEST_F(NoCamera, TheHelpPanelsCameraButtonDoesWhatTheMainOneDoes) {
  vc().showInstructionsPanel();
  forgetLog();
  vc().scene.helpPanelController->takeCameraPhoto();
  EXPECT_EQ(newLog(), std::vector<std::string>{"Chose Take Photo."});
  EXPECT_FLOAT_EQ(vc().outlets.instructionsView->alpha(), 0.0f);
  EXPECT_FALSE(camera().pickFromLibrary);
}

TEST_F(Capture, CancellingOrTouchingOutsideLeavesTheTableAsItWas) {
  const int pitchX = vc().tiles.tileHorizontalPitch, pitchY = vc().tiles.tileVerticalPitch;
  vc().takeCameraPhoto();
  openPicker()->cancel();
  EXPECT_EQ(vc().modalViewController(), nullptr);
  EXPECT_EQ(openPicker(), nullptr);

  vc().cropLibraryTile();
  kit::PopoverController* popover = openPicker()->presentingPopover();
  ASSERT_NE(popover, nullptr);
  popover->dismissByUser();
  EXPECT_FALSE(camera().popover);
  EXPECT_EQ(openPicker(), nullptr);
  EXPECT_EQ(camera().picker(), nullptr);

  EXPECT_EQ(newLog(), (std::vector<std::string>{"Chose Take Photo.", "Crop Photo Library photo."}));
  EXPECT_EQ(vc().tiles.tileHorizontalPitch, pitchX);
  EXPECT_EQ(vc().tiles.tileVerticalPitch, pitchY);
  EXPECT_EQ(saved(), 0);
}

TEST_F(Capture, APickWithoutAUsablePictureLeavesTheTableAndSavesNothing) {
  const int pitchX = vc().tiles.tileHorizontalPitch;
  vc().takeCameraPhoto();
  forgetLog();
  pick(nullptr);
  auto lines = newLog();
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "The picked image is empty (0 by 0); the table stays as it is"),
            lines.end());

  // A picture of no size: a 0 × 0 bitmap.
  vc().cropLibraryTile();
  forgetLog();
  pick(std::make_shared<kit::Image>(std::make_shared<kit::Bitmap>()));
  lines = newLog();
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "The picked image is empty (0 by 0); the table stays as it is"),
            lines.end());
  EXPECT_EQ(vc().tiles.tileHorizontalPitch, pitchX);
  EXPECT_EQ(saved(), 0);
  EXPECT_EQ(filesIn(albumFolder()), 0);
  // Both picks are over.
  EXPECT_EQ(openPicker(), nullptr);
  EXPECT_EQ(vc().modalViewController(), nullptr);
  EXPECT_FALSE(camera().popover);
}

TEST_F(Capture, AnAlbumThatCannotBeWrittenIsLoggedAndTheTableStillChanges) {
  // A folder below a plain file cannot be made, even by root.
  const fs::path blocker = outDir / "not-a-folder";
  std::ofstream(blocker) << "x";
  pickers().savedPhotosAlbum().setFolder((blocker / "album").string());
  vc().takeCameraPhoto();
  forgetLog();
  pick(solidImage(320, 240));
  const auto lines = newLog();
  bool logged = false;
  for (const auto& line : lines)
    logged |= line.rfind("Couldn't save the photo to the album: ", 0) == 0;
  EXPECT_TRUE(logged);
  EXPECT_EQ(vc().tiles.tileHorizontalPitch, 320);
  EXPECT_EQ(saved(), 0);
  EXPECT_EQ(filesIn(outDir), 1);  // the blocker alone
}

TEST_F(Capture, ANewPickReplacesOneStillOpen) {
  vc().cropLibraryTile();
  vc().useLibraryPhoto();
  ASSERT_NE(openPicker(), nullptr);
  EXPECT_FALSE(openPicker()->allowsEditing());
  pick(solidImage(300, 300));
  EXPECT_EQ(openPicker(), nullptr);
  EXPECT_EQ(saved(), 0);
}

TEST_F(Capture, TheCameraControllerAnswersRotationWithItsLogLines) {
  EXPECT_TRUE(
      camera().shouldAutorotateToInterfaceOrientation(kit::InterfaceOrientationLandscapeLeft));
  camera().willAnimateRotationToInterfaceOrientation(kit::InterfaceOrientationLandscapeLeft, 0.3);
  EXPECT_EQ(newLog(),
            (std::vector<std::string>{"Camera controller testing for rotation -- get tricky here??",
                                      "We know we're rotating!"}));
  EXPECT_STREQ(capturedOrientationName(7), "Right Mirrored");
  EXPECT_STREQ(capturedOrientationName(8), "Not a valid orientation");
  EXPECT_STREQ(capturedOrientationName(-1), "Not a valid orientation");
}

// The scenario lines, end to end through the runner.
TEST_F(Capture, ScenarioPickerLinesAnswerTheOpenPicker) {
  const fs::path dir = outDir / "scenario";
  fs::create_directories(dir);
  std::ofstream(dir / "junk.png") << "not a picture";
  const kit::Result<void> written =
      kit::writePngFile(*solidImage(1300, 1250)->bitmap(), (dir / "wide.png").string());
  ASSERT_TRUE(written) << written.error().message;
  const std::string text =
      "action cropLibraryTile\n"
      "picker wide.png crop=10,20,1100,1100\n"
      "action useLibraryPhoto\n"
      "picker dismiss\n"
      "action takeCameraPhoto\n"
      "picker junk.png\n"
      "action takeCameraPhoto\n"
      "picker cancel\n";
  runner.run(headless::parseScenario(text, "t.scn", dir.string(),
                                     VitraneforiPadViewController::actionNames()));
  const auto lines = newLog();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Edited image Too Big!"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "The picked image is empty (0 by 0); the table stays as it is"),
            lines.end());
  EXPECT_EQ(vc().tiles.tileHorizontalPitch, 1100);
  EXPECT_EQ(saved(), 1);
  EXPECT_EQ(openPicker(), nullptr);

  // With nothing open a picker line cannot run.
  EXPECT_THROW(runner.run(headless::parseScenario("picker cancel\n", "t.scn", dir.string(), {})),
               headless::ScenarioError);
  vc().takeCameraPhoto();
  EXPECT_THROW(runner.run(headless::parseScenario("picker dismiss\n", "t.scn", dir.string(), {})),
               headless::ScenarioError);
}

TEST(CaptureScenarioLines, PickerLinesAreParsedStrictly) {
  auto parse = [](const std::string& line) {
    return headless::parseScenario(line + "\n", "t.scn", "/base", {});
  };
  const auto file = std::get<headless::PickerAnswer>(
      parse("picker my table.jpg crop=1,2,3.5,4").commands[0].body);
  EXPECT_EQ(file.kind, headless::PickerAnswer::Kind::File);
  EXPECT_EQ(file.path, "/base/my table.jpg");
  EXPECT_TRUE(file.hasCrop);
  EXPECT_DOUBLE_EQ(file.cropWidth, 3.5);
  EXPECT_EQ(std::get<headless::PickerAnswer>(parse("picker cancel").commands[0].body).kind,
            headless::PickerAnswer::Kind::Cancel);
  EXPECT_EQ(std::get<headless::PickerAnswer>(parse("picker dismiss").commands[0].body).kind,
            headless::PickerAnswer::Kind::Dismiss);
  EXPECT_FALSE(
      std::get<headless::PickerAnswer>(parse("picker /abs/a.png").commands[0].body).hasCrop);
  for (const char* bad :
       {"picker", "picker a.png crop=1,2,3", "picker a.png crop=1,2,3,",
        "picker a.png crop=1,2,-3,4", "picker a.png crop=x,2,3,4", "picker crop=1,2,3,4"})
    EXPECT_THROW(parse(bad), headless::ScenarioError) << bad;
}

}  // namespace
