#include "support/window_messages.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <unordered_map>

#include "support/ascii.h"

namespace r7k {
namespace {

using Clock = std::chrono::steady_clock;

struct Window {
  WindowHandle handle = 0;
  WindowHandle parent = 0;
  std::mutex mutex;
  std::condition_variable arrived;
  std::deque<WindowMessage> queue;
  std::function<void()> wake;
  bool destroyed = false;
};

struct Timer {
  std::chrono::milliseconds period;
  Clock::time_point due;
};

// The process-wide window table and the timer thread that serves every window's timers. It is
// never destroyed: windows and timers may be used until the very end of the process, from any
// thread, so there is no safe moment to tear it down.
class WindowTable {
 public:
  static WindowTable& Get() {
    static WindowTable* table = new WindowTable;
    return *table;
  }

  WindowHandle Create(WindowHandle parent) {
    std::lock_guard lock(mutex_);
    if (parent != 0 && !windows_.contains(parent)) return 0;
    auto window = std::make_shared<Window>();
    window->handle = next_handle_++;
    window->parent = parent;
    windows_[window->handle] = window;
    return window->handle;
  }

  void Destroy(WindowHandle handle) {
    std::vector<std::shared_ptr<Window>> gone;
    {
      std::lock_guard lock(mutex_);
      CollectFamily(handle, gone);
      for (const auto& window : gone) {
        windows_.erase(window->handle);
        std::erase_if(timers_, [&](const auto& t) { return t.first.first == window->handle; });
      }
    }
    for (const auto& window : gone) {
      std::lock_guard lock(window->mutex);
      window->destroyed = true;
      window->queue.clear();
      window->wake = nullptr;
      window->arrived.notify_all();
    }
  }

  std::shared_ptr<Window> Find(WindowHandle handle) {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(handle);
    return it == windows_.end() ? nullptr : it->second;
  }

  // `coalesce`: skip the post when an identical timer tick is still queued.
  bool Post(WindowMessage message, bool coalesce = false) {
    auto window = Find(message.window);
    if (!window) return false;
    std::function<void()> wake;
    {
      std::lock_guard lock(window->mutex);
      if (window->destroyed) return false;
      if (coalesce && std::any_of(window->queue.begin(), window->queue.end(), [&](auto& m) {
            return m.message == message.message && m.wparam == message.wparam;
          }))
        return true;
      window->queue.push_back(std::move(message));
      window->arrived.notify_all();
      wake = window->wake;
    }
    if (wake) wake();
    return true;
  }

  bool SetTimer(WindowHandle handle, WParam id, std::uint32_t ms) {
    std::lock_guard lock(mutex_);
    if (!windows_.contains(handle)) return false;
    const auto period = std::chrono::milliseconds(std::max<std::uint32_t>(ms, 1));
    timers_[{handle, id}] = Timer{period, Clock::now() + period};
    if (!timer_thread_started_) {
      timer_thread_started_ = true;
      std::thread([this] { RunTimers(); }).detach();
    }
    timers_changed_.notify_all();
    return true;
  }

  bool KillTimer(WindowHandle handle, WParam id) {
    std::lock_guard lock(mutex_);
    return timers_.erase({handle, id}) > 0;
  }

 private:
  void CollectFamily(WindowHandle handle, std::vector<std::shared_ptr<Window>>& out) {
    auto it = windows_.find(handle);
    if (it == windows_.end()) return;
    out.push_back(it->second);
    std::vector<WindowHandle> children;
    for (const auto& [h, w] : windows_)
      if (w->parent == handle) children.push_back(h);
    for (WindowHandle child : children) CollectFamily(child, out);
  }

