#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/posix_termios.h"
#include "platform/serial_port.h"

namespace r7k {

// A serial device under /dev driven through termios. Line errors are taken from the PARMRK
// marks in the input and, where the driver keeps them, from its error counters (overruns are
// not marked in the input on Linux).
class PosixSerialPort : public SerialPort {
 public:
  PosixSerialPort() = default;
  ~PosixSerialPort() override;
  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  bool Open(std::string_view name, std::string* error) override;
  bool Configure(uint32_t baud, std::string* error) override;
  bool SetDtr(bool on) override;
  bool SetRts(bool on) override;
  bool Write(std::span<const uint8_t> bytes) override;
  using SerialPort::Write;
  size_t ReadAvailable(std::span<uint8_t> buffer) override;
  SerialEvent WaitEvent(int timeout_ms) override;
  void AbortWait() override;
  void Purge() override;
  void Close() override;
  bool IsOpen() const override { return fd_ >= 0; }
  uint32_t Baud() const override { return baud_; }

 private:
  // Most decoded bytes held back before the driver's queue is left to fill instead.
  static constexpr size_t kMaxPending = 4096;

  bool SetModemLine(int line, bool on);
  // Moves what the driver holds into pending_, noting line errors. Caller holds mutex_.
  // Returns false when the device has gone away.
  bool DrainLocked();
  bool ErrorCountersChangedLocked();

  int fd_ = -1;
  int abort_fd_ = -1;
  std::string name_;
  uint32_t baud_ = 0;

  std::mutex mutex_;
  ParmrkDecoder decoder_;
  std::deque<uint8_t> pending_;
  size_t line_errors_ = 0;
  bool hung_up_ = false;
  bool have_counters_ = false;
  uint64_t error_count_ = 0;
};

}  // namespace r7k
