// The application's resources: a folder of files read by name.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "kit/image.h"

namespace kit {

class Bundle {
 public:
  explicit Bundle(std::string resourceDir);

  const std::string& resourceDir() const { return resourceDir_; }

  // The path of "name.extension" (extension may be empty, or part of name)
  // when that file exists and is a regular file.
  std::optional<std::string> pathForResource(const std::string& name,
                                             const std::string& extension = {}) const;

  // The platform's imageNamed: decoded once and shared by every caller;
  // nothing when the file is missing or does not decode, with a line in
  // the debug log saying which and why.
  ImageRef imageNamed(const std::string& name);

  // The default folder: $VITRANE_RESOURCES when set, else the installed
  // one beside the running program (share/vitrane under its prefix), else
  // the one the build was made from.
  static std::string defaultResourceDir();

  // share/vitrane beside the program (this process's own when empty), or
  // empty when there is none there.
  static std::string installedResourceDir(const std::string& program = {});

 private:
  std::string resourceDir_;
  std::map<std::string, ImageRef> images_;
};

}  // namespace kit
