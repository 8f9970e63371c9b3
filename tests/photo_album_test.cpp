// The saved-photos album folder, and the picker's crop and result text.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "kit/image_codec.h"
#include "kit/image_picker.h"
#include "kit/photo_album.h"
#include "kit/popover.h"
#include "tests/temp_folder.h"

namespace {

namespace fs = std::filesystem;

class AlbumFolder : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(dir.empty()); }

  std::set<std::string> names() const {
    std::set<std::string> found;
    for (const auto& e : fs::directory_iterator(dir)) found.insert(e.path().filename().string());
    return found;
  }

  testing_files::TempFolder folder{"album"};
  const fs::path dir = folder.path();
};

// Each pixel holds its own stored position: red x, green y.
kit::ImageRef numberedImage(int w, int h, kit::ImageOrientation o = kit::ImageOrientation::Up) {
  auto bitmap = std::make_shared<kit::Bitmap>(kit::Bitmap::make(w, h, kit::PixelFormat::RGBA8));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = bitmap->row(y) + x * 4;
      p[0] = static_cast<std::uint8_t>(x);
      p[1] = static_cast<std::uint8_t>(y);
      p[2] = 0;
      p[3] = 255;
    }
  return std::make_shared<kit::Image>(bitmap, o);
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST_F(AlbumFolder, EverySaveMakesANewFileAndNeverReplacesOne) {
  // Someone else's picture holds a number already, and a stray higher one.
  std::ofstream(dir / "Vitrane 0001.jpg") << "keep me";
  std::ofstream(dir / "Vitrane 0007.jpg") << "and me";
  kit::SavedPhotosAlbum album(dir.string(), "Vitrane");
  const auto first = album.save(*numberedImage(16, 8));
  const auto second = album.save(*numberedImage(16, 8));
  ASSERT_TRUE(first && second);
  EXPECT_EQ(fs::path(*first).filename(), "Vitrane 0008.jpg");
  EXPECT_EQ(fs::path(*second).filename(), "Vitrane 0009.jpg");
  EXPECT_EQ(readFile(dir / "Vitrane 0001.jpg"), "keep me");
  EXPECT_EQ(readFile(dir / "Vitrane 0007.jpg"), "and me");
  // Nothing else is left behind: no temporary files.
  EXPECT_EQ(names(), (std::set<std::string>{"Vitrane 0001.jpg", "Vitrane 0007.jpg",
                                            "Vitrane 0008.jpg", "Vitrane 0009.jpg"}));
  EXPECT_EQ(album.savedCount(), 2);
}

TEST_F(AlbumFolder, ASavedPictureReadsBackWithItsSizeAndOrientation) {
  kit::SavedPhotosAlbum album((dir / "made" / "on demand").string());
  const auto path = album.save(*numberedImage(40, 30, kit::ImageOrientation::Right));
  ASSERT_TRUE(path);
  const auto back = kit::decodeImageFile(*path);
  ASSERT_TRUE(back) << back.error().message;
  EXPECT_EQ(back->bitmap->width, 40);
  EXPECT_EQ(back->bitmap->height, 30);
  EXPECT_EQ(back->orientation, kit::ImageOrientation::Right);
}

TEST_F(AlbumFolder, AFailedSaveSaysWhyAndLeavesNoFile) {
  std::ofstream(dir / "plain file") << "x";
  kit::SavedPhotosAlbum blocked((dir / "plain file" / "album").string());
  const auto refused = blocked.save(*numberedImage(8, 8));
  ASSERT_FALSE(refused);
  EXPECT_TRUE(refused.error().message.starts_with("cannot make the folder " +
                                                  (dir / "plain file" / "album").string() + ": "))
      << refused.error().message;
  EXPECT_EQ(blocked.savedCount(), 0);

  kit::SavedPhotosAlbum album(dir.string(), "Vitrane");
  const auto empty = album.save(kit::Image(std::make_shared<kit::Bitmap>()));
  ASSERT_FALSE(empty);
  EXPECT_EQ(empty.error().message, "the picture is empty");
  EXPECT_EQ(names(), std::set<std::string>{"plain file"});
}

