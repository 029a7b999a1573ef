#pragma once

// Requests from outside to stop the program: Ctrl-C, the terminal hanging up, a polite kill
// (on POSIX SIGINT, SIGHUP and SIGTERM; a console's control events elsewhere). The handlers
// only note a request; the program hears of it on a thread of its own, where it may do
// anything (stop the running operation, put files back), and then ends by itself.

#include <functional>

namespace r7k {

// Called once, with the exit status the request asks for (128 + the signal: 130 for
// Ctrl-C, 129 for a hang-up, 143 for a kill).
using StopHandler = std::function<void(int exit_status)>;

// Installs the handlers until RemoveStopHandlers. A second request while the first is being
// handled ends the process at once with its status: whoever presses Ctrl-C twice means it.
// False when they could not be installed (or already are).
bool InstallStopHandlers(StopHandler on_stop);
// Puts the earlier handling back; a request that came meanwhile is not called any more.
void RemoveStopHandlers();

}  // namespace r7k
