// Where the window's debug log goes. The application's log lines are for
// developers, as a tablet's console log is: by default they go to a file
// in the user's state folder, not to the terminal the window was started
// from.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "kit/result.h"

namespace desktop {

// $XDG_STATE_HOME/vitrane/vitrane.log, else ~/.local/state/vitrane/vitrane.log
// (a relative XDG_STATE_HOME is ignored, as the XDG base directories say);
// empty when neither folder is known.
std::string defaultLogPath(const char* xdgStateHome, const char* home);

// Sends the kit's log to a file while it lives, each line written through
// at once so that a crash loses none. The file is written afresh each
// session; the one before it is kept beside it as FILE.old. Its folder is
// made (owner only) when missing.
class LogFile {
 public:
  // An error when the file cannot be written.
  static kit::Result<std::unique_ptr<LogFile>> open(const std::string& path);
  ~LogFile();  // the log goes to standard error again
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  const std::string& path() const { return path_; }

 private:
  LogFile(std::string path, std::FILE* file);

  std::string path_;
  std::FILE* file_;
};

}  // namespace desktop