TEST(AlbumDefaultFolder, ThePicturesFolderComesFromTheUserDirsFile) {
  using kit::SavedPhotosAlbum;
  EXPECT_EQ(
      SavedPhotosAlbum::picturesDirFromUserDirs("XDG_PICTURES_DIR=\"$HOME/Bilder\"\n", "/home/ann"),
      "/home/ann/Bilder");
  EXPECT_EQ(SavedPhotosAlbum::picturesDirFromUserDirs(
                "# XDG_PICTURES_DIR=\"/nope\"\nXDG_MUSIC_DIR=\"$HOME/Music\"\n  "
                "XDG_PICTURES_DIR=\"/srv/pics\"\n",
                "/home/ann"),
            "/srv/pics");
  EXPECT_EQ(
      SavedPhotosAlbum::picturesDirFromUserDirs("XDG_PICTURES_DIR=\"$HOME/My \\\"Pics\\\"\"", "/h"),
      "/h/My \"Pics\"");
  // Relative paths, unquoted values and $HOMEWARD are not the format.
  EXPECT_FALSE(SavedPhotosAlbum::picturesDirFromUserDirs("XDG_PICTURES_DIR=\"Pictures\"", "/h"));
  EXPECT_FALSE(SavedPhotosAlbum::picturesDirFromUserDirs("XDG_PICTURES_DIR=$HOME/Pictures", "/h"));
  EXPECT_FALSE(SavedPhotosAlbum::picturesDirFromUserDirs("XDG_PICTURES_DIR=\"$HOMEWARD/x\"", "/h"));
  EXPECT_FALSE(SavedPhotosAlbum::picturesDirFromUserDirs("", "/h"));
}

TEST(AlbumDefaultFolder, FallsBackToPicturesInTheHomeFolder) {
  const testing_files::TempFolder folder("home");
  const fs::path& home = folder.path();
  fs::create_directories(home / "cfg");
  const std::string oldHome = getenv("HOME") ? getenv("HOME") : "";
  const char* oldConfig = getenv("XDG_CONFIG_HOME");
  const std::string savedConfig = oldConfig ? oldConfig : "";
  setenv("HOME", home.c_str(), 1);
  setenv("XDG_CONFIG_HOME", (home / "cfg").c_str(), 1);
  EXPECT_EQ(kit::SavedPhotosAlbum::defaultFolder("Vitrane"),
            (home / "Pictures" / "Vitrane").string());
  std::ofstream(home / "cfg" / "user-dirs.dirs") << "XDG_PICTURES_DIR=\"$HOME/Fotos\"\n";
  EXPECT_EQ(kit::SavedPhotosAlbum::defaultFolder("Vitrane"), (home / "Fotos" / "Vitrane").string());
  setenv("HOME", oldHome.c_str(), 1);
  if (oldConfig)
    setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
}

TEST_F(AlbumFolder, TheApplicationNamesTheAlbumAndItsFolderUnlessAHostChoseOne) {
  // Unnamed and with no folder, a save is refused and nothing is made.
  kit::SavedPhotosAlbum nowhere;
  const auto refused = nowhere.save(*numberedImage(8, 8));
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().message, "the album has no folder");
  EXPECT_EQ(nowhere.savedCount(), 0);

  // A host's folder stays when the application names the album later.
  kit::SavedPhotosAlbum chosen(dir.string());
  chosen.setName("Table");
  EXPECT_EQ(chosen.folder(), dir.string());
  const auto path = chosen.save(*numberedImage(8, 8));
  ASSERT_TRUE(path) << path.error().message;
  EXPECT_EQ(fs::path(*path).filename(), "Table 0001.jpg");

  // With none chosen, the name makes the folder in the user's pictures.
  kit::SavedPhotosAlbum named;
  named.setName("Table");
  EXPECT_EQ(named.folder(), kit::SavedPhotosAlbum::defaultFolder("Table"));
  EXPECT_EQ(fs::path(named.folder()).filename(), "Table");
}

// The pixel at displayed (x, y) of an image, as (stored x, stored y).
std::pair<int, int> storedAt(const kit::Image& image, int x, int y) {
  const std::uint8_t* p = image.bitmap()->row(y) + x * 4;
  return {p[0], p[1]};
}

