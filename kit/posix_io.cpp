#include "kit/posix_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <system_error>

namespace kit {

namespace {

// Reads of unknown length grow by this much at a time.
constexpr std::size_t kReadChunk = 64 * 1024;

Error errnoError(int code) { return Error{errnoText(code)}; }

// Fills into until it is full or the file ends; answers how much came.
Result<std::size_t> readUpTo(int fd, std::uint8_t* into, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, into + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errnoError(errno);
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

}  // namespace

std::string errnoText(int code) { return std::generic_category().message(code); }

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) reset(other.release());
  return *this;
}

int UniqueFd::release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

void UniqueFd::reset(int fd) {
  if (fd_ >= 0 && fd_ != fd) ::close(fd_);
  fd_ = fd;
}

Result<void> UniqueFd::close() {
  // Linux frees the descriptor even when close fails, so it is never
  // closed a second time (that could close another file's new descriptor).
  const int fd = release();
  if (fd >= 0 && ::close(fd) != 0 && errno != EINTR) return errnoError(errno);
  return {};
}

Result<UniqueFd> openFd(const std::string& path, int flags, mode_t mode) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
  if (fd < 0) return errnoError(errno);
  return UniqueFd(fd);
}

Result<std::vector<std::uint8_t>> readFd(int fd, std::size_t most) {
  std::vector<std::uint8_t> data;
  while (data.size() < most) {
    const std::size_t had = data.size();
    const std::size_t want = std::min(std::max(kReadChunk, had), most - had);
    data.resize(had + want);
    auto got = readUpTo(fd, data.data() + had, want);
    if (!got) return got.error();
    data.resize(had + *got);
    if (*got < want) break;  // the end of the file
  }
  return data;
}

Result<void> writeFd(int fd, const std::uint8_t* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    // A write that takes nothing and reports no error would loop forever.
    if (n <= 0) return errnoError(n < 0 ? errno : EIO);
    done += static_cast<std::size_t>(n);
  }
  return {};
}

Result<std::vector<std::uint8_t>> readToEnd(const std::string& path) {
  auto fd = openFd(path, O_RDONLY);
  if (!fd) return fd.error();
  return readFd(fd->get());
}

Result<std::vector<std::uint8_t>> readWholeFile(const std::string& path, const FileCheck& check) {
  auto fd = openFd(path, O_RDONLY | O_NONBLOCK);
  if (!fd) return Error{"cannot open " + path + ": " + fd.error().message};
  struct stat st {};
  if (::fstat(fd->get(), &st) != 0) return Error{"cannot read " + path + ": " + errnoText(errno)};
  const FileFacts facts{S_ISDIR(st.st_mode), S_ISREG(st.st_mode),
                        static_cast<std::uint64_t>(std::max<off_t>(st.st_size, 0))};
  if (check) {
    if (auto allowed = check(facts); !allowed) return allowed.error();
  } else if (facts.folder) {
    return Error{path + " is a folder"};
  }
  if (!facts.regular) return Error{path + " is not a regular file"};
  if (facts.size > std::numeric_limits<std::size_t>::max())
    return Error{"cannot read " + path + ": " + errnoText(EFBIG)};

  // Exactly the size it had when opened: a file growing meanwhile (a
  // download, a camera still writing) gives the part that was there.
  std::vector<std::uint8_t> data(static_cast<std::size_t>(facts.size));
  auto got = readUpTo(fd->get(), data.data(), data.size());
  if (!got) return Error{"cannot read " + path + ": " + got.error().message};
  if (*got != data.size()) return Error{path + " changed while it was being read"};
  return data;
}

Result<void> writeFileAtomically(const std::string& path, const std::vector<std::uint8_t>& data) {
  if (path.empty()) return Error{"no file name given"};
  static std::atomic<unsigned> counter{0};
  std::string temp;
  UniqueFd fd;
  int code = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = path + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter++);
    fd.reset(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    code = errno;
    if (fd || code != EEXIST) break;
  }
  if (!fd) return Error{"cannot create " + temp + ": " + errnoText(code)};

  auto abandon = [&](const std::string& what, const Error& why) -> Error {
    ::unlink(temp.c_str());
    return Error{what + ": " + why.message};
  };
  if (auto written = writeFd(fd.get(), data.data(), data.size()); !written)
    return abandon("cannot write " + temp, written.error());
  // On disk before the rename, or a crash could leave an empty file under
  // the final name.
  if (::fsync(fd.get()) != 0) return abandon("cannot write " + temp, errnoError(errno));
  if (auto closed = fd.close(); !closed) return abandon("cannot write " + temp, closed.error());
  if (::rename(temp.c_str(), path.c_str()) != 0)
    return abandon("cannot replace " + path, errnoError(errno));
  return {};
}

}  // namespace kit
