#pragma once

// Test helpers of the link layer: a port that forwards to a fake the test keeps (the link
// thread owns and destroys its port object), recording each write with its time.

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "link/channel.h"
#include "link/link_message_box.h"
#include "link/link_thread.h"
#include "platform/environment.h"
#include "sim/box_simulator.h"
#include "testing/fake_serial_port.h"
#include "testing/scratch_folder.h"

namespace r7k {

// Adds a fault of the simulated box as the command line gives it ("drop-every=3").
inline void AddBoxFault(BoxOptions& options, const std::string& spec) {
  std::string error;
  const auto fault = ParseFault(spec, &error);
  ASSERT_TRUE(fault) << error;
  options.faults.push_back(*fault);
}

struct TimedWrite {
  std::string bytes;
  std::chrono::steady_clock::time_point at;
};

class ForwardingPort : public SerialPort {
 public:
  ForwardingPort(SerialPort* target, std::shared_ptr<std::vector<TimedWrite>> writes,
                 std::shared_ptr<std::mutex> mutex)
      : target_(target), writes_(std::move(writes)), mutex_(std::move(mutex)) {}
  bool Open(std::string_view name, std::string* error) override {
    return target_->Open(name, error);
  }
  bool Configure(uint32_t baud, std::string* error) override {
    return target_->Configure(baud, error);
  }
  bool SetDtr(bool on) override { return target_->SetDtr(on); }
  bool SetRts(bool on) override { return target_->SetRts(on); }
  bool Write(std::span<const uint8_t> bytes) override {
    {
      std::lock_guard lock(*mutex_);
      writes_->push_back(
          {std::string(bytes.begin(), bytes.end()), std::chrono::steady_clock::now()});
    }
    return target_->Write(bytes);
  }
  using SerialPort::Write;
  size_t ReadAvailable(std::span<uint8_t> buffer) override {
    return target_->ReadAvailable(buffer);
  }
  SerialEvent WaitEvent(int timeout_ms) override { return target_->WaitEvent(timeout_ms); }
  void AbortWait() override { target_->AbortWait(); }
  void Purge() override { target_->Purge(); }
  void Close() override { target_->Close(); }
  bool IsOpen() const override { return target_->IsOpen(); }
  uint32_t Baud() const override { return target_->Baud(); }

 private:
  SerialPort* target_;
  std::shared_ptr<std::vector<TimedWrite>> writes_;
  std::shared_ptr<std::mutex> mutex_;
};

// A fake serial port the test owns, handed to the link thread through
// LinkStartParams::make_port.
class PortHarness {
 public:
  std::function<std::unique_ptr<SerialPort>()> Maker() {
    return [this] { return std::make_unique<ForwardingPort>(&fake, writes_, mutex_); };
  }
  std::vector<TimedWrite> Writes() const {
    std::lock_guard lock(*mutex_);
    return *writes_;
  }

  FakeSerialPort fake;

 private:
  std::shared_ptr<std::vector<TimedWrite>> writes_ = std::make_shared<std::vector<TimedWrite>>();
  std::shared_ptr<std::mutex> mutex_ = std::make_shared<std::mutex>();
};

// Records the link's message boxes instead of printing them.
class BoxRecorder {
 public:
  struct Box {
    std::string caption, text;
    std::uint32_t type;
  };
  BoxRecorder() {
    SetLinkMessageBoxHook(
        [this](WindowHandle, std::string_view text, std::string_view caption, std::uint32_t type) {
          std::lock_guard lock(mutex_);
          boxes_.push_back({std::string(caption), std::string(text), type});
          return 1;
        });
  }
  ~BoxRecorder() { SetLinkMessageBoxHook(nullptr); }
  std::vector<Box> Boxes() const {
    std::lock_guard lock(mutex_);
    return boxes_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Box> boxes_;
};

// Takes the next message of a channel as (text, data); nullopt when none came in time.
inline std::optional<std::pair<std::string, std::string>> TakeMessage(std::string_view channel,
                                                                      std::uint32_t ms) {
  ChannelMessage* m = nullptr;
  if (ChannelReceive(channel, ms, true, &m) != kChannelOk || !m) return std::nullopt;
  std::pair<std::string, std::string> out{m->text ? m->text : "",
                                          std::string(ChannelMessageData(m))};
  ChannelFreeMessage(m);
  return out;
}

// Empties a channel, so a test does not see what an earlier test of the same process left.
inline void DrainChannel(std::string_view channel) {
  while (ChannelReceive(channel, 0, true, nullptr) == kChannelOk) {
  }
}

// A fresh configuration folder (R7K_CONFIG_DIR) for one test, and the link's channels empty.
class LinkTestEnvironment {
 public:
  explicit LinkTestEnvironment(const std::string& tag) : scratch_("r7k_" + tag + "_") {
    SetEnvironmentValue("R7K_CONFIG_DIR", (dir() / "config").string());
    for (auto channel : {"R7P", "R7kProg", "CommThread"}) DrainChannel(channel);
  }
  ~LinkTestEnvironment() { ClearEnvironmentValue("R7K_CONFIG_DIR"); }
  const std::filesystem::path& dir() const { return scratch_.path(); }

 private:
  ScratchDir scratch_;
};

// Runs the link thread and asks it things the way the dialog handlers do.
class LinkThreadRunner {
 public:
  ~LinkThreadRunner() { Stop(); }

  // Starts the thread on the port and waits until it runs. A piece size of 0 means the
  // link's own (64 bytes, 10 ms apart).
  bool Start(std::string port_name, std::function<std::unique_ptr<SerialPort>()> make_port,
             std::uint32_t piece_size = 0) {
    LinkStartParams params;
    params.port_name = std::move(port_name);
    params.piece_size = piece_size;
    params.make_port = std::move(make_port);
    params.start_event = &started_;
    thread_ = std::thread([this, params] { exit_code_ = LinkThread(params); });
    return started_.Wait(std::chrono::seconds(2));
  }
  // Sends "quit" unless the thread has ended already, and waits for its end.
  void Stop() {
    if (!thread_.joinable()) return;
    ChannelSend("R7P", "R7kProg", "quit", 4);
    thread_.join();
  }
  // Waits for the end after an order that ends the thread.
  void Join() {
    if (thread_.joinable()) thread_.join();
  }
  int exit_code() const { return exit_code_; }

  // Sends a command on "R7P" and gives its answer from "R7kProg" without the terminating
  // zero; nullopt when none came in time.
  std::optional<std::string> Ask(std::string_view command, std::uint32_t ms = 10000) {
    EXPECT_EQ(ChannelSend("R7P", "R7kProg", command.data(), std::uint32_t(command.size())),
              kChannelOk);
    auto answer = TakeMessage("R7kProg", ms);
    if (!answer) return std::nullopt;
    EXPECT_EQ(answer->first, "R7P");
    // Every answer ends with its zero byte.
    EXPECT_TRUE(!answer->second.empty() && answer->second.back() == '\0');
    if (!answer->second.empty()) answer->second.pop_back();
    return answer->second;
  }

 private:
  Event started_;
  std::thread thread_;
  int exit_code_ = 0;
};

}  // namespace r7k
