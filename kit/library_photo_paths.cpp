// The photo files of a library folder, for the picker's grid.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kit/image_codec.h"
#include "kit/image_picker_views.h"

namespace kit {

namespace {

namespace fs = std::filesystem;

// The visible entries of a folder that are (or lead to) folders, or files,
// in name order; none when it cannot be read.
std::vector<fs::path> entries(const fs::path& folder, bool folders) {
  std::vector<fs::path> found;
  std::error_code ec;
  fs::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    std::error_code kindError;
    const bool isFolder = fs::is_directory(it->path(), kindError);  // through links
    const bool isFile = fs::is_regular_file(it->path(), kindError);
    if (folders ? isFolder : isFile) found.push_back(it->path());
  }
  std::sort(found.begin(), found.end(), [](const fs::path& a, const fs::path& b) {
    return a.filename().string() < b.filename().string();
  });
  return found;
}

bool looksLikePicture(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::uint8_t head[kImageSniffBytes] = {};
  in.read(reinterpret_cast<char*>(head), sizeof head);
  return canDecodeImageFormat(sniffImageFormat(head, static_cast<std::size_t>(in.gcount())));
}

}  // namespace

std::vector<std::string> listLibraryPhotoPaths(const std::string& root) {
  std::vector<std::string> paths;
  if (root.empty()) return paths;
  for (const fs::path& album : entries(root, true))
    for (const fs::path& file : entries(album, false))
      if (looksLikePicture(file)) paths.push_back(file.string());
  return paths;
}

}  // namespace kit
