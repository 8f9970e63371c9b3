#include "kit/photo_album.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <vector>

#include "kit/image_codec.h"
#include "kit/posix_io.h"

namespace kit {

namespace {

constexpr const char* kFileExtension = ".jpg";
constexpr int kJpegQuality = 92;
// Names tried past the highest number found before giving up.
constexpr int kNameAttempts = 10000;

std::string homeFolder() {
  const char* home = std::getenv("HOME");
  return home && *home ? home : "/";
}

// What the album's files are called before their number: "NAME " (nothing
// for an album with no name).
std::string filePrefix(const std::string& albumName) {
  return albumName.empty() ? "" : albumName + " ";
}

// "NAME 0042.jpg" → 42; anything else → 0.
int fileNumber(const std::string& name, const std::string& prefix) {
  const std::string extension = kFileExtension;
  if (name.size() <= prefix.size() + extension.size() ||
      name.compare(0, prefix.size(), prefix) != 0 ||
      name.compare(name.size() - extension.size(), extension.size(), extension) != 0)
    return 0;
  const std::string digits =
      name.substr(prefix.size(), name.size() - prefix.size() - extension.size());
  if (digits.empty() || digits.size() > 9 ||
      digits.find_first_not_of("0123456789") != std::string::npos)
    return 0;
  return std::atoi(digits.c_str());
}

int highestNumberIn(const std::string& folder, const std::string& prefix) {
  int highest = 0;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    highest = std::max(highest, fileNumber(it->path().filename().string(), prefix));
  return highest;
}

std::string numberedName(const std::string& folder, const std::string& prefix, int n) {
  char number[16];
  std::snprintf(number, sizeof number, "%04d", n);
  return (std::filesystem::path(folder) / (prefix + number + kFileExtension)).string();
}

// Gives the finished temporary file a new numbered name without replacing
// anything: a hard link where the file system has them, else a rename that
// refuses to replace. Answers the name, or nothing with errno in err.
std::optional<std::string> claimName(const std::string& temp, const std::string& folder,
                                     const std::string& prefix, int* err) {
  const int first = highestNumberIn(folder, prefix) + 1;
  bool linksWork = true;
  for (int n = first; n < first + kNameAttempts; ++n) {
    const std::string target = numberedName(folder, prefix, n);
    if (linksWork) {
      if (::link(temp.c_str(), target.c_str()) == 0) {
        ::unlink(temp.c_str());
        return target;
      }
      if (errno == EEXIST) continue;
      if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP && errno != EMLINK &&
          errno != ENOSYS) {
        *err = errno;
        return std::nullopt;
      }
      linksWork = false;
    }
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
      return target;
    if (errno == EEXIST) continue;
#else
    // No renameat2 (the browser's in-memory file system, which only this
    // program writes): a look first cannot race with another writer there.
    struct stat existing;
    if (::lstat(target.c_str(), &existing) == 0) continue;
    if (::rename(temp.c_str(), target.c_str()) == 0) return target;
#endif
    *err = errno;
    return std::nullopt;
  }
  *err = EEXIST;
  return std::nullopt;
}

}  // namespace

int exifFromOrientation(ImageOrientation orientation) {
  switch (orientation) {
    case ImageOrientation::Up: return 1;
    case ImageOrientation::UpMirrored: return 2;
    case ImageOrientation::Down: return 3;
    case ImageOrientation::DownMirrored: return 4;
    case ImageOrientation::LeftMirrored: return 5;
    case ImageOrientation::Right: return 6;
    case ImageOrientation::RightMirrored: return 7;
    case ImageOrientation::Left: return 8;
  }
  return 1;
}

void SavedPhotosAlbum::setName(std::string name) {
  name_ = std::move(name);
  if (folder_.empty()) folder_ = defaultFolder(name_);
}

std::optional<std::string> SavedPhotosAlbum::picturesDirFromUserDirs(const std::string& text,
                                                                     const std::string& home) {
  std::istringstream in(text);
  std::optional<std::string> found;
  for (std::string line; std::getline(in, line);) {
    const auto start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    line = line.substr(start);
    const std::string key = "XDG_PICTURES_DIR=";
    if (line.compare(0, key.size(), key) != 0) continue;
    std::string value = line.substr(key.size());
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r'))
      value.pop_back();
    // The file's own format: a quoted path, absolute or starting with $HOME/.
    if (value.size() < 2 || value.front() != '"' || value.back() != '"') continue;
    value = value.substr(1, value.size() - 2);
    std::string path;
    for (std::size_t i = 0; i < value.size(); ++i) {
      if (value[i] == '\\' && i + 1 < value.size()) {
        path += value[++i];
      } else {
        path += value[i];
      }
    }
    if (path.rfind("$HOME", 0) == 0 && (path.size() == 5 || path[5] == '/'))
      path = home + path.substr(5);
    else if (path.empty() || path[0] != '/')
      continue;
    // "$HOME/" alone means the pictures go in the home folder itself.
    found = path;
  }
  return found;
}

std::string SavedPhotosAlbum::defaultFolder(const std::string& name) {
  const std::string home = homeFolder();
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  const std::filesystem::path config = configHome && *configHome == '/'
                                           ? std::filesystem::path(configHome)
                                           : std::filesystem::path(home) / ".config";
  std::string pictures = (std::filesystem::path(home) / "Pictures").string();
  if (const auto text = readWholeFile((config / "user-dirs.dirs").string()))
    if (auto named = picturesDirFromUserDirs(std::string(text->begin(), text->end()), home))
      pictures = *named;
  return (std::filesystem::path(pictures) / name).string();
}

Result<std::string> SavedPhotosAlbum::save(const Image& image) {
  const BitmapRef& bitmap = image.bitmap();
  if (!bitmap || bitmap->width < 1 || bitmap->height < 1) return Error{"the picture is empty"};
  const int exif =
      image.orientation() == ImageOrientation::Up ? 0 : exifFromOrientation(image.orientation());
  auto bytes = encodeJpeg(*bitmap, kJpegQuality, exif);
  if (!bytes) return Error{"cannot encode the picture: " + bytes.error().message};

  if (folder_.empty()) return Error{"the album has no folder"};
  std::error_code ec;
  std::filesystem::create_directories(folder_, ec);
  if (ec) return Error{"cannot make the folder " + folder_ + ": " + ec.message()};

  std::string temp = (std::filesystem::path(folder_) / ".album-save-XXXXXX").string();
  UniqueFd fd(::mkostemp(temp.data(), O_CLOEXEC));
  if (!fd) return Error{"cannot write in " + folder_ + ": " + errnoText(errno)};
  Result<void> written = writeFd(fd.get(), bytes->data(), bytes->size());
  if (written && ::fsync(fd.get()) != 0) written = Error{errnoText(errno)};
  if (auto closed = fd.close(); written && !closed) written = closed;
  if (!written) {
    ::unlink(temp.c_str());
    return Error{"cannot write " + temp + ": " + written.error().message};
  }
  // The album's files are the user's pictures: readable as any new file.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::chmod(temp.c_str(), 0666 & ~mask);

  int err = 0;
  auto name = claimName(temp, folder_, filePrefix(name_), &err);
  if (!name) {
    ::unlink(temp.c_str());
    return Error{"cannot name the picture in " + folder_ + ": " + errnoText(err)};
  }
  ++savedCount_;
  if (onSaved) onSaved(*name);
  return *name;
}

}  // namespace kit
