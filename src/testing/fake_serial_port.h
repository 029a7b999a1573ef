#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/serial_port.h"

namespace r7k {

// A serial port for tests: records what is written and plays the box. Each command (bytes up to
// a "\r") written to it is answered by the next scripted reply, else by the responder, else not
// at all. Safe to use from a link thread and a watcher thread at once.
class FakeSerialPort : public SerialPort {
 public:
  using Responder = std::function<std::string(std::string_view command)>;

  // Script.
  void AddReply(std::string bytes);
  void SetResponder(Responder responder);
  void Arrive(std::string_view bytes);
  void ArriveLineError();
  void HangUp();
  void FailOpen(std::string why);
  void FailWrites(bool fail);

  // Record.
  std::string Written() const;
  std::vector<std::string> Commands() const;  // each without its "\r"
  std::vector<uint32_t> ConfiguredBauds() const;
  std::string OpenedName() const;
  bool Dtr() const;
  bool Rts() const;
  int Purges() const;

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
  bool IsOpen() const override;
  uint32_t Baud() const override;

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::string> replies_;
  Responder responder_;
  std::optional<std::string> open_failure_;
  bool fail_writes_ = false;

  bool open_ = false;
  bool aborted_ = false;
  bool hung_up_ = false;
  int line_errors_ = 0;
  std::string input_;
  std::string written_;
  std::string partial_command_;
  std::vector<std::string> commands_;
  std::vector<uint32_t> bauds_;
  std::string name_;
  uint32_t baud_ = 0;
  bool dtr_ = false;
  bool rts_ = false;
  int purges_ = 0;
};

}  // namespace r7k
