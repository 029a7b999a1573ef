#include "platform/stop_requests.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace r7k {
namespace {

// The console runs the control handler on a thread of its own; it only notes the request and
// wakes the listener, which calls the program.
std::atomic<int> g_requests{0};
std::atomic<int> g_status{0};
std::atomic<bool> g_ending{false};
HANDLE g_wake = nullptr;

struct Installed {
  std::thread listener;
};
std::mutex g_mutex;
Installed* g_installed = nullptr;

// The exit status of the POSIX signal each event stands for.
int StatusOf(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT: return 130;  // SIGINT
    case CTRL_CLOSE_EVENT: return 129;  // the terminal hung up
    default: return 143;                // logoff, shutdown: a polite kill
  }
}

BOOL WINAPI OnControl(DWORD event) {
  const int status = StatusOf(event);
  if (g_requests.fetch_add(1) > 0) ExitProcess(UINT(status));
  g_status = status;
  SetEvent(g_wake);
  // A closing console ends the process when this returns: give the program its time to put
  // things back (the system allows a few seconds) and end by itself.
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) Sleep(INFINITE);
  return TRUE;
}

void Listen(StopHandler on_stop) {
  for (;;) {
    WaitForSingleObject(g_wake, INFINITE);
    if (g_ending) return;
    on_stop(g_status);
  }
}

}  // namespace

bool InstallStopHandlers(StopHandler on_stop) {
  std::lock_guard lock(g_mutex);
  if (g_installed || !on_stop) return false;
  g_wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!g_wake) return false;
  g_requests = 0;
  g_ending = false;
  auto* installed = new Installed;
  installed->listener = std::thread(Listen, std::move(on_stop));
  SetConsoleCtrlHandler(OnControl, TRUE);
  g_installed = installed;
  return true;
}

void RemoveStopHandlers() {
  std::lock_guard lock(g_mutex);
  Installed* installed = g_installed;
  if (!installed) return;
  SetConsoleCtrlHandler(OnControl, FALSE);
  g_ending = true;
  SetEvent(g_wake);
  installed->listener.join();
  CloseHandle(g_wake);
  g_wake = nullptr;
  delete installed;
  g_installed = nullptr;
}

}  // namespace r7k
