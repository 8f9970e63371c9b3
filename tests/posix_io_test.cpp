#include "kit/posix_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/temp_folder.h"

namespace kit {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

bool isOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

Bytes pattern(std::size_t size, std::uint8_t seed) {
  Bytes b(size);
  for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(i * 31 + seed);
  return b;
}

void put(const fs::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

Bytes contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  return names;
}

// A descriptor closed twice can close a file opened in between that was
// given the same number: the second close must never happen.
TEST(UniqueFd, ClosesExactlyOnceWhereverItIsMoved) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  ::close(ends[1]);
  const int fd = ends[0];
  {
    UniqueFd first(fd);
    UniqueFd second(std::move(first));
    EXPECT_FALSE(first.valid());
    {
      UniqueFd third;
      third = std::move(second);
      EXPECT_EQ(third.get(), fd);
      UniqueFd moved(std::move(third));
      // Emptied owners going away must leave the descriptor open.
    }
    EXPECT_FALSE(isOpen(fd));
    // Another file now takes the same number; nothing left may close it.
    const int reused = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(reused, fd);
  }
  EXPECT_TRUE(isOpen(fd));
  ::close(fd);
}

TEST(UniqueFd, TakingAnotherClosesTheOneHeld) {
  const int a = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  const int b = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  {
    UniqueFd held(a);
    UniqueFd other(b);
    held = std::move(other);
    EXPECT_FALSE(isOpen(a));
    EXPECT_TRUE(isOpen(b));
    auto& same = held;
    held = std::move(same);  // to itself: nothing closes
    EXPECT_TRUE(isOpen(b));
  }
  EXPECT_FALSE(isOpen(b));
}

TEST(UniqueFd, CloseAndReleaseLeaveNothingForTheDestructor) {
  const int kept = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  {
    UniqueFd fd(kept);
    EXPECT_EQ(fd.release(), kept);
  }
  EXPECT_TRUE(isOpen(kept));
  UniqueFd closing(kept);
  EXPECT_TRUE(closing.close().ok());
  EXPECT_FALSE(isOpen(kept));
  const int reused = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(reused, kept);
  EXPECT_TRUE(closing.close().ok());  // nothing held: nothing closed
  EXPECT_TRUE(isOpen(reused));
  ::close(reused);
}

TEST(ErrnoText, IsTheSystemsOwnWords) {
  EXPECT_EQ(errnoText(ENOENT), "No such file or directory");
  EXPECT_EQ(errnoText(EACCES), "Permission denied");
}

