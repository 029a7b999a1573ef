#include "platform/posix_serial_port.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace r7k {
namespace {

std::string ErrnoText(int err) { return std::strerror(err); }

// Modem-line ioctls that a pseudo-terminal or a plain tty refuses are not failures.
bool IsUnsupportedIoctl(int err) { return err == ENOTTY || err == EINVAL; }

}  // namespace

std::unique_ptr<SerialPort> MakeSystemSerialPort() { return std::make_unique<PosixSerialPort>(); }

PosixSerialPort::~PosixSerialPort() { Close(); }

bool PosixSerialPort::Open(std::string_view name, std::string* error) {
  Close();
  std::string shown(name);
  auto fail = [&](const std::string& why) {
    if (error) *error = "Cannot open port " + shown + ": " + why;
    Close();
    return false;
  };
  if (name.empty()) return fail("no port name given");
  std::string path = "/dev/" + shown;
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return fail(ErrnoText(errno));
  fd_ = fd;
  if (!::isatty(fd_)) return fail("not a serial port");
  // Not shared, like a COM port: a second program gets EBUSY.
  if (::ioctl(fd_, TIOCEXCL) != 0 && !IsUnsupportedIoctl(errno)) return fail(ErrnoText(errno));
  abort_fd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (abort_fd_ < 0) return fail(ErrnoText(errno));
  name_ = shown;
  {
    std::lock_guard lock(mutex_);
    decoder_.Reset();
    pending_.clear();
    line_errors_ = 0;
    hung_up_ = false;
    serial_icounter_struct counts{};
    have_counters_ = ::ioctl(fd_, TIOCGICOUNT, &counts) == 0;
    error_count_ = have_counters_ ? uint64_t(counts.frame) + counts.parity + counts.overrun +
                                        counts.buf_overrun
                                  : 0;
  }
  ::tcflush(fd_, TCIOFLUSH);
  return true;
}

bool PosixSerialPort::Configure(uint32_t baud, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error)
      *error = "Cannot set port " + name_ + " to " + std::to_string(baud) + " baud: " + why;
    return false;
  };
  if (fd_ < 0) return fail("the port is not open");
  std::optional<speed_t> speed = BaudToSpeed(baud);
  if (!speed) return fail("unsupported rate");
  termios t{};
  if (::tcgetattr(fd_, &t) != 0) return fail(ErrnoText(errno));
  MakeRawTermios(&t);
  if (::cfsetispeed(&t, *speed) != 0 || ::cfsetospeed(&t, *speed) != 0) {
    return fail("unsupported rate");
  }
  if (::tcsetattr(fd_, TCSANOW, &t) != 0) return fail(ErrnoText(errno));
  // tcsetattr succeeds when any part was applied; make sure the rate was.
  termios check{};
  if (::tcgetattr(fd_, &check) != 0) return fail(ErrnoText(errno));
  if (::cfgetospeed(&check) != *speed) return fail("the device refused the rate");
  baud_ = baud;
  return true;
}

bool PosixSerialPort::SetModemLine(int line, bool on) {
  if (fd_ < 0) return false;
  if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) == 0) return true;
  return IsUnsupportedIoctl(errno);
}

bool PosixSerialPort::SetDtr(bool on) { return SetModemLine(TIOCM_DTR, on); }
bool PosixSerialPort::SetRts(bool on) { return SetModemLine(TIOCM_RTS, on); }

bool PosixSerialPort::Write(std::span<const uint8_t> bytes) {
  if (fd_ < 0) return false;
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(kWriteLimitMs);
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += size_t(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return false;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd_, POLLOUT, 0};
    if (::poll(&p, 1, int(left.count())) < 0 && errno != EINTR) return false;
    if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) return false;
  }
  return true;
}

bool PosixSerialPort::ErrorCountersChangedLocked() {
  if (!have_counters_) return false;
  serial_icounter_struct counts{};
  if (::ioctl(fd_, TIOCGICOUNT, &counts) != 0) return false;
  uint64_t total = uint64_t(counts.frame) + counts.parity + counts.overrun + counts.buf_overrun;
  bool changed = total != error_count_;
  error_count_ = total;
  return changed;
}

bool PosixSerialPort::DrainLocked() {
  if (fd_ < 0) return false;
  uint8_t raw[512];
  std::vector<uint8_t> decoded;
  while (pending_.size() < kMaxPending) {
    ssize_t n = ::read(fd_, raw, sizeof raw);
    if (n > 0) {
      decoded.clear();
      line_errors_ += decoder_.Decode(std::span(raw, size_t(n)), &decoded);
      pending_.insert(pending_.end(), decoded.begin(), decoded.end());
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) break;
    // With VMIN 1 an empty non-blocking read gives EAGAIN, so 0 bytes or EIO mean the device
    // has gone (converter unplugged, the other end of a pseudo-terminal closed).
    hung_up_ = true;
    break;
  }
  if (ErrorCountersChangedLocked()) ++line_errors_;
  return !hung_up_;
}

size_t PosixSerialPort::ReadAvailable(std::span<uint8_t> buffer) {
  std::lock_guard lock(mutex_);
  DrainLocked();
  size_t n = std::min(buffer.size(), pending_.size());
  std::copy_n(pending_.begin(), n, buffer.begin());
  pending_.erase(pending_.begin(), pending_.begin() + std::ptrdiff_t(n));
  return n;
}

SerialEvent PosixSerialPort::WaitEvent(int timeout_ms) {
  if (fd_ < 0) return SerialEvent::kHangup;
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (line_errors_ > 0) {
        line_errors_ = 0;
        return SerialEvent::kLineError;
      }
      if (!pending_.empty()) return SerialEvent::kReadable;
      if (hung_up_) return SerialEvent::kHangup;
    }
    int wait_ms = -1;
    if (timeout_ms >= 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      wait_ms = int(std::max<int64_t>(left.count(), 0));
    }
    pollfd p[2] = {{abort_fd_, POLLIN, 0}, {fd_, POLLIN, 0}};
    int r = ::poll(p, 2, wait_ms);
    if (r < 0 && errno != EINTR) return SerialEvent::kHangup;
    if (p[0].revents & POLLIN) return SerialEvent::kAborted;
    if (p[1].revents & POLLNVAL) return SerialEvent::kHangup;
    if (p[1].revents & (POLLIN | POLLERR | POLLHUP)) {
      std::lock_guard lock(mutex_);
      DrainLocked();
      // An error or hang-up that yields no bytes would wake every poll again.
      if (pending_.empty() && line_errors_ == 0 && (p[1].revents & (POLLERR | POLLHUP))) {
        hung_up_ = true;
      }
      continue;
    }
    if (r == 0 && timeout_ms >= 0 && Clock::now() >= deadline) return SerialEvent::kTimeout;
  }
}

void PosixSerialPort::AbortWait() {
  if (abort_fd_ < 0) return;
  uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(abort_fd_, &one, sizeof one);
}

void PosixSerialPort::Purge() {
  if (fd_ < 0) return;
  ::tcflush(fd_, TCIOFLUSH);
  std::lock_guard lock(mutex_);
  decoder_.Reset();
  pending_.clear();
  line_errors_ = 0;
}

void PosixSerialPort::Close() {
  if (fd_ >= 0) {
    // The exclusive flag stays on the device while anyone else keeps it open.
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
  }
  if (abort_fd_ >= 0) {
    ::close(abort_fd_);
    abort_fd_ = -1;
  }
  baud_ = 0;
}

}  // namespace r7k
