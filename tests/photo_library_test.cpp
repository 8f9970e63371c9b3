// The photo library on disk: albums and photos in name order, photos known
// by their content, display-sized upright images decoded off the main
// thread only while the caller takes them, and bad files passed over.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "kit/clock.h"
#include "kit/log.h"
#include "kit/motion.h"
#include "kit/photo_library.h"
#include "kit/platform.h"
#include "tests/photo_files.h"

namespace {

using phototest::TempFolder;

class PhotoLibraryTest : public ::testing::Test {
 protected:
  // Enumerates the library, taking the image of the first `take` photos,
  // and answers what the callbacks saw, one line each.
  std::vector<std::string> enumerate(int take = 1000) {
    platform.photoLibrarySource().root = folder.path().string();
    auto library = std::make_shared<kit::AssetsLibrary>(platform);
    auto assetBlock = [this, take](const std::shared_ptr<kit::Asset>& asset) {
      if (!asset) {
        events.push_back("end of album");
        return;
      }
      const auto& rep = asset->defaultRepresentation();
      representations.push_back(rep);
      if (static_cast<int>(images.size()) < take) {
        images.push_back(rep->fullScreenImage());
        events.push_back("photo " + rep->filename());
      } else {
        events.push_back("passed " + rep->filename());
      }
    };
    library->enumerateGroupsWithTypes(
        kit::kAssetsGroupAlbum,
        [this, assetBlock](const std::shared_ptr<kit::AssetsGroup>& group) {
          if (!group) {
            events.push_back("end");
            return;
          }
          events.push_back("album " + group->valueForProperty(kit::AssetsGroup::kPropertyName));
          group->enumerateAssetsUsingBlock(assetBlock);
        },
        [this](const kit::PhotoLibraryError& error) {
          events.push_back("failure " + error.description());
        });
    library.reset();  // the enumeration keeps it alive
    platform.backgroundQueue().settle();
    return events;
  }

  bool logHas(const std::string& text) const {
    return std::any_of(log.lines().begin(), log.lines().end(), [&](const std::string& line) {
      return line.find(text) != std::string::npos;
    });
  }

