#include "hosts/desktop/log_file.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "kit/log.h"
#include "kit/posix_io.h"

namespace desktop {

namespace fs = std::filesystem;

std::string defaultLogPath(const char* xdgStateHome, const char* home) {
  if (xdgStateHome && xdgStateHome[0] == '/')
    return std::string(xdgStateHome) + "/vitrane/vitrane.log";
  if (home && home[0] == '/') return std::string(home) + "/.local/state/vitrane/vitrane.log";
  return {};
}

kit::Result<std::unique_ptr<LogFile>> LogFile::open(const std::string& path) {
  const fs::path file(path);
  std::error_code ec;
  if (file.has_parent_path() && !fs::is_directory(file.parent_path(), ec)) {
    fs::create_directories(file.parent_path(), ec);
    if (ec) return kit::Error{ec.message()};
    // State is the user's own.
    fs::permissions(file.parent_path(), fs::perms::owner_all, ec);
  }
  if (fs::is_regular_file(file, ec)) fs::rename(file, path + ".old", ec);
  std::FILE* out = std::fopen(path.c_str(), "w");
  if (!out) return kit::Error{kit::errnoText(errno)};
  return std::unique_ptr<LogFile>(new LogFile(path, out));
}

LogFile::LogFile(std::string path, std::FILE* file) : path_(std::move(path)), file_(file) {
  kit::setLogSink([file](const std::string& message) {
    std::fputs(message.c_str(), file);
    std::fputc('\n', file);
    std::fflush(file);
  });
}

LogFile::~LogFile() {
  kit::setLogSink({});
  std::fclose(file_);
}

}  // namespace desktop
