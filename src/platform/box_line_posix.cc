#include "platform/box_line.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix_termios.h"
#include "platform/pseudo_terminal.h"

namespace r7k {
namespace {

class PtyBoxLine : public BoxLine {
 public:
  PtyBoxLine(PseudoTerminal pty, int wake_fd)
      : pty_(std::move(pty)), name_(pty_.name()), wake_fd_(wake_fd) {}
  ~PtyBoxLine() override { ::close(wake_fd_); }

  const std::string& PortName() const override { return name_; }

  Wait WaitReadable(int timeout_ms) override {
    if (pty_.master_fd() < 0) return Sleep(timeout_ms) ? Wait::kTimeout : Wait::kWoken;
    pollfd p[2] = {{wake_fd_, POLLIN, 0}, {pty_.master_fd(), POLLIN, 0}};
    const int r = ::poll(p, 2, timeout_ms);
    if (p[0].revents & POLLIN) return Wait::kWoken;
    if (r == 0) return Wait::kTimeout;
    if (r < 0 || !(p[1].revents & (POLLIN | POLLHUP | POLLERR))) return Wait::kTimeout;
    return Wait::kReadable;
  }

  bool Sleep(int ms) override {
    if (ms <= 0) return true;
    pollfd p{wake_fd_, POLLIN, 0};
    return ::poll(&p, 1, ms) == 0;
  }

  void Wake() override {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_fd_, &one, sizeof one);
  }

  size_t Read(std::span<uint8_t> buffer) override {
    if (pty_.master_fd() < 0) return 0;
    const ssize_t n = ::read(pty_.master_fd(), buffer.data(), buffer.size());
    return n > 0 ? size_t(n) : 0;
  }

  long Write(std::span<const uint8_t> bytes) override {
    if (pty_.master_fd() < 0) return -1;
    const ssize_t n = ::write(pty_.master_fd(), bytes.data(), bytes.size());
    if (n >= 0) return long(n);
    return errno == EAGAIN || errno == EINTR ? 0 : -1;
  }

  bool WaitWritable(int ms) override {
    pollfd p[2] = {{wake_fd_, POLLIN, 0}, {pty_.master_fd(), POLLOUT, 0}};
    ::poll(p, 2, ms);
    return !(p[0].revents & POLLIN);
  }

  // The pair shares one termios: the rate the program set on its end.
  uint32_t HostBaud() const override {
    termios t{};
    if (pty_.master_fd() < 0 || ::tcgetattr(pty_.master_fd(), &t) != 0) return 0;
    return SpeedToBaud(::cfgetospeed(&t)).value_or(0);
  }

  size_t UnreadByHost() const override {
    int unread = 0;
    if (pty_.slave_fd() < 0 || ::ioctl(pty_.slave_fd(), FIONREAD, &unread) != 0) return 0;
    return size_t(unread);
  }

  void HangUp() override { pty_.Close(); }

 private:
  PseudoTerminal pty_;
  std::string name_;
  int wake_fd_;
};

}  // namespace

std::unique_ptr<BoxLine> OpenBoxLine(std::string* error) {
  auto pty = PseudoTerminal::Open(error);
  if (!pty) return nullptr;
  const int wake_fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wake_fd < 0) {
    if (error) *error = std::string("Cannot start the box: ") + std::strerror(errno);
    return nullptr;
  }
  return std::make_unique<PtyBoxLine>(std::move(*pty), wake_fd);
}

}  // namespace r7k
