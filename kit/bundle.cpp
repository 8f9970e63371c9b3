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
    auto decoded = decodeImageFile(*path);
    if (decoded)
      image = std::make_shared<Image>(decoded->bitmap, decoded->orientation);
    else
      log("Image resource %@ could not be read: %@", name, decoded.error().message);
  } else {
    log("Image resource %@ is missing", name);
  }
  // Missing images are not cached, so a resource that appears later loads.
  if (image) images_[name] = image;
  return image;
}

#ifndef VITRANE_INSTALLED_RESOURCES
#define VITRANE_INSTALLED_RESOURCES "../share/vitrane"
#endif

std::string Bundle::installedResourceDir(const std::string& program) {
  std::error_code ec;
  const fs::path self =
      program.empty() ? fs::read_symlink("/proc/self/exe", ec) : fs::path(program);
  if (ec || self.empty()) return {};
  const fs::path dir = (self.parent_path() / VITRANE_INSTALLED_RESOURCES).lexically_normal();
  // The interface file is what no launch can do without: a folder without
  // it is someone else's.
  if (!fs::is_regular_file(dir / "MainInterface.json", ec)) return {};
  return dir.string();
}

std::string Bundle::defaultResourceDir() {
  if (const char* env = std::getenv("VITRANE_RESOURCES"); env && *env) return env;
  // Installed programs first, wherever the prefix was moved; then the
  // source tree the build was made from, for programs run from the build.
  if (std::string installed = installedResourceDir(); !installed.empty()) return installed;
  return VITRANE_RESOURCE_DIR;
}

}  // namespace kit
