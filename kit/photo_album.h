// The saved-photos album: a folder on disk that pictures are added to.
//
// The application names its album (setName): the album's files are called
// after it, and unless a host has chosen the folder, so is the folder in the
// user's pictures. Every save makes a new file ("NAME 0001.jpg",
// "NAME 0002.jpg", ...):
// the picture is written in full under a temporary name in the same folder
// and only then linked to its final name, which never replaces a file
// already there. A failed save (full disk, a folder that cannot be made or
// written) leaves no file behind.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "kit/image.h"
#include "kit/result.h"

namespace kit {

class SavedPhotosAlbum {
 public:
  // An album with neither folder nor name until they are set.
  SavedPhotosAlbum() = default;
  explicit SavedPhotosAlbum(std::string folder, std::string name = {})
      : folder_(std::move(folder)), name_(std::move(name)) {}

  const std::string& folder() const { return folder_; }
  void setFolder(std::string folder) { folder_ = std::move(folder); }
  const std::string& name() const { return name_; }
  // The application's name for its album; an album with no folder yet
  // takes defaultFolder(name).
  void setName(std::string name);

  // Adds the picture as a JPEG carrying its orientation flag; the folder is
  // made when missing. Answers the new file's path, or why there is none
  // (also when the album has no folder yet).
  Result<std::string> save(const Image& image);

  // Pictures this album object has saved.
  int savedCount() const { return savedCount_; }

  // Told of each picture once it is saved, with its file's path: a host
  // whose album the user cannot browse (the browser's, in memory) offers
  // the file to the user from here.
  std::function<void(const std::string& path)> onSaved;

  // The user's pictures folder (XDG_PICTURES_DIR in the user-dirs file of
  // the configuration folder, else ~/Pictures), subfolder `name`.
  static std::string defaultFolder(const std::string& name);

  // The pictures folder named by the text of a user-dirs.dirs file, with
  // $HOME replaced by home; nothing when the file does not name one.
  static std::optional<std::string> picturesDirFromUserDirs(const std::string& text,
                                                            const std::string& home);

 private:
  std::string folder_;
  std::string name_;
  int savedCount_ = 0;
};

// The EXIF orientation tag (1..8) that shows a bitmap as the flag says.
int exifFromOrientation(ImageOrientation orientation);

}  // namespace kit
