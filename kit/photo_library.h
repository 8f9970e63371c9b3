// The photo library: a folder on disk. Each of its subfolders is an album
// (in name order), and each file in an album whose content is a JPEG or PNG
// picture is a photo (in name order). Hidden entries (a leading '.') are not
// looked at.
//
// Enumeration is asynchronous, as on the platform: enumerateGroupsWithTypes
// returns at once, and the group callback is then called on the main thread
// once per album and once with no album when the enumeration is over. An
// album's enumerateAssetsUsingBlock, called from its group callback, calls
// its block at once, once per photo and then once with no photo, so an
// album's photos are all delivered before its group callback returns.
// Reading folders and decoding photos happen on the platform's background
// queue.
//
// Display-sized images (fullScreenImage) of an enumeration's first ten
// photos are decoded ahead, off the main thread (two at a time), for as
// long as the caller takes every photo it is offered; an image asked for
// past those is decoded then, on the calling thread. A large library thus
// costs a look at each file's first bytes, not a decode of every photo.
//
// Nothing in a library is trusted: a file that is empty, not a picture,
// truncated or too large, an album that cannot be read, a link that leads
// nowhere or in a circle are passed over with a line in the debug log.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kit/geometry.h"
#include "kit/image.h"

namespace kit {

class Platform;

// Where a platform's library is. An empty root is a library with no albums
// (also when the folder does not exist); refused makes every enumeration
// fail as if the user had refused access.
struct PhotoLibrarySource {
  std::string root;
  bool refused = false;
  // A library the user fills when it is first asked for (the browser's
  // file picker): called at the start of every enumeration, which goes on
  // once the host calls ready. None: the folder is there already.
  std::function<void(std::function<void()> ready)> prepare;
};

// Photos are decoded to fit inside this, as they are shown (turned upright),
// keeping their aspect ratio, never enlarged.
inline constexpr Size kFullScreenImageSize{768, 1024};

enum class AssetsFilter { AllAssets, AllPhotos };

// Group types, the platform's values.
inline constexpr unsigned kAssetsGroupLibrary = 1u << 0;
inline constexpr unsigned kAssetsGroupAlbum = 1u << 1;
inline constexpr unsigned kAssetsGroupAll = 0xFFFFFFFFu;

struct PhotoLibraryShared;

class AssetRepresentation {
 public:
  AssetRepresentation(std::shared_ptr<PhotoLibraryShared> library, std::string relativePath,
                      std::string format, ImageRef decoded);
  // The display-sized picture, upright (orientation Up); null when the file
  // could not be decoded after all.
  ImageRef fullScreenImage() const;
  // The file within the library ("Album/name.jpg").
  const std::string& filename() const { return relativePath_; }
  // "JPEG" or "PNG", as the file's first bytes say.
  const std::string& format() const { return format_; }
  // "<AssetRepresentation Album/name.jpg JPEG>"
  std::string description() const;
  // Whether fullScreenImage was asked for.
  bool imageTaken() const { return taken_; }
  // Whether the image has been decoded (ahead, or when asked for).
  bool hasDecodedImage() const { return image_ != nullptr; }

 private:
  std::shared_ptr<PhotoLibraryShared> library_;
  std::string relativePath_;
  std::string format_;
  mutable ImageRef image_;
  mutable bool decoded_;
  mutable std::atomic<bool> taken_{false};
};

class Asset {
 public:
  explicit Asset(std::shared_ptr<AssetRepresentation> representation)
      : representation_(std::move(representation)) {}
  const std::shared_ptr<AssetRepresentation>& defaultRepresentation() const {
    return representation_;
  }
  std::string description() const;

 private:
  std::shared_ptr<AssetRepresentation> representation_;
};

class AssetsGroup {
 public:
  // The property keys of valueForProperty.
  static constexpr const char* kPropertyName = "Name";
  static constexpr const char* kPropertyType = "Type";

  using AssetBlock = std::function<void(const std::shared_ptr<Asset>& asset)>;  // null: the end

  // A photo of the album, or a file passed over with its log line.
  struct Item {
    std::shared_ptr<Asset> asset;
    std::string passOver;
  };

  explicit AssetsGroup(std::string name, std::vector<Item> items = {})
      : name_(std::move(name)), items_(std::move(items)) {}
  const std::string& name() const { return name_; }
  // The album's name for kPropertyName, "Album" for kPropertyType, else "".
  std::string valueForProperty(const std::string& key) const;
  void setAssetsFilter(AssetsFilter filter) { filter_ = filter; }
  AssetsFilter assetsFilter() const { return filter_; }
  // Main thread, from the group callback: calls block with each photo in
  // order, then with null.
  void enumerateAssetsUsingBlock(const AssetBlock& block);
  std::string description() const { return "<AssetsGroup " + name_ + ">"; }

 private:
  friend struct PhotoLibraryEnumeration;
  std::string name_;
  AssetsFilter filter_ = AssetsFilter::AllAssets;
  std::vector<Item> items_;
  int offered_ = 0;  // photos handed to a block
  int taken_ = 0;    // of which the image was asked for
};

struct PhotoLibraryError {
  int code = 0;  // the errno behind it, or -1 for refused access
  std::string text;
  std::string description() const { return text; }
};

class AssetsLibrary : public std::enable_shared_from_this<AssetsLibrary> {
 public:
  using GroupBlock =
      std::function<void(const std::shared_ptr<AssetsGroup>& group)>;  // null: the end
  using FailureBlock = std::function<void(const PhotoLibraryError& error)>;

  // Reads the platform's library source now. Make it with make_shared: an
  // enumeration keeps the library alive until its last callback.
  explicit AssetsLibrary(Platform& platform);

  // Albums only: a library on disk has no other kind of group, so any types
  // including kAssetsGroupAlbum enumerate the albums and others none.
  void enumerateGroupsWithTypes(unsigned types, GroupBlock groupBlock, FailureBlock failureBlock);

 private:
  Platform& platform_;
  PhotoLibrarySource source_;
  std::shared_ptr<PhotoLibraryShared> shared_;
};

}  // namespace kit
