// Starting other programs without a shell: every argument reaches the
// program as it is, whatever characters it holds.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace desktop {

// Starts argv[0] (searched on PATH) and does not wait for it; answers its
// process id when it started. Its exit is collected by reapChildren().
std::optional<int> spawnDetached(const std::vector<std::string>& argv);

struct FinishedProgram {
  int pid = 0;
  bool succeeded = false;  // exited with status 0
};

// Collects the programs started by spawnDetached that have finished, so
// none lingers as a zombie, and answers them. Call now and then (the main
// loop does).
std::vector<FinishedProgram> reapChildren();

// Runs argv[0] (searched on PATH) with standard input from /dev/null and
// answers what it wrote to standard output, when it ran and exited with
// status 0. Output beyond maxBytes is read and dropped.
std::optional<std::string> captureOutput(const std::vector<std::string>& argv,
                                         std::size_t maxBytes = 64 * 1024);

// Opens a link with the desktop's opener (xdg-open); answers the opener's
// process id when it started: it exits with a status other than 0 when no
// program could open the link. An address beginning with '-' would be
// read as an option of the opener and is refused, as is an empty one.
std::optional<int> openUrl(const std::string& url);

}  // namespace desktop