TEST(ReadWholeFile, GivesEveryByteOfLargeAndEmptyFiles) {
  testing_files::TempFolder dir("posix-io");
  const Bytes big = pattern(300'000, 7);
  put(dir / "big", big);
  put(dir / "empty", {});
  auto read = readWholeFile((dir / "big").string());
  ASSERT_TRUE(read) << read.error().message;
  EXPECT_EQ(*read, big);
  auto none = readWholeFile((dir / "empty").string());
  ASSERT_TRUE(none) << none.error().message;
  EXPECT_TRUE(none->empty());
}

TEST(ReadWholeFile, NamesTheFileAndTheSystemsReason) {
  testing_files::TempFolder dir("posix-io");
  const std::string missing = (dir / "missing.png").string();
  auto read = readWholeFile(missing);
  ASSERT_FALSE(read);
  EXPECT_EQ(read.error().message, "cannot open " + missing + ": No such file or directory");

  auto folder = readWholeFile(dir.string());
  ASSERT_FALSE(folder);
  EXPECT_EQ(folder.error().message, dir.string() + " is a folder");
}

// A named pipe with no writer would block a plain open() forever.
TEST(ReadWholeFile, RefusesAPipeWithoutWaitingForAWriter) {
  testing_files::TempFolder dir("posix-io");
  const std::string fifo = (dir / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  auto read = readWholeFile(fifo);
  ASSERT_FALSE(read);
  EXPECT_EQ(read.error().message, fifo + " is not a regular file");
}

TEST(ReadWholeFile, TheCheckSeesTheFileBeforeItIsReadAndMayRefuseIt) {
  testing_files::TempFolder dir("posix-io");
  put(dir / "five", pattern(5, 0));
  FileFacts seen;
  auto refused =
      readWholeFile((dir / "five").string(), [&](const FileFacts& facts) -> Result<void> {
        seen = facts;
        return Error{"too long for us"};
      });
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().message, "too long for us");
  EXPECT_TRUE(seen.regular);
  EXPECT_FALSE(seen.folder);
  EXPECT_EQ(seen.size, 5u);

  // A check that lets a folder through still gets no bytes from it.
  auto folder = readWholeFile(dir.string(), [](const FileFacts&) { return Result<void>(); });
  ASSERT_FALSE(folder);
  EXPECT_EQ(folder.error().message, dir.string() + " is not a regular file");
}

TEST(ReadFd, ReadsToTheEndOrToTheLimit) {
  testing_files::TempFolder dir("posix-io");
  const Bytes bytes = pattern(200'000, 3);
  put(dir / "data", bytes);
  auto fd = openFd((dir / "data").string(), O_RDONLY);
  ASSERT_TRUE(fd) << fd.error().message;
  auto all = readFd(fd->get());
  ASSERT_TRUE(all);
  EXPECT_EQ(*all, bytes);

  auto again = openFd((dir / "data").string(), O_RDONLY);
  ASSERT_TRUE(again);
  auto some = readFd(again->get(), 70'000);
  ASSERT_TRUE(some);
  EXPECT_EQ(*some, Bytes(bytes.begin(), bytes.begin() + 70'000));

  auto missing = openFd((dir / "nothing").string(), O_RDONLY);
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().message, "No such file or directory");
}

// Scripts and scenarios may come through a pipe; a folder named by mistake
// must fail rather than read as empty.
TEST(ReadToEnd, ReadsPipesAndRefusesFolders) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  const std::string text = "frames 2\n";
  ASSERT_EQ(::write(ends[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
  ::close(ends[1]);
  auto piped = readToEnd("/dev/fd/" + std::to_string(ends[0]));
  ::close(ends[0]);
  ASSERT_TRUE(piped) << piped.error().message;
  EXPECT_EQ(std::string(piped->begin(), piped->end()), text);

  testing_files::TempFolder dir("posix-io");
  auto folder = readToEnd(dir.string());
  ASSERT_FALSE(folder);
  EXPECT_EQ(folder.error().message, "Is a directory");
}

TEST(WriteFileAtomically, ReplacesTheFileAndLeavesNothingElse) {
  testing_files::TempFolder dir("posix-io");
  const fs::path target = dir / "picture.png";
  put(target, pattern(1000, 1));
  const Bytes next = pattern(500, 2);
  const Result<void> written = writeFileAtomically(target.string(), next);
  ASSERT_TRUE(written) << written.error().message;
  EXPECT_EQ(contents(target), next);
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"picture.png"});
}

TEST(WriteFileAtomically, FailingToCreateNamesTheTemporaryFile) {
  testing_files::TempFolder dir("posix-io");
  const std::string path = (dir / "no-folder" / "x.png").string();
  const Result<void> written = writeFileAtomically(path, pattern(10, 0));
  ASSERT_FALSE(written);
  const std::string& message = written.error().message;
  EXPECT_TRUE(message.starts_with("cannot create " + path + ".tmp.")) << message;
  EXPECT_TRUE(message.ends_with(": No such file or directory")) << message;
  EXPECT_FALSE(writeFileAtomically("", {}));
}

// The disk filling up halfway (here: a file-size limit, which fails the
// write the same way) must leave the old file as it was, with no
// half-written temporary file beside it.
TEST(WriteFileAtomically, AFailedWriteLeavesTheOldFileWhole) {
  testing_files::TempFolder dir("posix-io");
  const fs::path target = dir / "album.dat";
  const Bytes old = pattern(10'000, 9);
  put(target, old);

  // In a child, so the limit and the ignored signal stay there.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const struct rlimit limit { 4096, 4096 };
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const Result<void> written = writeFileAtomically(target.string(), pattern(100'000, 4));
    const bool told =
        !written &&
        written.error().message.starts_with("cannot write " + target.string() + ".tmp.") &&
        written.error().message.ends_with(": File too large");
    ::_exit(told ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the failure was not reported as a failed write";
  EXPECT_EQ(contents(target), old);
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"album.dat"});
}

}  // namespace
}  // namespace kit
