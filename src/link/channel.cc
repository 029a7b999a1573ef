#include "link/channel.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>

#include "store/item_store.h"

namespace r7k {
namespace {

using Clock = std::chrono::steady_clock;

// Word positions of the channel record.
constexpr std::size_t kMessageCount = 0;
constexpr std::size_t kWaiterCount = 1;
constexpr std::size_t kMessageWrite = 2;
constexpr std::size_t kMessageRead = 3;
constexpr std::size_t kWaiterWrite = 4;
constexpr std::size_t kWaiterRead = 5;
constexpr std::size_t kMessageSlots = 6;
constexpr std::size_t kWaiterSlots = kMessageSlots + kChannelMaxMessages;  // 134
constexpr std::size_t kWaiterWords = 10;
static_assert(kWaiterSlots + kChannelMaxWaiters * kWaiterWords == kChannelRecordWords);

// Words of a waiter slot.
enum WaiterWord : std::size_t {
  kWaiterThread = 0,  // 0 = free
  kWaiterServed,
  kWaiterWaitEvent,  // synchronous receive
  kWaiterDelivery,   // synchronous receive: where the block goes
  kWaiterTakeOff,    // synchronous receive
  kWaiterSetEvent,   // event notification
  kWaiterWindow,     // message notification
  kWaiterMessage,
  kWaiterWParam,
  kWaiterLParam,
};

// Live objects named by 32-bit numbers in channel records (message blocks, events, delivery
// addresses). Numbers are not reused while the process runs, so a stale word never reaches a
// stranger.
class ObjectTable {
 public:
  std::uint32_t Add(void* object) {
    std::lock_guard lock(mutex_);
    std::uint32_t id;
    do {
      id = next_++;
    } while (id == 0 || objects_.contains(id));
    objects_[id] = object;
    return id;
  }
  void* Get(std::uint32_t id) {
    std::lock_guard lock(mutex_);
    auto it = objects_.find(id);
    return it == objects_.end() ? nullptr : it->second;
  }
  void* Take(std::uint32_t id) {
    std::lock_guard lock(mutex_);
    auto it = objects_.find(id);
    if (it == objects_.end()) return nullptr;
    void* object = it->second;
    objects_.erase(it);
    return object;
  }

 private:
  std::mutex mutex_;
  std::unordered_map<std::uint32_t, void*> objects_;
  std::uint32_t next_ = 1;
};

ObjectTable& Objects() {
  static auto* table = new ObjectTable;
  return *table;
}

// Where the dispatcher puts the block for a synchronous receiver.
struct Delivery {
  ChannelMessage* block = nullptr;
};

// One per process; lives until the process ends, like the dispatcher thread.
struct Dispatcher {
  std::atomic<int> started{0};
  std::atomic<int> error{0};
  std::atomic<int> start_counter{-1};
  WindowHandle window = 0;
  StoreHandle shared = nullptr;
  StoreHandle advice = nullptr;
  std::uint32_t advice_message = 0;
  // When each thread's timed registration runs out. A timer tick queued before the
  // registration it belonged to was served must not fire the thread's next registration early.
  std::mutex deadlines_mutex;
  std::unordered_map<std::uint32_t, Clock::time_point> deadlines;
};

Dispatcher& State() {
  static auto* state = new Dispatcher;
  return *state;
}

std::string ThreadItemName(std::uint32_t thread_id) { return "Thread" + std::to_string(thread_id); }

class Record {
 public:
  std::uint32_t& operator[](std::size_t i) { return words_[i]; }
  std::uint32_t* Waiter(std::uint32_t slot) { return &words_[kWaiterSlots + slot * kWaiterWords]; }
  std::uint32_t& MessageSlot(std::uint32_t slot) { return words_[kMessageSlots + slot]; }
  void* data() { return words_.data(); }

 private:
  std::array<std::uint32_t, kChannelRecordWords> words_{};
};

// Reads and writes one channel record between StoreLock and StoreUnlock.
class ChannelAccess {
 public:
  explicit ChannelAccess(std::string_view name) : name_(name), state_(State()) {
    StoreLock(state_.shared);
    if (StoreGetItem(state_.shared, name_, nullptr, 0) == kChannelRecordSize)
      StoreGetItem(state_.shared, name_, record_.data(), kChannelRecordSize);
    // Whatever the store holds, the places stay inside the record.
    if (record_[kMessageCount] > kChannelMaxMessages ||
        record_[kWaiterCount] > kChannelMaxWaiters ||
        record_[kMessageWrite] >= kChannelMaxMessages ||
        record_[kMessageRead] >= kChannelMaxMessages ||
        record_[kWaiterWrite] >= kChannelMaxWaiters || record_[kWaiterRead] >= kChannelMaxWaiters)
      record_ = Record();
  }
  ~ChannelAccess() {
    if (locked_) Store(false);
  }
  ChannelAccess(const ChannelAccess&) = delete;
  ChannelAccess& operator=(const ChannelAccess&) = delete;