  void RunTimers() {
    std::unique_lock lock(mutex_);
    for (;;) {
      if (timers_.empty()) {
        timers_changed_.wait(lock);
        continue;
      }
      auto next = std::min_element(timers_.begin(), timers_.end(), [](auto& a, auto& b) {
                    return a.second.due < b.second.due;
                  })->second.due;
      if (timers_changed_.wait_until(lock, next) == std::cv_status::no_timeout) continue;
      const auto now = Clock::now();
      std::vector<std::pair<WindowHandle, WParam>> ticks;
      for (auto& [key, timer] : timers_) {
        if (timer.due > now) continue;
        ticks.push_back(key);
        timer.due += timer.period;
        if (timer.due <= now) timer.due = now + timer.period;
      }
      lock.unlock();
      for (const auto& [handle, id] : ticks)
        Post(WindowMessage{handle, kMsgTimer, id, 0, {}}, true);
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::unordered_map<WindowHandle, std::shared_ptr<Window>> windows_;
  WindowHandle next_handle_ = 1;
  std::map<std::pair<WindowHandle, WParam>, Timer> timers_;
  std::condition_variable timers_changed_;
  bool timer_thread_started_ = false;
};

std::optional<WindowMessage> TakeMessage(WindowHandle handle,
                                         std::optional<std::chrono::milliseconds> timeout) {
  auto window = WindowTable::Get().Find(handle);
  if (!window) return std::nullopt;
  std::unique_lock lock(window->mutex);
  if (timeout) {
    window->arrived.wait_for(lock, *timeout,
                             [&] { return window->destroyed || !window->queue.empty(); });
  }
  if (window->destroyed || window->queue.empty()) return std::nullopt;
  WindowMessage message = std::move(window->queue.front());
  window->queue.pop_front();
  return message;
}

}  // namespace

WindowHandle CreateMessageWindow(WindowHandle parent) { return WindowTable::Get().Create(parent); }

void DestroyMessageWindow(WindowHandle window) { WindowTable::Get().Destroy(window); }

bool IsMessageWindow(WindowHandle window) { return WindowTable::Get().Find(window) != nullptr; }

WindowHandle GetParentWindow(WindowHandle window) {
  auto w = WindowTable::Get().Find(window);
  return w ? w->parent : 0;
}

bool PostWindowMessage(WindowHandle window, std::uint32_t message, WParam wparam, LParam lparam,
                       std::span<const std::uint8_t> data) {
  return WindowTable::Get().Post(
      WindowMessage{window, message, wparam, lparam, {data.begin(), data.end()}});
}

std::optional<WindowMessage> GetWindowMessage(WindowHandle window,
                                              std::chrono::milliseconds timeout) {
  return TakeMessage(window, timeout);
}

std::optional<WindowMessage> PeekWindowMessage(WindowHandle window) {
  return TakeMessage(window, std::nullopt);
}

std::size_t PendingWindowMessages(WindowHandle window) {
  auto w = WindowTable::Get().Find(window);
  if (!w) return 0;
  std::lock_guard lock(w->mutex);
  return w->queue.size();
}

bool SetWindowTimer(WindowHandle window, WParam id, std::uint32_t ms) {
  return WindowTable::Get().SetTimer(window, id, ms);
}

bool KillWindowTimer(WindowHandle window, WParam id) {
  return WindowTable::Get().KillTimer(window, id);
}

std::uint32_t RegisterWindowMessageName(std::string_view name) {
  static std::mutex mutex;
  static auto* names = new std::unordered_map<std::string, std::uint32_t>;
  const std::string key = AsciiLower(name);
  std::lock_guard lock(mutex);
  auto [it, inserted] =
      names->try_emplace(key, kFirstRegisteredMessage + static_cast<std::uint32_t>(names->size()));
  return it->second;
}

void SetWindowWakeHook(WindowHandle window, std::function<void()> hook) {
  auto w = WindowTable::Get().Find(window);
  if (!w) return;
  std::lock_guard lock(w->mutex);
  if (!w->destroyed) w->wake = std::move(hook);
}

void Event::Set() {
  std::lock_guard lock(mutex_);
  set_ = true;
  changed_.notify_all();
}

void Event::Reset() {
  std::lock_guard lock(mutex_);
  set_ = false;
}

bool Event::IsSet() const {
  std::lock_guard lock(mutex_);
  return set_;
}

bool Event::Wait(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return set_; });
}

std::uint32_t CurrentThreadId() {
  static std::atomic<std::uint32_t> next{1};
  thread_local const std::uint32_t id = next.fetch_add(1);
  return id;
}

}  // namespace r7k
