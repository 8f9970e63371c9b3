#include "hosts/desktop/link_opener.h"

namespace desktop {

bool LinkOpener::open(const std::string& url) {
  const std::optional<int> pid = openUrl(url);
  if (pid) pending_[*pid] = url;
  return pid.has_value();
}

std::vector<std::string> LinkOpener::failedAmong(const std::vector<FinishedProgram>& finished) {
  std::vector<std::string> failed;
  for (const FinishedProgram& program : finished) {
    const auto it = pending_.find(program.pid);
    if (it == pending_.end()) continue;
    if (!program.succeeded) failed.push_back(it->second);
    pending_.erase(it);
  }
  return failed;
}

std::string linkFailureText(const std::string& url) { return "No browser could open " + url; }

}  // namespace desktop