TEST(PickerCrop, CropsTheDisplayedPictureIntoAnUprightOne) {
  // Stored 4 × 3, shown turned a quarter clockwise: 3 wide, 4 tall. Its
  // top-left shows the stored bottom-left pixel.
  const kit::ImageRef turned = numberedImage(4, 3, kit::ImageOrientation::Right);
  const kit::ImageRef whole = kit::croppedImage(*turned, {0, 0, 3, 4});
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->orientation(), kit::ImageOrientation::Up);
  EXPECT_EQ(whole->size(), (kit::Size{3, 4}));
  EXPECT_EQ(storedAt(*whole, 0, 0), std::make_pair(0, 2));
  EXPECT_EQ(storedAt(*whole, 2, 0), std::make_pair(0, 0));
  EXPECT_EQ(storedAt(*whole, 0, 3), std::make_pair(3, 2));

  const kit::ImageRef mirrored = numberedImage(4, 3, kit::ImageOrientation::UpMirrored);
  const kit::ImageRef part = kit::croppedImage(*mirrored, {1, 1, 2, 2});
  ASSERT_TRUE(part);
  EXPECT_EQ(storedAt(*part, 0, 0), std::make_pair(2, 1));
}

TEST(PickerCrop, KeepsToThePictureAndRefusesWhatMissesIt) {
  const kit::ImageRef image = numberedImage(10, 10);
  const kit::ImageRef clipped = kit::croppedImage(*image, {-5, 8, 20, 20});
  ASSERT_TRUE(clipped);
  EXPECT_EQ(clipped->size(), (kit::Size{10, 2}));
  EXPECT_EQ(storedAt(*clipped, 0, 0), std::make_pair(0, 8));
  EXPECT_FALSE(kit::croppedImage(*image, {20, 0, 5, 5}));
  EXPECT_FALSE(kit::croppedImage(*image, {2, 2, 0, 5}));
  EXPECT_FALSE(kit::croppedImage(*image, {NAN, 0, 5, 5}));
}

struct RecordingDelegate : kit::ImagePickerDelegate {
  void imagePickerControllerDidFinishPickingMediaWithInfo(kit::ImagePickerController&,
                                                          const kit::ImagePickerInfo& i) override {
    info = i;
    ++finished;
  }
  void imagePickerControllerDidCancel(kit::ImagePickerController&) override { ++cancelled; }
  kit::ImagePickerInfo info;
  int finished = 0, cancelled = 0;
};

TEST(Picker, AnswersItsDelegateAndIsOpenOnlyWhileShown) {
  kit::ImagePickerServices services;
  services.camera = nullptr;
  EXPECT_FALSE(kit::ImagePickerController::isSourceTypeAvailable(
      services, kit::ImagePickerSourceType::Camera));
  EXPECT_TRUE(kit::ImagePickerController::isSourceTypeAvailable(
      services, kit::ImagePickerSourceType::PhotoLibrary));

  RecordingDelegate delegate;
  auto picker = std::make_shared<kit::ImagePickerController>(services);
  picker->setDelegate(&delegate);
  picker->setAllowsEditing(true);
  EXPECT_EQ(services.openPicker(), nullptr);  // made, not shown
  {
    kit::PopoverController popover(picker);
    popover.presentFromRect({0, 0, 10, 10}, nullptr);
    EXPECT_EQ(services.openPicker(), picker.get());
    EXPECT_EQ(picker->presentingPopover(), &popover);
  }
  // A popover that is gone shows nothing.
  EXPECT_EQ(picker->presentingPopover(), nullptr);
  EXPECT_EQ(services.openPicker(), nullptr);

  picker->finishPicking(numberedImage(20, 10), kit::Rect{2, 0, 5, 5});
  EXPECT_EQ(delegate.finished, 1);
  ASSERT_TRUE(delegate.info.editedImage);
  EXPECT_EQ(delegate.info.description(),
            "{cropRect = [2, 0, 5, 5]; editedImage = <Image 5x5 orientation 0>; "
            "originalImage = <Image 20x10 orientation 0>}");
  const kit::Result<void> taken = picker->takePicture();
  ASSERT_FALSE(taken);
  EXPECT_EQ(taken.error().message, "the picker shows the photo library");
  picker->cancel();
  EXPECT_EQ(delegate.cancelled, 1);

  kit::ViewController presenter;
  presenter.presentModalViewController(picker, true);
  EXPECT_EQ(services.openPicker(), picker.get());
  presenter.dismissModalViewControllerAnimated(true);
  EXPECT_EQ(picker->parentViewController(), nullptr);
  EXPECT_EQ(services.openPicker(), nullptr);
  picker.reset();
  EXPECT_EQ(services.openPicker(), nullptr);
}

}  // namespace
