#include "platform/stop_requests.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <thread>

namespace r7k {
namespace {

constexpr int kSignals[] = {SIGINT, SIGHUP, SIGTERM};

// The handler's whole world: async-signal-safe writes to a pipe and a count.
std::atomic<int> g_pipe_write{-1};
std::atomic<int> g_requests{0};

struct Installed {
  int pipe_read = -1;
  std::thread listener;
  struct sigaction old[3] = {};
};
std::mutex g_mutex;
Installed* g_installed = nullptr;

void OnSignal(int signal) {
  const int saved = errno;
  if (g_requests.fetch_add(1) > 0) _exit(128 + signal);
  const unsigned char byte = static_cast<unsigned char>(signal);
  const int fd = g_pipe_write.load();
  if (fd < 0 || write(fd, &byte, 1) != 1) _exit(128 + signal);
  errno = saved;
}

void Listen(int fd, StopHandler on_stop) {
  unsigned char byte = 0;
  for (;;) {
    const ssize_t n = read(fd, &byte, 1);
    if (n < 0 && errno == EINTR) continue;
    // Zero is the listener's own end (RemoveStopHandlers); a closed pipe ends it too.
    if (n != 1 || byte == 0) return;
    on_stop(128 + byte);
  }
}

}  // namespace

bool InstallStopHandlers(StopHandler on_stop) {
  std::lock_guard lock(g_mutex);
  if (g_installed || !on_stop) return false;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  auto* installed = new Installed;
  installed->pipe_read = fds[0];
  g_pipe_write = fds[1];
  g_requests = 0;
  installed->listener = std::thread(Listen, fds[0], std::move(on_stop));
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  for (int s : kSignals) sigaddset(&action.sa_mask, s);
  action.sa_flags = SA_RESTART;
  for (size_t i = 0; i < std::size(kSignals); ++i)
    sigaction(kSignals[i], &action, &installed->old[i]);
  g_installed = installed;
  return true;
}

void RemoveStopHandlers() {
  std::lock_guard lock(g_mutex);
  Installed* installed = g_installed;
  if (!installed) return;
  for (size_t i = 0; i < std::size(kSignals); ++i)
    sigaction(kSignals[i], &installed->old[i], nullptr);
  const int fd = g_pipe_write.exchange(-1);
  const unsigned char end = 0;
  if (write(fd, &end, 1) != 1) {
    // The listener still ends when the pipe closes below.
  }
  close(fd);
  installed->listener.join();
  close(installed->pipe_read);
  delete installed;
  g_installed = nullptr;
}

}  // namespace r7k
