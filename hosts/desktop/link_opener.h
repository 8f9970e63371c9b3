// Links opened from the window, followed until their opener has finished,
// so that a link no program could open is told to the person instead of
// failing unseen.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "hosts/desktop/process.h"

namespace desktop {

class LinkOpener {
 public:
  // Starts the desktop's opener on url; answers whether it started (the
  // application's urlOpener).
  bool open(const std::string& url);
  // Of the programs that have finished (reapChildren's answer), the links
  // whose opener could not open them, each told once.
  std::vector<std::string> failedAmong(const std::vector<FinishedProgram>& finished);
  std::size_t pending() const { return pending_.size(); }

 private:
  std::map<int, std::string> pending_;  // by the opener's process id
};

// What the window says of a link that could not be opened.
std::string linkFailureText(const std::string& url);

}  // namespace desktop
