// A file read whole, for the scripts and scenarios the window is given.
#pragma once

#include <optional>
#include <string>

namespace desktop {

// Nothing when the file cannot be opened or a read fails (a folder opens
// but cannot be read, and must not pass for an empty file).
std::optional<std::string> readFileText(const std::string& path);

}  // namespace desktop