  Record& record() { return record_; }

  // Writes the record back and unlocks; with `notify` the dispatcher is told of a new message.
  void Store(bool notify) {
    StoreSetItem(state_.shared, name_, record_.data(), kChannelRecordSize);
    StoreUnlock(state_.shared);
    locked_ = false;
    if (notify) {
      StoreSetNumeric(state_.advice, name_, StoreGetNumeric(state_.advice, name_) + 1);
    }
  }

  // The slot index of the thread's registration, or of the first unserved one (thread 0).
  std::optional<std::uint32_t> FindWaiter(std::uint32_t thread_id) {
    std::uint32_t seen = 0;
    for (std::uint32_t i = 0; i < kChannelMaxWaiters && seen < record_[kWaiterCount]; ++i) {
      std::uint32_t slot = (record_[kWaiterRead] + i) % kChannelMaxWaiters;
      std::uint32_t* w = record_.Waiter(slot);
      if (w[kWaiterThread] == 0) continue;
      ++seen;
      if (thread_id != 0 ? w[kWaiterThread] == thread_id : w[kWaiterServed] == 0) return slot;
    }
    return std::nullopt;
  }

  void ReleaseWaiter(std::uint32_t slot) {
    std::uint32_t* w = record_.Waiter(slot);
    if (w[kWaiterWindow] != 0) {
      KillWindowTimer(state_.window, w[kWaiterThread]);
      StoreDeleteItem(state_.shared, ThreadItemName(w[kWaiterThread]));
    }
    if (w[kWaiterSetEvent] != 0) Objects().Take(w[kWaiterSetEvent]);
    std::fill(w, w + kWaiterWords, 0u);
    if (record_[kWaiterRead] == slot) {
      std::uint32_t read = slot;
      do {
        read = (read + 1) % kChannelMaxWaiters;
      } while (read != slot && record_.Waiter(read)[kWaiterThread] == 0);
      record_[kWaiterRead] = read;
    }
    if (record_[kWaiterCount] > 0) --record_[kWaiterCount];
  }

  void ReleaseThread(std::uint32_t thread_id) {
    if (auto slot = FindWaiter(thread_id)) ReleaseWaiter(*slot);
  }

  // A free slot for a new waiter: the write index, or the next free one after it when an
  // older waiter still sits there (waiters leave out of order).
  std::uint32_t* AddWaiter(std::uint32_t thread_id) {
    std::uint32_t slot = record_[kWaiterWrite];
    for (std::uint32_t i = 0; i < kChannelMaxWaiters; ++i) {
      slot = (record_[kWaiterWrite] + i) % kChannelMaxWaiters;
      if (record_.Waiter(slot)[kWaiterThread] == 0) break;
    }
    if (record_[kWaiterCount] == 0) record_[kWaiterRead] = slot;
    record_[kWaiterWrite] = (slot + 1) % kChannelMaxWaiters;
    ++record_[kWaiterCount];
    std::uint32_t* w = record_.Waiter(slot);
    w[kWaiterThread] = thread_id;
    return w;
  }

  // Takes the head message off the queue; the block stays alive.
  ChannelMessage* TakeHead() {
    std::uint32_t& slot = record_.MessageSlot(record_[kMessageRead]);
    auto* block = static_cast<ChannelMessage*>(Objects().Take(slot));
    slot = 0;
    record_[kMessageRead] = (record_[kMessageRead] + 1) % kChannelMaxMessages;
    --record_[kMessageCount];
    return block;
  }

  ChannelMessage* Head() {
    return static_cast<ChannelMessage*>(Objects().Get(record_.MessageSlot(record_[kMessageRead])));
  }