  TempFolder folder;
  kit::VirtualClock clock;
  kit::ScriptedMotionSource motion;
  kit::Platform platform{clock, motion, kit::Bundle::defaultResourceDir()};
  kit::LogCapture log;
  std::vector<std::string> events;
  std::vector<kit::ImageRef> images;
  std::vector<std::shared_ptr<kit::AssetRepresentation>> representations;
};

TEST_F(PhotoLibraryTest, AlbumsAndPhotosComeInNameOrderWithEachAlbumsPhotosBeforeTheNextAlbum) {
  phototest::writePng(folder / "b-album/2.png", 8, 6);
  phototest::writeJpeg(folder / "b-album/10.jpg", 8, 6);
  phototest::writePng(folder / "a-album/z.png", 8, 6);
  phototest::writePng(folder / "loose-at-the-root.png", 8, 6);  // not in an album
  phototest::writePng(folder / ".hidden/x.png", 8, 6);
  std::filesystem::create_directories(folder / "c-empty");

  EXPECT_EQ(enumerate(), (std::vector<std::string>{
                             "album a-album", "photo a-album/z.png", "end of album",  //
                             "album b-album", "photo b-album/10.jpg", "photo b-album/2.png",
                             "end of album", "album c-empty", "end of album", "end"}));
  EXPECT_EQ(representations[0]->description(), "<AssetRepresentation a-album/z.png PNG>");
  EXPECT_EQ(representations[1]->description(), "<AssetRepresentation b-album/10.jpg JPEG>");
}

TEST_F(PhotoLibraryTest, CallbacksRunOnTheMainThreadOnlyWhenItDeliversTheQueue) {
  phototest::writePng(folder / "album/a.png", 8, 6);
  platform.photoLibrarySource().root = folder.path().string();
  auto library = std::make_shared<kit::AssetsLibrary>(platform);
  const auto mainThread = std::this_thread::get_id();
  bool sawOtherThread = false;
  int calls = 0;
  library->enumerateGroupsWithTypes(
      kit::kAssetsGroupAll,
      [&](const std::shared_ptr<kit::AssetsGroup>&) {
        ++calls;
        sawOtherThread |= std::this_thread::get_id() != mainThread;
      },
      [](const kit::PhotoLibraryError&) {});
  EXPECT_EQ(calls, 0);  // the request returns at once
  platform.backgroundQueue().settle();
  EXPECT_EQ(calls, 2);  // the album, then the end
  EXPECT_FALSE(sawOtherThread);
}

TEST_F(PhotoLibraryTest, ImagesAreDisplaySizedUprightAndNeverEnlarged) {
  phototest::writeJpeg(folder / "album/1-wide.jpg", 4000, 3000);
  phototest::writePng(folder / "album/2-tall.png", 900, 3000);
  phototest::writeJpeg(folder / "album/3-turned.jpg", 1600, 800, /*EXIF: turn right*/ 6);
  phototest::writePng(folder / "album/4-small.png", 100, 50);
  enumerate();
  ASSERT_EQ(images.size(), 4u);
  for (const auto& image : images) {
    ASSERT_TRUE(image);
    EXPECT_EQ(image->orientation(), kit::ImageOrientation::Up);
  }
  EXPECT_EQ(images[0]->size(), (kit::Size{768, 576}));
  EXPECT_EQ(images[1]->size(), (kit::Size{307, 1024}));
  // Stored 1600 × 800 lying on its side: shown 800 × 1600, fitted.
  EXPECT_EQ(images[2]->size(), (kit::Size{512, 1024}));
  EXPECT_EQ(images[3]->size(), (kit::Size{100, 50}));
  // The turn is in the pixels: the stored picture's left edge (red 0) is
  // now its top edge.
  const kit::Bitmap& turned = *images[2]->bitmap();
  EXPECT_LT(turned.row(0)[4 * (turned.width - 1)], 40);
  EXPECT_GT(turned.row(turned.height - 1)[0], 215);
}

TEST_F(PhotoLibraryTest, PhotosAreDecodedAheadOnlyWhileTheCallerTakesThem) {
  for (int i = 0; i < 25; ++i)
    phototest::writePng(folder / ("album/" + std::to_string(100 + i) + ".png"), 16, 12);
  phototest::writePng(folder / "second/a.png", 16, 12);
  enumerate(/*take=*/10);
  ASSERT_EQ(representations.size(), 26u);
  EXPECT_EQ(images.size(), 10u);
  // The first ten were decoded ahead; none after them was decoded, in this
  // album or the next.
  int decoded = 0;
  for (const auto& rep : representations) decoded += rep->hasDecodedImage() ? 1 : 0;
  EXPECT_EQ(decoded, 10);
  EXPECT_TRUE(representations[9]->hasDecodedImage());
  EXPECT_FALSE(representations[10]->hasDecodedImage());
  EXPECT_FALSE(representations.back()->hasDecodedImage());
  // Still a photo when asked for after all: decoded then.
  const kit::ImageRef late = representations.back()->fullScreenImage();
  ASSERT_TRUE(late);
  EXPECT_EQ(late->size(), (kit::Size{16, 12}));
}

TEST_F(PhotoLibraryTest, BadFilesAndFoldersArePassedOverWithALogLine) {
  phototest::writeBytes(folder / "album/1-empty.jpg", {});
  std::vector<std::uint8_t> truncated = phototest::jpegBytes(64, 48);
  truncated.resize(truncated.size() / 2);
  phototest::writeBytes(folder / "album/2-truncated.jpg", truncated);
  phototest::writeBytes(folder / "album/3-huge.png", phototest::pngClaiming(60000, 60000));
  phototest::writeBytes(folder / "album/4-text.jpg", {'h', 'e', 'l', 'l', 'o', '\n'});
  std::filesystem::create_symlink("6-loop", folder / "album/5-loop");
  std::filesystem::create_symlink("5-loop", folder / "album/6-loop");
  std::filesystem::create_symlink("..", folder / "album/7-up");  // a folder: not a photo
  std::filesystem::create_symlink("nowhere", folder / "album/8-dangling.png");
  phototest::writePng(folder / "album/9-good.png", 8, 6);
  std::filesystem::create_symlink(".", folder / "self");  // an album that is the library

  EXPECT_EQ(enumerate(),
            (std::vector<std::string>{"album album", "photo album/9-good.png", "end of album",
                                      "album self", "end of album", "end"}));
  EXPECT_TRUE(logHas("passing over album/1-empty.jpg: the file is empty"));
  EXPECT_TRUE(logHas("passing over album/2-truncated.jpg: JPEG"));
  EXPECT_TRUE(logHas("passing over album/3-huge.png: PNG: image is 60000 x 60000 pixels"));
  EXPECT_TRUE(logHas("passing over album/4-text.jpg: not a JPEG or PNG picture"));
  EXPECT_TRUE(logHas("passing over album/5-loop: Too many levels of symbolic links"));
  EXPECT_TRUE(logHas("passing over album/8-dangling.png: No such file or directory"));
}

TEST_F(PhotoLibraryTest, UnreadableAlbumIsPassedOverAndUnreadableLibraryFails) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop the superuser";
  phototest::writePng(folder / "closed/a.png", 8, 6);
  phototest::writePng(folder / "open/a.png", 8, 6);
  std::filesystem::permissions(folder / "closed", std::filesystem::perms::none);
  folder.restorePermissionsOf(folder / "closed");
  EXPECT_EQ(enumerate(),
            (std::vector<std::string>{"album open", "photo open/a.png", "end of album", "end"}));
  EXPECT_TRUE(logHas("passing over album closed: Permission denied"));

