// Where the desktop finds the photo library: the user's pictures folder as
// the XDG user-dirs file names it.
#include <gtest/gtest.h>

#include <sstream>

#include "hosts/desktop/options.h"

namespace {

TEST(DesktopPhotoLibrary, UserDirsFileGivesThePicturesFolder) {
  std::istringstream file(
      "# written by xdg-user-dirs-update\n"
      "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
      "  XDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
  const auto found = desktop::picturesFolderFromUserDirs(file);
  ASSERT_TRUE(found);
  EXPECT_EQ(*found, "$HOME/Bilder");
  EXPECT_EQ(desktop::choosePicturesFolder(found, nullptr, "/home/ann"), "/home/ann/Bilder");

  std::istringstream none("XDG_MUSIC_DIR=\"$HOME/Music\"\n#XDG_PICTURES_DIR=\"/x\"\n");
  EXPECT_FALSE(desktop::picturesFolderFromUserDirs(none));
  EXPECT_EQ(desktop::choosePicturesFolder(std::nullopt, nullptr, "/home/ann"),
            "/home/ann/Pictures");
}

TEST(DesktopPhotoLibrary, LibraryOptionNamesTheFolder) {
  const auto parsed = desktop::parseArguments({"--library", "/srv/photos"});
  EXPECT_EQ(parsed.action, desktop::ParsedArguments::Action::Run);
  EXPECT_EQ(parsed.options.libraryDir, "/srv/photos");
}

}  // namespace
