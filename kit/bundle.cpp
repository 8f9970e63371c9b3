#include "kit/bundle.h"

#include <cstdlib>
#include <filesystem>

#include "kit/image_codec.h"
#include "kit/log.h"

namespace kit {

namespace fs = std::filesystem;

Bundle::Bundle(std::string resourceDir) : resourceDir_(std::move(resourceDir)) {}

std::optional<std::string> Bundle::pathForResource(const std::string& name,
                                                   const std::string& extension) const {
  if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
    return std::nullopt;
  const std::string file = extension.empty() ? name : name + "." + extension;
  const fs::path path = fs::path(resourceDir_) / file;
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return std::nullopt;
  return path.string();
}

ImageRef Bundle::imageNamed(const std::string& name) {
  if (auto it = images_.find(name); it != images_.end()) return it->second;
  ImageRef image;
  if (auto path = pathForResource(name)) {
    DecodeResult decoded = decodeImageFile(*path);
    if (decoded)
      image = std::make_shared<Image>(decoded.bitmap, decoded.orientation);
    else
      log("Image resource %@ could not be read: %@", name, decoded.error);
  } else {
    log("Image resource %@ is missing", name);
  }
  // Missing images are not cached, so a resource that appears later loads.
  if (image) images_[name] = image;
  return image;
}

std::string Bundle::defaultResourceDir() {
  if (const char* env = std::getenv("VITRANE_RESOURCES"); env && *env) return env;
  return VITRANE_RESOURCE_DIR;
}

}  // namespace kit
