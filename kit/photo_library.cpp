#include "kit/photo_library.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <future>
#include <system_error>
#include <vector>

#include "kit/background_queue.h"
#include "kit/image_codec.h"
#include "kit/log.h"
#include "kit/posix_io.h"
#include "kit/platform.h"

namespace kit {

struct PhotoLibraryShared {
  std::string root;
};

namespace {

// Display-sized images prepared ahead of an enumeration's first photos,
// off the main thread: what a caller placing a first handful of photos
// takes without waiting. Photos past these are decoded when asked for.
constexpr int kPreparedImages = 10;
// Decodes running at the same time while preparing: one for each of two
// cores.
constexpr std::size_t kParallelDecodes = 2;

DecodeOptions fullScreenOptions() {
  DecodeOptions options;
  options.fitWithin = kFullScreenImageSize;
  options.applyOrientationToPixels = true;
  return options;
}

Result<ImageRef> decodeFullScreen(const std::string& path) {
  auto decoded = decodeImageFile(path, fullScreenOptions());
  if (!decoded) {
    std::string error = decoded.error().message;
    // The codec names the file; the log line names it already.
    if (error.rfind(path + ": ", 0) == 0) error.erase(0, path.size() + 2);
    return Error{std::move(error)};
  }
  return std::make_shared<const Image>(std::move(decoded->bitmap), decoded->orientation);
}

struct Entry {
  std::string name;
  bool isFolder = false;
};

// The visible entries of a folder in name order; links are followed.
// Entries that cannot be looked at are reported through passOver.
bool listFolder(const std::string& path, std::vector<Entry>& entries, int& errorCode,
                const std::function<void(const std::string&, const std::string&)>& passOver) {
  DIR* dir = ::opendir(path.c_str());
  if (!dir) {
    errorCode = errno;
    return false;
  }
  std::vector<std::string> names;
  while (const dirent* e = ::readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    names.emplace_back(e->d_name);
  }
  std::sort(names.begin(), names.end());
  const int fd = ::dirfd(dir);
  for (const std::string& name : names) {
    struct stat st {};
    if (::fstatat(fd, name.c_str(), &st, 0) != 0) {
      passOver(name, errnoText(errno));
      continue;
    }
    if (S_ISDIR(st.st_mode))
      entries.push_back({name, true});
    else if (S_ISREG(st.st_mode))
      entries.push_back({name, false});
  }
  ::closedir(dir);
  return true;
}

// The picture format by the file's first bytes, or why it is not a photo.
Result<ImageFormat> sniffFile(const std::string& path) {
  auto fd = openFd(path, O_RDONLY | O_NONBLOCK);
  if (!fd) return fd.error();
  auto head = readFd(fd->get(), kImageSniffBytes);
  if (!head) return head.error();
  if (head->empty()) return Error{"the file is empty"};
  const ImageFormat format = sniffImageFormat(head->data(), head->size());
  if (format == ImageFormat::Unknown) return Error{"not a JPEG or PNG picture"};
  if (!canDecodeImageFormat(format))
    return Error{std::string(imageFormatName(format)) + " pictures cannot be read by this build"};
  return format;
}

}  // namespace

// ---------------------------------------------------------------------------

AssetRepresentation::AssetRepresentation(std::shared_ptr<PhotoLibraryShared> library,
                                         std::string relativePath, std::string format,
                                         ImageRef decoded)
    : library_(std::move(library)),
      relativePath_(std::move(relativePath)),
      format_(std::move(format)),
      image_(std::move(decoded)),
      decoded_(image_ != nullptr) {}

ImageRef AssetRepresentation::fullScreenImage() const {
  taken_ = true;
  if (!decoded_) {
    decoded_ = true;
    auto decoded = decodeFullScreen(library_->root + "/" + relativePath_);
    if (decoded)
      image_ = std::move(*decoded);
    else
      log("Photo library: cannot decode %@: %@", relativePath_, decoded.error().message);
  }
  return image_;
}

std::string AssetRepresentation::description() const {
  return "<AssetRepresentation " + relativePath_ + " " + format_ + ">";
}

std::string Asset::description() const {
  return "<Asset " + (representation_ ? representation_->filename() : std::string("?")) + ">";
}

std::string AssetsGroup::valueForProperty(const std::string& key) const {
  if (key == kPropertyName) return name_;
  if (key == kPropertyType) return "Album";
  return "";
}

void AssetsGroup::enumerateAssetsUsingBlock(const AssetBlock& block) {
  if (!block) return;
  for (const Item& item : items_) {
    if (!item.asset) {
      writeLog(item.passOver);
      continue;
    }
    block(item.asset);
    ++offered_;
    if (item.asset->defaultRepresentation()->imageTaken()) ++taken_;
  }
  block(nullptr);
}

// ---------------------------------------------------------------------------
// One enumeration, run as a job of the background queue.

struct PhotoLibraryEnumeration {
  std::shared_ptr<AssetsLibrary> library;  // alive until the last callback
  std::shared_ptr<PhotoLibraryShared> shared;
  PhotoLibrarySource source;
  unsigned types = 0;
  AssetsLibrary::GroupBlock groupBlock;
  AssetsLibrary::FailureBlock failureBlock;

