// A folder of its own for one test (or one benchmark run), under the
// system's temporary folder, removed with everything in it at the end.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace testing_files {

class TempFolder {
 public:
  // name shows in the folder's name ("vitrane-NAME-XXXXXX"), to tell whose
  // a leftover folder was. The folder is new and empty: mkdtemp never picks
  // one that exists, so tests running side by side never share one.
  explicit TempFolder(const std::string& name = "test") {
    std::string pattern =
        (std::filesystem::temp_directory_path() / ("vitrane-" + name + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TempFolder() {
    if (path_.empty()) return;
    std::error_code ignored;
    // Put back what a test took away, or the folder could not be removed.
    for (const auto& p : restore_)
      std::filesystem::permissions(p, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Empty when no folder could be made.
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  std::string string() const { return path_.string(); }

  // For a test that takes permissions away inside the folder.
  void restorePermissionsOf(const std::filesystem::path& p) { restore_.push_back(p); }

 private:
  std::filesystem::path path_;
  std::vector<std::filesystem::path> restore_;
};

}  // namespace testing_files
