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
#include "kit/platform.h"

namespace kit {

struct PhotoLibraryShared {
  std::string root;
};

namespace {

// Undecoded photos are handed over this many to a main-queue task.
constexpr std::size_t kUndecodedBatch = 256;

// Photos decoded at the same time while the caller takes them: one for
// each of two cores. When the caller stops, at most this many photos past
// the last one it took have been decoded for nothing.
constexpr int kDecodesAhead = 2;

std::string errnoText(int code) { return std::generic_category().message(code); }

DecodeOptions fullScreenOptions() {
  DecodeOptions options;
  options.fitWithin = kFullScreenImageSize;
  options.applyOrientationToPixels = true;
  return options;
}

ImageRef decodeFullScreen(const std::string& path, std::string& error) {
  DecodeResult result = decodeImageFile(path, fullScreenOptions());
  if (!result) {
    error = result.error;
    // The codec names the file; the log line names it already.
    if (error.rfind(path + ": ", 0) == 0) error.erase(0, path.size() + 2);
    return nullptr;
  }
  return std::make_shared<const Image>(std::move(result.bitmap), result.orientation);
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
ImageFormat sniffFile(const std::string& path, std::string& why) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    why = errnoText(errno);
    return ImageFormat::Unknown;
  }
  std::uint8_t head[8];
  ssize_t n;
  do n = ::read(fd, head, sizeof head);
  while (n < 0 && errno == EINTR);
  const int code = errno;
  ::close(fd);
  if (n < 0) {
    why = errnoText(code);
    return ImageFormat::Unknown;
  }
  if (n == 0) {
    why = "the file is empty";
    return ImageFormat::Unknown;
  }
  const ImageFormat format = sniffImageFormat(head, static_cast<std::size_t>(n));
  if (format == ImageFormat::Unknown) why = "not a JPEG or PNG picture";
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
    std::string error;
    image_ = decodeFullScreen(library_->root + "/" + relativePath_, error);
    if (!image_) log("Photo library: cannot decode %@: %@", relativePath_, error);
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
  AssetsGroup::AssetBlock assetBlock;
  bool imageTaken = false;

  static void run(const std::shared_ptr<PhotoLibraryEnumeration>& self, BackgroundQueue::Job& job);

 private:
  static void log(BackgroundQueue::Job& job, std::string message) {
    job.post([message = std::move(message)] { writeLog(message); });
  }
  bool deliverAndWait(BackgroundQueue::Job& job, RunLoop::Task task);
  static void enumerateAlbum(const std::shared_ptr<PhotoLibraryEnumeration>& self, BackgroundQueue::Job& job,
                             const std::string& album, const std::vector<Entry>& files,
                             AssetsGroup::AssetBlock block, bool& decodeNext);
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
    const bool listed = listFolder(source.root, entries, code, [&](const std::string& name, const std::string& why) {
      log(job, "Photo library: passing over " + name + ": " + why);
    });
    if (!listed && code != ENOENT) {
      const std::string text = "Cannot read the photo library " + source.root + ": " + errnoText(code);
      job.post([self, code, text] {
        self->failureBlock({code, text});
        self->library.reset();
      });
      return;
    }
    if (!listed) log(job, "Photo library: " + source.root + " does not exist; it has no albums");
  }

  bool decodeNext = true;
  for (const Entry& entry : entries) {
    if (!entry.isFolder) continue;
    if (job.stopRequested()) return;
    // An album that cannot be read is not offered at all.
    std::vector<Entry> files;
    int code = 0;
    if (!listFolder(source.root + "/" + entry.name, files, code,
                    [&](const std::string& name, const std::string& why) {
                      log(job, "Photo library: passing over " + entry.name + "/" + name + ": " + why);
                    })) {
      log(job, "Photo library: passing over album " + entry.name + ": " + errnoText(code));
      continue;
    }
    auto group = std::make_shared<AssetsGroup>(entry.name);
    const bool ok = self->deliverAndWait(job, [self, group, &job] {
      self->groupBlock(group);
      AssetsGroup::AssetBlock block = std::move(group->assetBlock_);
      job.update([&self, &block] {
        self->assetBlock = std::move(block);
        self->answered = true;
      });
    });
    if (!ok) return;
    AssetsGroup::AssetBlock block;
    job.update([&] { block = std::move(self->assetBlock); });
    if (block) enumerateAlbum(self, job, entry.name, files, std::move(block), decodeNext);
  }
  job.post([self] {
    self->groupBlock(nullptr);
    // The library may go now.
    self->library.reset();
  });
}

