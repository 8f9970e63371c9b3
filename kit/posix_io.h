// Files through the system's own calls: descriptors that close themselves,
// whole-file reads and writes that a crash cannot leave half done, and the
// system's words for errno.
//
// Two kinds of error text: the single-step calls (openFd, readFd, writeFd)
// answer errno's text alone ("Permission denied") for the caller to put in
// its own words; the whole-file calls answer sentences that name the file.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "kit/result.h"

namespace kit {

// The system's words for an errno value: "No such file or directory".
std::string errnoText(int code);

// Owns one file descriptor and closes it once: when it goes, when it is
// given another, or by close(). Moving hands the descriptor over and leaves
// the source empty (-1).
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  explicit operator bool() const { return valid(); }

  // Gives up ownership without closing.
  int release();
  // Closes the descriptor held (if any) and holds fd instead.
  void reset(int fd = -1);
  // Closes now and reports what close(2) said: for a file just written,
  // its failure can mean the data never reached the disk.
  Result<void> close();

 private:
  int fd_ = -1;
};

// open(2), always close-on-exec. The error is errno's text alone.
Result<UniqueFd> openFd(const std::string& path, int flags, mode_t mode = 0);

// Reads until the end of the file or until most bytes, whichever comes
// first, going on after interrupted calls. The error is errno's text alone.
Result<std::vector<std::uint8_t>> readFd(
    int fd, std::size_t most = std::numeric_limits<std::size_t>::max());

// Writes every byte, going on after interrupted calls and short writes. The
// error is errno's text alone.
Result<void> writeFd(int fd, const std::uint8_t* data, std::size_t size);

// Opens path and reads it to its end, whatever it is that can be read: a
// file, a pipe, a terminal (so this may wait for a writer). A folder is an
// error ("Is a directory"), never an empty file. The error is errno's text
// alone.
Result<std::vector<std::uint8_t>> readToEnd(const std::string& path);

// What a file is, seen through its open descriptor (so it is the very file
// that will be read, even if the name is changed meanwhile).
struct FileFacts {
  bool folder = false;
  bool regular = false;
  std::uint64_t size = 0;
};
using FileCheck = std::function<Result<void>(const FileFacts&)>;

// The whole of a regular file. check, when given, sees the file before any
// byte is read and may refuse it in the caller's own words (a size limit,
// what a folder is called); without one, a folder or anything but a regular
// file is refused. Opening never blocks, so a pipe's name cannot hang the
// caller. Errors: "cannot open PATH: …", "cannot read PATH: …", "PATH is a
// folder", "PATH is not a regular file", "PATH changed while it was being
// read".
Result<std::vector<std::uint8_t>> readWholeFile(const std::string& path,
                                                const FileCheck& check = {});

// Puts data at path so that a reader sees the old file or the new one,
// never part of either, and a failure leaves the old file whole: the bytes
// go to a new file beside path, reach the disk, and are renamed over it.
// The new file's permissions are those of any new file (0666 less the
// umask). Errors: "no file name given", "cannot create TEMP: …", "cannot
// write TEMP: …", "cannot replace PATH: …".
Result<void> writeFileAtomically(const std::string& path, const std::vector<std::uint8_t>& data);

}  // namespace kit
