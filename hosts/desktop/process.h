// Starting other programs without a shell: every argument reaches the
// program as it is, whatever characters it holds.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace desktop {

// Starts argv[0] (searched on PATH) and does not wait for it; answers
// whether it started. Its exit is collected by reapChildren().
bool spawnDetached(const std::vector<std::string>& argv);

// Collects the programs started by spawnDetached that have finished, so
// none lingers as a zombie. Call now and then (the main loop does).
void reapChildren();

// Runs argv[0] (searched on PATH) with standard input from /dev/null and
// answers what it wrote to standard output, when it ran and exited with
// status 0. Output beyond maxBytes is read and dropped.
std::optional<std::string> captureOutput(const std::vector<std::string>& argv,
                                         std::size_t maxBytes = 64 * 1024);

// Opens a link with the desktop's opener (xdg-open); answers whether the
// opener started. An address beginning with '-' would be read as an option
// of the opener and is refused, as is an empty one.
bool openUrl(const std::string& url);

}  // namespace desktop
