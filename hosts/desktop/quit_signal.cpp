#include "hosts/desktop/quit_signal.h"

#include <csignal>

namespace desktop {

namespace {
volatile std::sig_atomic_t signalled = 0;
void onQuitSignal(int) { signalled = 1; }
}  // namespace

void installQuitSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = onQuitSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool quitSignalled() { return signalled != 0; }

}  // namespace desktop