  // Answers from the main thread, under the queue's lock.
  bool answered = false;
  int offered = 0;
  int taken = 0;

  static void run(const std::shared_ptr<PhotoLibraryEnumeration>& self, BackgroundQueue::Job& job);

 private:
  static void log(BackgroundQueue::Job& job, std::string message) {
    job.post([message = std::move(message)] { writeLog(message); });
  }
  bool deliverAndWait(BackgroundQueue::Job& job, RunLoop::Task task);
  // The album's photos in order, the first `decodeCount` of them decoded.
  static std::vector<AssetsGroup::Item> prepareAlbum(
      const std::shared_ptr<PhotoLibraryEnumeration>& self, BackgroundQueue::Job& job,
      const std::string& album, const std::vector<Entry>& files, int decodeCount);
};

bool PhotoLibraryEnumeration::deliverAndWait(BackgroundQueue::Job& job, RunLoop::Task task) {
  job.update([this] { answered = false; });
  job.post(std::move(task));
  return job.waitUntil([this] { return answered; });
}

void PhotoLibraryEnumeration::run(const std::shared_ptr<PhotoLibraryEnumeration>& self,
                                  BackgroundQueue::Job& job) {
  const PhotoLibrarySource& source = self->source;
  if (source.refused) {
    job.post([self] {
      self->failureBlock({-1, "User denied access to the photo library"});
      self->library.reset();
    });
    return;
  }

  std::vector<Entry> entries;
  if (!source.root.empty() && (self->types & kAssetsGroupAlbum)) {
    int code = 0;
    const bool listed = listFolder(source.root, entries, code,
                                   [&](const std::string& name, const std::string& why) {
                                     log(job, "Photo library: passing over " + name + ": " + why);
                                   });
    if (!listed && code != ENOENT) {
      const std::string text =
          "Cannot read the photo library " + source.root + ": " + errnoText(code);
      job.post([self, code, text] {
        self->failureBlock({code, text});
        self->library.reset();
      });
      return;
    }
    if (!listed) log(job, "Photo library: " + source.root + " does not exist; it has no albums");
  }

  // Images are prepared only while the caller takes every photo it is
  // offered: once it lets one pass, it wants no more.
  int takenSoFar = 0;
  bool callerTakesAll = true;
  for (const Entry& entry : entries) {
    if (!entry.isFolder) continue;
    if (job.stopRequested()) return;
    // An album that cannot be read is not offered at all.
    std::vector<Entry> files;
    int code = 0;
    if (!listFolder(source.root + "/" + entry.name, files, code,
                    [&](const std::string& name, const std::string& why) {
                      log(job,
                          "Photo library: passing over " + entry.name + "/" + name + ": " + why);
                    })) {
      log(job, "Photo library: passing over album " + entry.name + ": " + errnoText(code));
      continue;
    }
    const int decodeCount = callerTakesAll ? std::max(0, kPreparedImages - takenSoFar) : 0;
    auto items = prepareAlbum(self, job, entry.name, files, decodeCount);
    if (job.stopRequested()) return;
    auto group = std::make_shared<AssetsGroup>(entry.name, std::move(items));
    const bool ok = self->deliverAndWait(job, [self, group, &job] {
      // The album's photos are delivered from inside the group callback,
      // when it asks for them.
      self->groupBlock(group);
      job.update([&self, &group] {
        self->offered = group->offered_;
        self->taken = group->taken_;
        self->answered = true;
      });
    });
    if (!ok) return;
    job.update([&] {
      takenSoFar += self->taken;
      if (self->taken < self->offered) callerTakesAll = false;
    });
  }
  job.post([self] {
    self->groupBlock(nullptr);
    // The library may go now.
    self->library.reset();
  });
}

std::vector<AssetsGroup::Item> PhotoLibraryEnumeration::prepareAlbum(
    const std::shared_ptr<PhotoLibraryEnumeration>& self, BackgroundQueue::Job& job,
    const std::string& album, const std::vector<Entry>& files, int decodeCount) {
  const std::string folder = self->source.root + "/" + album;
  std::vector<AssetsGroup::Item> items;
  std::vector<std::pair<std::size_t, std::future<Result<ImageRef>>>> running;  // item index, decode
  auto finishOldest = [&] {
    auto [index, decode] = std::move(running.front());
    running.erase(running.begin());
    Result<ImageRef> decoded = decode.get();
    AssetsGroup::Item& item = items[index];
    if (decoded) {
      const auto& old = item.asset->defaultRepresentation();
      item.asset = std::make_shared<Asset>(std::make_shared<AssetRepresentation>(
          self->shared, old->filename(), old->format(), *decoded));
    } else {
      item.passOver = "Photo library: passing over " +
                      item.asset->defaultRepresentation()->filename() + ": " +
                      decoded.error().message;
      item.asset = nullptr;
    }
  };

  // Every file is looked at (its first bytes, to know a photo by its
  // content); only the first decodeCount photos are decoded.
  int decodesStarted = 0;
  for (const Entry& file : files) {
    if (file.isFolder) continue;
    if (job.stopRequested()) break;
    const std::string relative = album + "/" + file.name;
    const Result<ImageFormat> format = sniffFile(folder + "/" + file.name);
    if (!format) {
      items.push_back(
          {nullptr, "Photo library: passing over " + relative + ": " + format.error().message});
      continue;
    }
    const std::string formatName = imageFormatName(*format);
    items.push_back({std::make_shared<Asset>(std::make_shared<AssetRepresentation>(
                         self->shared, relative, formatName, nullptr)),
                     ""});
    if (decodesStarted < decodeCount) {
      ++decodesStarted;
      if (running.size() >= kParallelDecodes) finishOldest();
      running.emplace_back(items.size() - 1,
                           std::async(job.parallelLaunch(), [path = folder + "/" + file.name] {
                             return decodeFullScreen(path);
                           }));
    }
  }
  while (!running.empty()) finishOldest();
  return items;
}

// ---------------------------------------------------------------------------

AssetsLibrary::AssetsLibrary(Platform& platform)
    : platform_(platform),
      source_(platform.photoLibrarySource()),
      shared_(std::make_shared<PhotoLibraryShared>(
          PhotoLibraryShared{platform.photoLibrarySource().root})) {}

void AssetsLibrary::enumerateGroupsWithTypes(unsigned types, GroupBlock groupBlock,
                                             FailureBlock failureBlock) {
  auto enumeration = std::make_shared<PhotoLibraryEnumeration>();
  enumeration->library = shared_from_this();
  enumeration->shared = shared_;
  enumeration->source = source_;
  enumeration->types = types;
  enumeration->groupBlock = std::move(groupBlock);
  enumeration->failureBlock = std::move(failureBlock);
  BackgroundQueue& queue = platform_.backgroundQueue();
  auto start = [&queue, enumeration] {
    queue.start([enumeration](BackgroundQueue::Job& job) {
      PhotoLibraryEnumeration::run(enumeration, job);
    });
  };
  if (source_.prepare)
    source_.prepare(start);
  else
    start();
}

}  // namespace kit