void PhotoLibraryEnumeration::enumerateAlbum(const std::shared_ptr<PhotoLibraryEnumeration>& self,
                                             BackgroundQueue::Job& job, const std::string& album,
                                             const std::vector<Entry>& files, AssetsGroup::AssetBlock block,
                                             bool& decodeNext) {
  auto callback = std::make_shared<AssetsGroup::AssetBlock>(std::move(block));
  const std::string folder = self->source.root + "/" + album;

  // What is known of each file: its format by its first bytes, and the
  // decode started for it. Files are looked at in order, a little ahead of
  // delivery while decoding ahead; what they make the log say is posted
  // when delivery reaches them, so the order never depends on timing.
  struct Decoded {
    ImageRef image;
    std::string error;
  };
  struct File {
    bool looked = false;
    ImageFormat format = ImageFormat::Unknown;
    std::string why;
    std::future<Decoded> decode;
  };
  std::vector<File> state(files.size());
  auto pathOf = [&](std::size_t i) { return folder + "/" + files[i].name; };
  auto look = [&](std::size_t i) {
    File& f = state[i];
    if (!f.looked && !files[i].isFolder) f.format = sniffFile(pathOf(i), f.why);
    f.looked = true;
    return f.format != ImageFormat::Unknown;
  };
  // Keeps decodes running for the next kDecodesAhead photos from i on.
  auto decodeAhead = [&](std::size_t i) {
    int photos = 0;
    for (std::size_t j = i; j < files.size() && photos < kDecodesAhead; ++j) {
      if (!look(j)) continue;
      ++photos;
      if (!state[j].decode.valid())
        state[j].decode = std::async(std::launch::async, [path = pathOf(j)] {
          Decoded d;
          d.image = decodeFullScreen(path, d.error);
          return d;
        });
    }
  };

  // Photos delivered undecoded go over in batches, without waiting.
  std::vector<std::shared_ptr<Asset>> batch;
  auto flush = [&] {
    if (batch.empty()) return;
    job.post([callback, assets = std::move(batch)] {
      for (const auto& asset : assets) (*callback)(asset);
    });
    batch.clear();
  };

  for (std::size_t i = 0; i < files.size(); ++i) {
    if (files[i].isFolder) continue;
    if (job.stopRequested()) return;
    const std::string relative = album + "/" + files[i].name;
    if (!look(i)) {
      flush();
      log(job, "Photo library: passing over " + relative + ": " + state[i].why);
      continue;
    }
    const std::string formatName = state[i].format == ImageFormat::Jpeg ? "JPEG" : "PNG";

    if (decodeNext) decodeAhead(i);
    if (!state[i].decode.valid()) {
      batch.push_back(std::make_shared<Asset>(
          std::make_shared<AssetRepresentation>(self->shared, relative, formatName, nullptr)));
      if (batch.size() >= kUndecodedBatch) flush();
      continue;
    }

    Decoded decoded = state[i].decode.get();
    if (!decoded.image) {
      flush();
      log(job, "Photo library: passing over " + relative + ": " + decoded.error);
      continue;
    }
    auto representation =
        std::make_shared<AssetRepresentation>(self->shared, relative, formatName, decoded.image);
    auto asset = std::make_shared<Asset>(representation);
    if (!decodeNext) {
      // Decoded ahead before the caller stopped taking images.
      batch.push_back(asset);
      continue;
    }
    flush();
    const bool ok = self->deliverAndWait(job, [self, callback, asset, representation, &job] {
      (*callback)(asset);
      const bool taken = representation->imageTaken();
      job.update([&self, taken] {
        self->imageTaken = taken;
        self->answered = true;
      });
    });
    if (!ok) return;
    job.update([&] { decodeNext = self->imageTaken; });
  }
  flush();
  job.post([callback] { (*callback)(nullptr); });
}

// ---------------------------------------------------------------------------

AssetsLibrary::AssetsLibrary(Platform& platform)
    : platform_(platform),
      source_(platform.photoLibrarySource()),
      shared_(std::make_shared<PhotoLibraryShared>(PhotoLibraryShared{platform.photoLibrarySource().root})) {}

void AssetsLibrary::enumerateGroupsWithTypes(unsigned types, GroupBlock groupBlock, FailureBlock failureBlock) {
  auto enumeration = std::make_shared<PhotoLibraryEnumeration>();
  enumeration->library = shared_from_this();
  enumeration->shared = shared_;
  enumeration->source = source_;
  enumeration->types = types;
  enumeration->groupBlock = std::move(groupBlock);
  enumeration->failureBlock = std::move(failureBlock);
  platform_.backgroundQueue().start(
      [enumeration](BackgroundQueue::Job& job) { PhotoLibraryEnumeration::run(enumeration, job); });
}

}  // namespace kit