  events.clear();
  std::filesystem::permissions(folder.path(), std::filesystem::perms::none);
  folder.restorePermissionsOf(folder.path());
  const auto seen = enumerate();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].rfind("failure Cannot read the photo library", 0), 0u) << seen[0];
}

TEST_F(PhotoLibraryTest, RefusedAccessFailsAndMissingFolderIsAnEmptyLibrary) {
  platform.photoLibrarySource().refused = true;
  EXPECT_EQ(enumerate(),
            (std::vector<std::string>{"failure User denied access to the photo library"}));

  events.clear();
  platform.photoLibrarySource().refused = false;
  std::filesystem::remove_all(folder.path());
  EXPECT_EQ(enumerate(), (std::vector<std::string>{"end"}));
  EXPECT_TRUE(logHas("does not exist; it has no albums"));
}

TEST_F(PhotoLibraryTest, ShuttingDownDuringAnEnumerationIsClean) {
  for (int i = 0; i < 5; ++i)
    phototest::writePng(folder / ("album/" + std::to_string(i) + ".png"), 64, 48);
  auto platform2 =
      std::make_unique<kit::Platform>(clock, motion, kit::Bundle::defaultResourceDir());
  platform2->photoLibrarySource().root = folder.path().string();
  int calls = 0;
  auto library = std::make_shared<kit::AssetsLibrary>(*platform2);
  library->enumerateGroupsWithTypes(
      kit::kAssetsGroupAlbum,
      [&](const std::shared_ptr<kit::AssetsGroup>& group) {
        ++calls;
        if (group)
          group->enumerateAssetsUsingBlock([&](const std::shared_ptr<kit::Asset>&) { ++calls; });
      },
      [](const kit::PhotoLibraryError&) {});
  platform2->backgroundQueue().step();  // the album, its photos with it
  EXPECT_EQ(calls, 1 + 5 + 1);
  platform2.reset();  // the worker waits for an answer that never comes
  EXPECT_EQ(calls, 1 + 5 + 1);
}

}  // namespace