 private:
  std::string name_;
  Dispatcher& state_;
  Record record_;
  bool locked_ = true;
};

void ServeArrival(const std::string& channel) {
  ChannelAccess access(channel);
  Record& r = access.record();
  if (r[kMessageCount] == 0) return;
  auto slot = access.FindWaiter(0);
  if (!slot) return;
  std::uint32_t* w = r.Waiter(*slot);
  w[kWaiterServed] = 1;
  if (w[kWaiterWaitEvent] != 0) {
    auto* delivery = static_cast<Delivery*>(Objects().Get(w[kWaiterDelivery]));
    auto* event = static_cast<Event*>(Objects().Get(w[kWaiterWaitEvent]));
    ChannelMessage* block = nullptr;
    if (w[kWaiterTakeOff]) {
      block = access.TakeHead();
      if (block) block->owned = 1;
    } else {
      block = access.Head();
    }
    if (delivery) delivery->block = block;
    if (event) event->Set();
  } else if (w[kWaiterSetEvent] != 0) {
    if (auto* event = static_cast<Event*>(Objects().Get(w[kWaiterSetEvent]))) event->Set();
    access.ReleaseWaiter(*slot);
  } else if (w[kWaiterWindow] != 0) {
    PostWindowMessage(w[kWaiterWindow], w[kWaiterMessage], w[kWaiterWParam],
                      static_cast<LParam>(w[kWaiterLParam]));
    access.ReleaseWaiter(*slot);
  }
}

void ServeTimer(std::uint32_t thread_id) {
  Dispatcher& state = State();
  {
    std::lock_guard lock(state.deadlines_mutex);
    auto it = state.deadlines.find(thread_id);
    if (it != state.deadlines.end() && Clock::now() < it->second) return;  // an older tick
  }
  std::optional<std::string> channel = StoreGetString(state.shared, ThreadItemName(thread_id));
  if (channel && !channel->empty()) {
    ChannelAccess access(*channel);
    if (auto slot = access.FindWaiter(thread_id)) {
      std::uint32_t* w = access.record().Waiter(*slot);
      if (w[kWaiterWindow] != 0) {
        PostWindowMessage(w[kWaiterWindow], w[kWaiterMessage], w[kWaiterWParam],
                          static_cast<LParam>(w[kWaiterLParam]));
        access.ReleaseWaiter(*slot);
      }
    }
  }
  KillWindowTimer(state.window, thread_id);
}

void RunDispatcher() {
  Dispatcher& state = State();
  state.advice_message = RegisterWindowMessageName("Coll_Advice");
  int error = 0;
  state.shared = StoreOpenShared(kChannelStoreName);
  state.advice = StoreOpenShared(kChannelAdviceStoreName);
  if (!state.shared || !state.advice) error = kChannelStoreFailed;
  if (!error) {
    state.window = CreateMessageWindow();
    if (!state.window) error = 1;
  }
  if (!error && StoreRequestAdvice(state.advice, state.window, 1) == 0)
    error = kChannelAdviceRefused;
  state.error = error;
  state.started = 1;
  if (error) {
    if (state.window) DestroyMessageWindow(state.window);
    if (state.advice) StoreClose(state.advice);
    if (state.shared) StoreClose(state.shared);
    return;
  }
  for (;;) {
    std::optional<WindowMessage> m = GetWindowMessage(state.window, std::chrono::hours(1));
    if (!m) continue;
    if (m->message == state.advice_message) {
      std::string channel = AdviceItemName(m->data);
      if (!channel.empty()) ServeArrival(channel);
    } else if (m->message == kMsgTimer) {
      ServeTimer(static_cast<std::uint32_t>(m->wparam));
    }
  }
}

// Starts the dispatcher on first use; 0 or the code it failed with.
int EnsureDispatcher() {
  Dispatcher& state = State();
  if (state.started == 0) {
    if (++state.start_counter == 0) {
      try {
        std::thread(RunDispatcher).detach();
      } catch (...) {
        state.error = 1;
        state.started = 1;
      }
    }
    while (state.started == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return state.error;
}

// The common start of every operation: dispatcher running and a name given.
int Prepare(std::string_view channel) {
  if (int error = EnsureDispatcher()) return error;
  return channel.empty() ? kChannelNoName : kChannelOk;
}

}  // namespace

int ChannelSend(std::string_view channel, const char* text, const void* data, std::uint32_t size) {
  if (!data && size != 0) return kChannelBadArguments;
  if (int error = Prepare(channel)) return error;
  ChannelAccess access(channel);
  Record& r = access.record();
  if (r[kMessageCount] >= kChannelMaxMessages) {
    access.Store(false);
    return kChannelFull;
  }
  const std::size_t text_size = text ? std::strlen(text) + 1 : 0;
  auto* block = static_cast<ChannelMessage*>(StoreAlloc(sizeof(ChannelMessage) + size + text_size));
  if (!block) {
    access.Store(false);
    return kChannelNoMemory;
  }
  auto* bytes = reinterpret_cast<std::uint8_t*>(block + 1);
  block->data = nullptr;
  block->text = nullptr;
  block->size = size;
  block->owned = 0;
  if (size != 0) {
    std::memcpy(bytes, data, size);
    block->data = bytes;
  }
  if (text) {
    std::memcpy(bytes + size, text, text_size);
    block->text = reinterpret_cast<const char*>(bytes + size);
  }
  r.MessageSlot(r[kMessageWrite]) = Objects().Add(block);
  r[kMessageWrite] = (r[kMessageWrite] + 1) % kChannelMaxMessages;
  ++r[kMessageCount];
  access.Store(true);
  return kChannelOk;
}

int ChannelReceive(std::string_view channel, std::uint32_t timeout_ms, bool take_off,
                   ChannelMessage** message) {
  if (message) *message = nullptr;
  if (int error = Prepare(channel)) return error;
  const std::uint32_t me = CurrentThreadId();
  Event wait_event;
  Delivery delivery;
  std::uint32_t event_id = 0;
  std::uint32_t delivery_id = 0;
  {
    ChannelAccess access(channel);
    Record& r = access.record();
    access.ReleaseThread(me);
    if (r[kMessageCount] > 0) {
      ChannelMessage* block = nullptr;
      if (take_off) {
        block = access.TakeHead();
        if (block && message) {
          block->owned = 1;
        } else if (block) {
          StoreFree(block);
          block = nullptr;
        }
      } else {
        block = access.Head();
      }
      if (message) *message = block;
      return kChannelOk;
    }
    if (timeout_ms == 0) return kChannelNoMessage;
    if (r[kWaiterCount] >= kChannelMaxWaiters) return kChannelTooManyWaiters;
    event_id = Objects().Add(&wait_event);
    delivery_id = Objects().Add(&delivery);
    std::uint32_t* w = access.AddWaiter(me);
    w[kWaiterWaitEvent] = event_id;
    w[kWaiterDelivery] = delivery_id;
    w[kWaiterTakeOff] = take_off ? 1 : 0;
  }
  if (timeout_ms == kChannelNoTimeout) {
    while (!wait_event.Wait(std::chrono::hours(1))) {
    }
  } else {
    wait_event.Wait(std::chrono::milliseconds(timeout_ms));
  }
  ChannelAccess access(channel);
  // Whatever happens now, the dispatcher must no longer reach the locals.
  Objects().Take(event_id);
  Objects().Take(delivery_id);
  auto slot = access.FindWaiter(me);
  if (!slot || access.record().Waiter(*slot)[kWaiterWaitEvent] != event_id) {
    return kChannelRegistrationGone;
  }
  access.ReleaseWaiter(*slot);
  ChannelMessage* block = delivery.block;
  if (!block) return kChannelNoMessage;
  if (take_off && !message) {
    StoreFree(block);
  } else if (message) {
    *message = block;
  }
  return kChannelOk;
}

int ChannelNotifyEvent(std::string_view channel, Event* event) {
  if (!event) return kChannelBadArguments;
  if (int error = Prepare(channel)) return error;
  const std::uint32_t me = CurrentThreadId();
  ChannelAccess access(channel);
  Record& r = access.record();
  access.ReleaseThread(me);
  if (r[kMessageCount] > 0) return kChannelMessageWaiting;
  if (r[kWaiterCount] >= kChannelMaxWaiters) return kChannelTooManyWaiters;
  access.AddWaiter(me)[kWaiterSetEvent] = Objects().Add(event);
  return kChannelOk;
}

int ChannelNotifyMessage(std::string_view channel, WindowHandle window, std::uint32_t message,
                         std::uint32_t wparam, std::uint32_t lparam, std::uint32_t timeout_ms) {
  if (window == 0 || message == 0 || timeout_ms == 0) return kChannelBadArguments;
  if (int error = Prepare(channel)) return error;
  Dispatcher& state = State();
  const std::uint32_t me = CurrentThreadId();
  ChannelAccess access(channel);
  Record& r = access.record();
  access.ReleaseThread(me);
  if (r[kMessageCount] > 0) return kChannelMessageWaiting;
  if (r[kWaiterCount] >= kChannelMaxWaiters) return kChannelTooManyWaiters;
  if (timeout_ms != kChannelNoTimeout) {
    {
      std::lock_guard lock(state.deadlines_mutex);
      state.deadlines[me] = Clock::now() + std::chrono::milliseconds(timeout_ms);
    }
    if (!SetWindowTimer(state.window, me, timeout_ms)) return kChannelTimerFailed;
    StoreSetString(state.shared, ThreadItemName(me), channel);
  }
  std::uint32_t* w = access.AddWaiter(me);
  w[kWaiterWindow] = window;
  w[kWaiterMessage] = message;
  w[kWaiterWParam] = wparam;
  w[kWaiterLParam] = lparam;
  return kChannelOk;
}

void ChannelFreeMessage(ChannelMessage* message) {
  if (message && message->owned) StoreFree(message);
}

}  // namespace r7k
