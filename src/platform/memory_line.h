#pragma once

// A serial line inside the process: a simulated box on one end (a BoxLine), the program's
// SerialPort on the other, found by the line's name ("@sim1"). Windows has no
// pseudo-terminals; this is how its programs talk to the simulated box.

#include <memory>
#include <string>
#include <string_view>

#include "platform/box_line.h"
#include "platform/serial_port.h"

namespace r7k {

// A new line under a fresh name; the name lasts as long as the returned end.
std::unique_ptr<BoxLine> OpenMemoryLine();

bool IsMemoryLineName(std::string_view name);

// The program's end. Open() takes a line's name; it fails when no such line is open.
std::unique_ptr<SerialPort> MakeMemorySerialPort();

// A port that opens in-process lines and the system's devices alike, chosen by the name given
// to Open().
class AnySerialPort : public SerialPort {
 public:
  bool Open(std::string_view name, std::string* error) override {
    if (!inner_ || IsMemoryLineName(name) != in_memory_) {
      in_memory_ = IsMemoryLineName(name);
      inner_ = in_memory_ ? MakeMemorySerialPort() : MakeSystemSerialPort();
    }
    return inner_->Open(name, error);
  }
  bool Configure(uint32_t baud, std::string* error) override {
    return inner_ && inner_->Configure(baud, error);
  }
  bool SetDtr(bool on) override { return inner_ && inner_->SetDtr(on); }
  bool SetRts(bool on) override { return inner_ && inner_->SetRts(on); }
  bool Write(std::span<const uint8_t> bytes) override { return inner_ && inner_->Write(bytes); }
  using SerialPort::Write;
  size_t ReadAvailable(std::span<uint8_t> buffer) override {
    return inner_ ? inner_->ReadAvailable(buffer) : 0;
  }
  SerialEvent WaitEvent(int timeout_ms) override {
    return inner_ ? inner_->WaitEvent(timeout_ms) : SerialEvent::kHangup;
  }
  void AbortWait() override {
    if (inner_) inner_->AbortWait();
  }
  void Purge() override {
    if (inner_) inner_->Purge();
  }
  void Close() override {
    if (inner_) inner_->Close();
  }
  bool IsOpen() const override { return inner_ && inner_->IsOpen(); }
  uint32_t Baud() const override { return inner_ ? inner_->Baud() : 0; }

 private:
  std::unique_ptr<SerialPort> inner_;
  bool in_memory_ = false;
};

}  // namespace r7k
