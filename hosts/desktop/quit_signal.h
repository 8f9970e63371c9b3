// SIGINT and SIGTERM end the window the way closing it does: the loop
// watches a flag, so the recording and the screenshot are still written.
#pragma once

namespace desktop {

// First of all, so that an interrupt at any moment from then on ends in
// the clean exit.
void installQuitSignalHandlers();
bool quitSignalled();

}  // namespace desktop
