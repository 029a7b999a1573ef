#pragma once

// The far end of a serial line, where a simulated programmer box sits: a pseudo-terminal on
// Linux (any program opens its other end by name), an in-process line on Windows (opened by
// name through MakeSerialPortFor).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace r7k {

class BoxLine {
 public:
  enum class Wait { kReadable, kWoken, kTimeout };

  virtual ~BoxLine() = default;

  // The name the program opens as its port ("pts/4", "@sim1").
  virtual const std::string& PortName() const = 0;
  // Waits until the program has sent something, Wake() was called or the time ran out
  // (timeout_ms < 0: no limit). A wake stays in force.
  virtual Wait WaitReadable(int timeout_ms) = 0;
  // Sleeps; false when woken.
  virtual bool Sleep(int ms) = 0;
  virtual void Wake() = 0;
  // What the program sent, up to buffer.size() bytes; 0 when nothing is there.
  virtual size_t Read(std::span<uint8_t> buffer) = 0;
  // Bytes taken (0: the program's queue is full, try again after WaitWritable), or -1 when the
  // line is gone.
  virtual long Write(std::span<const uint8_t> bytes) = 0;
  // Waits up to `ms` for room towards the program; false when woken.
  virtual bool WaitWritable(int ms) = 0;
  // The rate the program set, 0 when unknown.
  virtual uint32_t HostBaud() const = 0;
  // Bytes sent that the program has not read yet.
  virtual size_t UnreadByHost() const = 0;
  // Hangs up: the program's port reports the line gone.
  virtual void HangUp() = 0;
};

// The system's kind of line; nullptr with *error when it cannot be made.
std::unique_ptr<BoxLine> OpenBoxLine(std::string* error);

}  // namespace r7k
