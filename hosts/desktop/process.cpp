#include "hosts/desktop/process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

extern char** environ;

namespace desktop {

namespace {

std::vector<pid_t>& detachedChildren() {
  static std::vector<pid_t> children;
  return children;
}

std::vector<char*> argvPointers(const std::vector<std::string>& argv) {
  std::vector<char*> pointers;
  pointers.reserve(argv.size() + 1);
  for (const std::string& a : argv) pointers.push_back(const_cast<char*>(a.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

int waitForExit(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return status;
}

}  // namespace

std::optional<int> spawnDetached(const std::vector<std::string>& argv) {
  if (argv.empty() || argv[0].empty()) return std::nullopt;
  std::vector<char*> args = argvPointers(argv);
  pid_t pid = 0;
  // glibc reports a program that cannot be executed as the spawn's error,
  // so a missing opener answers nothing here rather than a silent exit 127.
  if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return std::nullopt;
  detachedChildren().push_back(pid);
  return pid;
}

std::vector<FinishedProgram> reapChildren() {
  std::vector<FinishedProgram> finished;
  std::erase_if(detachedChildren(), [&](pid_t pid) {
    int status = 0;
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) finished.push_back({pid, WIFEXITED(status) && WEXITSTATUS(status) == 0});
    // Collected elsewhere: nothing is known of how it ended.
    return r == pid || (r < 0 && errno == ECHILD);
  });
  return finished;
}

std::optional<std::string> captureOutput(const std::vector<std::string>& argv,
                                         std::size_t maxBytes) {
  if (argv.empty() || argv[0].empty()) return std::nullopt;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  std::vector<char*> args = argvPointers(argv);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (spawned != 0) {
    close(fds[0]);
    return std::nullopt;
  }

  std::string out;
  char buf[4096];
  for (;;) {
    const ssize_t n = read(fds[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    // Keep reading past the limit: a writer blocked on a full pipe would
    // never exit.
    if (out.size() < maxBytes)
      out.append(buf, std::min(static_cast<std::size_t>(n), maxBytes - out.size()));
  }
  close(fds[0]);
  const int status = waitForExit(pid);
  if (status < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return out;
}

std::optional<int> openUrl(const std::string& url) {
  if (url.empty() || url[0] == '-') return std::nullopt;
  return spawnDetached({"xdg-open", url});
}

}  // namespace desktop
