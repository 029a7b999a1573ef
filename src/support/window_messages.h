#pragma once

// Windows and posted messages without a window system.
//
// A window is a small integer handle into a process-wide table. Each window owns a thread-safe
// queue of messages and a set of timers. Any thread may post to any window; the thread that
// runs the window (a dialog's modal loop, the channel dispatcher) takes the messages out with
// GetWindowMessage or PeekWindowMessage. Handles are never reused, so a post to a destroyed
// window fails instead of reaching a stranger.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace r7k {

using WindowHandle = std::uint32_t;  // 0 is no window
using WParam = std::uintptr_t;
using LParam = std::intptr_t;

constexpr std::uint32_t kMsgClose = 16;
constexpr std::uint32_t kMsgCommand = 273;  // wparam control id, lparam control window
constexpr std::uint32_t kMsgTimer = 275;    // wparam timer id
constexpr std::uint32_t kFirstRegisteredMessage = 0xC000;

struct WindowMessage {
  WindowHandle window = 0;
  std::uint32_t message = 0;
  WParam wparam = 0;
  LParam lparam = 0;
  std::vector<std::uint8_t> data;  // optional parameter block that travels with the message
  bool operator==(const WindowMessage&) const = default;
};

// Creates a window; `parent` may be 0. Returns 0 only when the parent does not exist.
WindowHandle CreateMessageWindow(WindowHandle parent = 0);
// Drops the queue and the timers; later posts to the handle fail. Children are destroyed too.
void DestroyMessageWindow(WindowHandle window);
bool IsMessageWindow(WindowHandle window);
WindowHandle GetParentWindow(WindowHandle window);

// Queues a message for the window; false when the window does not exist.
bool PostWindowMessage(WindowHandle window, std::uint32_t message, WParam wparam, LParam lparam,
                       std::span<const std::uint8_t> data = {});

// Takes the next message, waiting at most `timeout`; nullopt on timeout or when the window is
// (or becomes) destroyed.
std::optional<WindowMessage> GetWindowMessage(WindowHandle window,
                                              std::chrono::milliseconds timeout);
// Takes the next message without waiting.
std::optional<WindowMessage> PeekWindowMessage(WindowHandle window);
// Number of messages queued (tests and diagnostics).
std::size_t PendingWindowMessages(WindowHandle window);

// Posts kMsgTimer with wparam = id every `ms` milliseconds until killed. Setting an existing id
// restarts it. A tick is not queued while the previous tick of the same id is still waiting, so
// a busy owner never finds a pile of stale ticks.
bool SetWindowTimer(WindowHandle window, WParam id, std::uint32_t ms);
bool KillWindowTimer(WindowHandle window, WParam id);

// A stable message number from kFirstRegisteredMessage for a name (any letter case).
std::uint32_t RegisterWindowMessageName(std::string_view name);

// Called (on the posting thread, after the message is queued) whenever a message arrives for the
// window, so an event loop that is not blocked in GetWindowMessage can be woken. Empty clears it.
void SetWindowWakeHook(WindowHandle window, std::function<void()> hook);

// A manual-reset event: stays set until Reset.
class Event {
 public:
  explicit Event(bool initially_set = false) : set_(initially_set) {}
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  bool IsSet() const;
  // True when the event is set within the timeout.
  bool Wait(std::chrono::milliseconds timeout) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool set_;
};

// A small nonzero number unique to the calling thread for the life of the process.
std::uint32_t CurrentThreadId();

}  // namespace r7k
