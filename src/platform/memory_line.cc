#include "platform/memory_line.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

namespace r7k {
namespace {

constexpr std::string_view kPrefix = "@sim";
// Room towards the program, like a driver's receive queue.
constexpr size_t kHostQueue = 4096;

struct Line {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<uint8_t> to_host;
  std::deque<uint8_t> to_box;
  uint32_t host_baud = 0;
  bool woken = false;  // the box end's Wake
  bool hung_up = false;
  bool host_aborted = false;
};

std::mutex g_lines_mutex;
std::map<std::string, std::weak_ptr<Line>, std::less<>> g_lines;

std::shared_ptr<Line> FindLine(std::string_view name) {
  std::lock_guard lock(g_lines_mutex);
  auto it = g_lines.find(name);
  return it == g_lines.end() ? nullptr : it->second.lock();
}

// Waits on the line until `ready` holds; false when the time ran out. Caller holds the lock.
template <typename Ready>
bool WaitFor(Line& line, std::unique_lock<std::mutex>& lock, int timeout_ms, Ready ready) {
  if (timeout_ms < 0) {
    line.changed.wait(lock, ready);
    return true;
  }
  return line.changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready);
}

class MemoryBoxLine : public BoxLine {
 public:
  MemoryBoxLine(std::string name, std::shared_ptr<Line> line)
      : name_(std::move(name)), line_(std::move(line)) {}
  ~MemoryBoxLine() override {
    HangUp();
    std::lock_guard lock(g_lines_mutex);
    g_lines.erase(name_);
  }

  const std::string& PortName() const override { return name_; }

  Wait WaitReadable(int timeout_ms) override {
    std::unique_lock lock(line_->mutex);
    WaitFor(*line_, lock, timeout_ms, [&] { return line_->woken || !line_->to_box.empty(); });
    if (line_->woken) return Wait::kWoken;
    return line_->to_box.empty() ? Wait::kTimeout : Wait::kReadable;
  }

  bool Sleep(int ms) override {
    if (ms <= 0) return true;
    std::unique_lock lock(line_->mutex);
    return !WaitFor(*line_, lock, ms, [&] { return line_->woken; });
  }

  void Wake() override {
    std::lock_guard lock(line_->mutex);
    line_->woken = true;
    line_->changed.notify_all();
  }

  size_t Read(std::span<uint8_t> buffer) override {
    std::lock_guard lock(line_->mutex);
    size_t n = 0;
    while (n < buffer.size() && !line_->to_box.empty()) {
      buffer[n++] = line_->to_box.front();
      line_->to_box.pop_front();
    }
    return n;
  }

  long Write(std::span<const uint8_t> bytes) override {
    std::lock_guard lock(line_->mutex);
    if (line_->hung_up) return -1;
    const size_t n =
        std::min(bytes.size(), kHostQueue - std::min(kHostQueue, line_->to_host.size()));
    line_->to_host.insert(line_->to_host.end(), bytes.begin(), bytes.begin() + long(n));
    if (n > 0) line_->changed.notify_all();
    return long(n);
  }

  bool WaitWritable(int ms) override {
    std::unique_lock lock(line_->mutex);
    WaitFor(*line_, lock, ms, [&] { return line_->woken || line_->to_host.size() < kHostQueue; });
    return !line_->woken;
  }

  uint32_t HostBaud() const override {
    std::lock_guard lock(line_->mutex);
    return line_->host_baud;
  }

  size_t UnreadByHost() const override {
    std::lock_guard lock(line_->mutex);
    return line_->to_host.size();
  }

  void HangUp() override {
    std::lock_guard lock(line_->mutex);
    line_->hung_up = true;
    line_->changed.notify_all();
  }

 private:
  std::string name_;
  std::shared_ptr<Line> line_;
};

class MemorySerialPort : public SerialPort {
 public:
  bool Open(std::string_view name, std::string* error) override {
    line_ = FindLine(name);
    if (!line_) {
      if (error) *error = "Cannot open port " + std::string(name) + ": the simulated box is gone";
      return false;
    }
    std::lock_guard lock(line_->mutex);
    line_->host_aborted = false;
    return true;
  }
  bool Configure(uint32_t baud, std::string* error) override {
    if (!line_ || baud == 0) {
      if (error) *error = "Unsupported baud rate " + std::to_string(baud);
      return false;
    }
    std::lock_guard lock(line_->mutex);
    line_->host_baud = baud_ = baud;
    return true;
  }
  bool SetDtr(bool) override { return true; }
  bool SetRts(bool) override { return true; }
  bool Write(std::span<const uint8_t> bytes) override {
    if (!line_) return false;
    std::lock_guard lock(line_->mutex);
    if (line_->hung_up) return false;
    line_->to_box.insert(line_->to_box.end(), bytes.begin(), bytes.end());
    line_->changed.notify_all();
    return true;
  }
  using SerialPort::Write;
  size_t ReadAvailable(std::span<uint8_t> buffer) override {
    if (!line_) return 0;
    std::lock_guard lock(line_->mutex);
    size_t n = 0;
    while (n < buffer.size() && !line_->to_host.empty()) {
      buffer[n++] = line_->to_host.front();
      line_->to_host.pop_front();
    }
    if (n > 0) line_->changed.notify_all();
    return n;
  }
  SerialEvent WaitEvent(int timeout_ms) override {
    if (!line_) return SerialEvent::kHangup;
    std::unique_lock lock(line_->mutex);
    WaitFor(*line_, lock, timeout_ms,
            [&] { return line_->host_aborted || line_->hung_up || !line_->to_host.empty(); });
    if (line_->host_aborted) return SerialEvent::kAborted;
    if (!line_->to_host.empty()) return SerialEvent::kReadable;
    return line_->hung_up ? SerialEvent::kHangup : SerialEvent::kTimeout;
  }
  void AbortWait() override {
    if (!line_) return;
    std::lock_guard lock(line_->mutex);
    line_->host_aborted = true;
    line_->changed.notify_all();
  }
  void Purge() override {
    if (!line_) return;
    std::lock_guard lock(line_->mutex);
    line_->to_host.clear();
    line_->to_box.clear();
    line_->changed.notify_all();
  }
  void Close() override { line_.reset(); }
  bool IsOpen() const override { return line_ != nullptr; }
  uint32_t Baud() const override { return baud_; }

 private:
  std::shared_ptr<Line> line_;
  uint32_t baud_ = 0;
};

}  // namespace

std::unique_ptr<BoxLine> OpenMemoryLine() {
  static std::atomic<int> next{0};
  std::string name = std::string(kPrefix) + std::to_string(++next);
  auto line = std::make_shared<Line>();
  {
    std::lock_guard lock(g_lines_mutex);
    g_lines[name] = line;
  }
  return std::make_unique<MemoryBoxLine>(std::move(name), std::move(line));
}

bool IsMemoryLineName(std::string_view name) { return name.starts_with(kPrefix); }

std::unique_ptr<SerialPort> MakeMemorySerialPort() { return std::make_unique<MemorySerialPort>(); }

std::unique_ptr<SerialPort> MakeSerialPortFor(std::string_view device) {
  return IsMemoryLineName(device) ? MakeMemorySerialPort() : MakeSystemSerialPort();
}

}  // namespace r7k
