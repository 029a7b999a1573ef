#include "testing/fake_serial_port.h"

#include <algorithm>
#include <chrono>

namespace r7k {

void FakeSerialPort::AddReply(std::string bytes) {
  std::lock_guard lock(mutex_);
  replies_.push_back(std::move(bytes));
}

void FakeSerialPort::SetResponder(Responder responder) {
  std::lock_guard lock(mutex_);
  responder_ = std::move(responder);
}

void FakeSerialPort::Arrive(std::string_view bytes) {
  std::lock_guard lock(mutex_);
  input_.append(bytes);
  changed_.notify_all();
}

void FakeSerialPort::ArriveLineError() {
  std::lock_guard lock(mutex_);
  ++line_errors_;
  changed_.notify_all();
}

void FakeSerialPort::HangUp() {
  std::lock_guard lock(mutex_);
  hung_up_ = true;
  changed_.notify_all();
}

void FakeSerialPort::FailOpen(std::string why) {
  std::lock_guard lock(mutex_);
  open_failure_ = std::move(why);
}

void FakeSerialPort::FailWrites(bool fail) {
  std::lock_guard lock(mutex_);
  fail_writes_ = fail;
}

std::string FakeSerialPort::Written() const {
  std::lock_guard lock(mutex_);
  return written_;
}

std::vector<std::string> FakeSerialPort::Commands() const {
  std::lock_guard lock(mutex_);
  return commands_;
}

std::vector<uint32_t> FakeSerialPort::ConfiguredBauds() const {
  std::lock_guard lock(mutex_);
  return bauds_;
}

std::string FakeSerialPort::OpenedName() const {
  std::lock_guard lock(mutex_);
  return name_;
}

bool FakeSerialPort::Dtr() const {
  std::lock_guard lock(mutex_);
  return dtr_;
}

bool FakeSerialPort::Rts() const {
  std::lock_guard lock(mutex_);
  return rts_;
}

int FakeSerialPort::Purges() const {
  std::lock_guard lock(mutex_);
  return purges_;
}

bool FakeSerialPort::Open(std::string_view name, std::string* error) {
  std::lock_guard lock(mutex_);
  if (open_failure_) {
    if (error) *error = "Cannot open port " + std::string(name) + ": " + *open_failure_;
    return false;
  }
  open_ = true;
  aborted_ = false;
  hung_up_ = false;
  name_ = std::string(name);
  return true;
}

bool FakeSerialPort::Configure(uint32_t baud, std::string* error) {
  std::lock_guard lock(mutex_);
  if (!open_) {
    if (error)
      *error = "Cannot set port " + name_ + " to " + std::to_string(baud) +
               " baud: the port is not open";
    return false;
  }
  bauds_.push_back(baud);
  baud_ = baud;
  return true;
}

bool FakeSerialPort::SetDtr(bool on) {
  std::lock_guard lock(mutex_);
  dtr_ = on;
  return open_;
}

bool FakeSerialPort::SetRts(bool on) {
  std::lock_guard lock(mutex_);
  rts_ = on;
  return open_;
}

bool FakeSerialPort::Write(std::span<const uint8_t> bytes) {
  std::unique_lock lock(mutex_);
  if (!open_ || fail_writes_ || hung_up_) return false;
  written_.append(bytes.begin(), bytes.end());
  std::vector<std::string> done;
  for (uint8_t b : bytes) {
    if (b == '\r') {
      done.push_back(std::move(partial_command_));
      partial_command_.clear();
    } else {
      partial_command_.push_back(char(b));
    }
  }
  for (std::string& command : done) {
    commands_.push_back(command);
    if (!replies_.empty()) {
      input_ += replies_.front();
      replies_.pop_front();
    } else if (responder_) {
      // The responder may be a whole simulated box; call it without holding the lock.
      Responder responder = responder_;
      lock.unlock();
      std::string reply = responder(command);
      lock.lock();
      input_ += reply;
    }
  }
  changed_.notify_all();
  return true;
}

size_t FakeSerialPort::ReadAvailable(std::span<uint8_t> buffer) {
  std::lock_guard lock(mutex_);
  size_t n = std::min(buffer.size(), input_.size());
  std::copy_n(input_.begin(), n, buffer.begin());
  input_.erase(0, n);
  return n;
}

SerialEvent FakeSerialPort::WaitEvent(int timeout_ms) {
  std::unique_lock lock(mutex_);
  auto ready = [&] { return aborted_ || line_errors_ > 0 || !input_.empty() || hung_up_; };
  if (timeout_ms < 0) {
    changed_.wait(lock, ready);
  } else if (!changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready)) {
    return SerialEvent::kTimeout;
  }
  if (aborted_) return SerialEvent::kAborted;
  if (line_errors_ > 0) {
    line_errors_ = 0;
    return SerialEvent::kLineError;
  }
  if (!input_.empty()) return SerialEvent::kReadable;
  return SerialEvent::kHangup;
}

void FakeSerialPort::AbortWait() {
  std::lock_guard lock(mutex_);
  aborted_ = true;
  changed_.notify_all();
}

void FakeSerialPort::Purge() {
  std::lock_guard lock(mutex_);
  input_.clear();
  line_errors_ = 0;
  ++purges_;
}

void FakeSerialPort::Close() {
  std::lock_guard lock(mutex_);
  open_ = false;
  baud_ = 0;
}

bool FakeSerialPort::IsOpen() const {
  std::lock_guard lock(mutex_);
  return open_;
}

uint32_t FakeSerialPort::Baud() const {
  std::lock_guard lock(mutex_);
  return baud_;
}

}  // namespace r7k
