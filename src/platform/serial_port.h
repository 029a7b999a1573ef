#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace r7k {

// What ended a wait on a serial port.
enum class SerialEvent {
  kReadable,   // received bytes are waiting
  kLineError,  // framing, parity or overrun error on the line (the bad byte is dropped)
  kAborted,    // another thread called AbortWait
  kTimeout,    // nothing happened within the time limit
  kHangup,     // the device went away (converter unplugged, pseudo-terminal closed)
};

const char* SerialEventName(SerialEvent event);

// The rates the serial code offers on every system (1200 to 1000000).
bool IsStandardBaud(uint32_t baud);

// The serial line to the programmer box: 8 data bits, no parity, one stop bit, no flow control,
// raw bytes both ways. One thread (the link thread) opens, configures, writes, reads and closes;
// a second thread (the port watcher) may sit in WaitEvent, and any thread may call AbortWait.
// Close only after the waiting thread has left WaitEvent.
class SerialPort {
 public:
  // A whole write may take at most this long before it counts as failed.
  static constexpr int kWriteLimitMs = 5000;

  virtual ~SerialPort() = default;

  // Opens the device by its short name ("ttyUSB0", "pts/4"; "COM4", "Com12" on Windows); on
  // failure fills *error with a text for the user, e.g. "Cannot open port ttyUSB9: No such file
  // or directory".
  virtual bool Open(std::string_view name, std::string* error) = 0;
  // Raw mode 8N1 at the given rate; an unsupported rate fails with a clear text.
  virtual bool Configure(uint32_t baud, std::string* error) = 0;
  // Modem lines. Ports without them (pseudo-terminals) succeed without doing anything.
  virtual bool SetDtr(bool on) = 0;
  virtual bool SetRts(bool on) = 0;
  // Writes every byte within kWriteLimitMs; false when that failed or timed out.
  virtual bool Write(std::span<const uint8_t> bytes) = 0;
  // Copies what has arrived, up to buffer.size() bytes, without waiting.
  virtual size_t ReadAvailable(std::span<uint8_t> buffer) = 0;
  // Waits until bytes are waiting, a line error occurred, the wait is aborted or the time runs
  // out (timeout_ms < 0: no limit). An abort stays in force until the port is opened again.
  virtual SerialEvent WaitEvent(int timeout_ms) = 0;
  virtual void AbortWait() = 0;
  // Drops everything queued in both directions.
  virtual void Purge() = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // The rate set by the last successful Configure, 0 before.
  virtual uint32_t Baud() const = 0;

  bool Write(std::string_view text) {
    return Write(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  }
};

// The implementation for this operating system.
std::unique_ptr<SerialPort> MakeSystemSerialPort();
// The port that opens `device`: an in-process line's (memory_line.h), else the system's.
std::unique_ptr<SerialPort> MakeSerialPortFor(std::string_view device);

}  // namespace r7k
