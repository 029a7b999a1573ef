#include "platform/pseudo_terminal.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace r7k {

PseudoTerminal::PseudoTerminal(PseudoTerminal&& other) noexcept
    : master_fd_(std::exchange(other.master_fd_, -1)),
      slave_fd_(std::exchange(other.slave_fd_, -1)),
      name_(std::move(other.name_)) {}

PseudoTerminal& PseudoTerminal::operator=(PseudoTerminal&& other) noexcept {
  if (this != &other) {
    Close();
    master_fd_ = std::exchange(other.master_fd_, -1);
    slave_fd_ = std::exchange(other.slave_fd_, -1);
    name_ = std::move(other.name_);
  }
  return *this;
}

std::optional<PseudoTerminal> PseudoTerminal::Open(std::string* error) {
  PseudoTerminal pty;
  auto fail = [&](const char* step) -> std::optional<PseudoTerminal> {
    if (error)
      *error = std::string("Cannot open a pseudo-terminal (") + step + "): " + std::strerror(errno);
    return std::nullopt;
  };
  pty.master_fd_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (pty.master_fd_ < 0) return fail("posix_openpt");
  if (::grantpt(pty.master_fd_) != 0) return fail("grantpt");
  if (::unlockpt(pty.master_fd_) != 0) return fail("unlockpt");
  char path[128];
  if (::ptsname_r(pty.master_fd_, path, sizeof path) != 0) return fail("ptsname");
  pty.slave_fd_ = ::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (pty.slave_fd_ < 0) return fail("open");
  termios t{};
  if (::tcgetattr(pty.slave_fd_, &t) != 0) return fail("tcgetattr");
  // Plain raw mode for any program; the serial port sets its own flags when it configures.
  ::cfmakeraw(&t);
  t.c_cflag |= CLOCAL;
  if (::tcsetattr(pty.slave_fd_, TCSANOW, &t) != 0) return fail("tcsetattr");
  int flags = ::fcntl(pty.master_fd_, F_GETFL);
  if (flags < 0 || ::fcntl(pty.master_fd_, F_SETFL, flags | O_NONBLOCK) != 0) {
    return fail("fcntl");
  }
  std::string full(path);
  pty.name_ = full.rfind("/dev/", 0) == 0 ? full.substr(5) : full;
  return pty;
}

void PseudoTerminal::Close() {
  if (master_fd_ >= 0) ::close(std::exchange(master_fd_, -1));
  if (slave_fd_ >= 0) ::close(std::exchange(slave_fd_, -1));
}

}  // namespace r7k
