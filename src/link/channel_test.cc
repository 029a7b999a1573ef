#include "link/channel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "store/item_store.h"

namespace r7k {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Each test uses its own channel names, so tests stay independent within one process.
std::string Unique(const std::string& base) {
  static std::atomic<int> n{0};
  return base + std::to_string(++n);
}

std::string Data(const ChannelMessage* m) { return std::string(ChannelMessageData(m)); }

// Runs `body` on a thread of its own, so it registers with another thread id.
template <typename F>
void OnOtherThread(F body) {
  std::thread(body).join();
}

TEST(Channel, SendThenReceiveCopiesTextAndDataInOrder) {
  const std::string ch = Unique("SendReceive");
  ASSERT_EQ(ChannelSend(ch, "R7kProg", "version\r", 8), kChannelOk);
  ASSERT_EQ(ChannelSend(ch, nullptr, nullptr, 0), kChannelOk);
  ASSERT_EQ(ChannelSend(ch, nullptr, "gone", 4), kChannelOk);
  ChannelMessage* m = nullptr;
  ASSERT_EQ(ChannelReceive(ch, 0, true, &m), kChannelOk);
  ASSERT_NE(m, nullptr);
  EXPECT_STREQ(m->text, "R7kProg");
  EXPECT_EQ(Data(m), "version\r");
  EXPECT_EQ(m->owned, 1u);
  ChannelFreeMessage(m);
  ASSERT_EQ(ChannelReceive(ch, 0, true, &m), kChannelOk);
  EXPECT_EQ(m->text, nullptr);
  EXPECT_EQ(m->data, nullptr);
  EXPECT_EQ(m->size, 0u);
  ChannelFreeMessage(m);
  EXPECT_EQ(ChannelReceive(ch, 0, true, nullptr), kChannelOk);  // taken off and freed
  const auto start = Clock::now();
  EXPECT_EQ(ChannelReceive(ch, 0, true, &m), kChannelNoMessage);
  EXPECT_LT(Clock::now() - start, 500ms);
  EXPECT_EQ(m, nullptr);
}

TEST(Channel, RefusesBadArgumentsAndEmptyNames) {
  EXPECT_EQ(ChannelSend("X", nullptr, nullptr, 4), kChannelBadArguments);
  EXPECT_EQ(ChannelSend("", "t", "d", 1), kChannelNoName);
  EXPECT_EQ(ChannelReceive("", 0, true, nullptr), kChannelNoName);
  EXPECT_EQ(ChannelNotifyEvent("X", nullptr), kChannelBadArguments);
  WindowHandle w = CreateMessageWindow();
  EXPECT_EQ(ChannelNotifyMessage("X", 0, 273, 1, 2, 100), kChannelBadArguments);
  EXPECT_EQ(ChannelNotifyMessage("X", w, 0, 1, 2, 100), kChannelBadArguments);
  EXPECT_EQ(ChannelNotifyMessage("X", w, 273, 1, 2, 0), kChannelBadArguments);
  DestroyMessageWindow(w);
}

TEST(Channel, WaitEndsWithoutMessageAfterTheTimeout) {
  const std::string ch = Unique("Wait");
  const auto start = Clock::now();
  ChannelMessage* m = nullptr;
  EXPECT_EQ(ChannelReceive(ch, 50, true, &m), kChannelNoMessage);
  EXPECT_GE(Clock::now() - start, 50ms);
  EXPECT_EQ(m, nullptr);
  // The registration is gone: a later message is queued, not delivered to a stale slot.
  ASSERT_EQ(ChannelSend(ch, nullptr, "a", 1), kChannelOk);
  ASSERT_EQ(ChannelReceive(ch, 0, true, &m), kChannelOk);
  EXPECT_EQ(Data(m), "a");
  ChannelFreeMessage(m);
}

TEST(Channel, WaitingReceiverGetsAMessageSentLater) {
  const std::string ch = Unique("Later");
  std::thread sender([&] {
    std::this_thread::sleep_for(30ms);
    ChannelSend(ch, "from", "late", 4);
  });
  ChannelMessage* m = nullptr;
  EXPECT_EQ(ChannelReceive(ch, 5000, true, &m), kChannelOk);
  sender.join();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(Data(m), "late");
  EXPECT_EQ(m->owned, 1u);
  ChannelFreeMessage(m);
  EXPECT_EQ(ChannelReceive(ch, 0, true, nullptr), kChannelNoMessage);
}

TEST(Channel, The129thMessageIsRefused) {
  const std::string ch = Unique("Full");
  for (int i = 0; i < 128; ++i) ASSERT_EQ(ChannelSend(ch, nullptr, &i, sizeof i), kChannelOk);
  int extra = 128;
  EXPECT_EQ(ChannelSend(ch, nullptr, &extra, sizeof extra), kChannelFull);
  // The ring wraps: take one, add one, and all come back in order.
  ASSERT_EQ(ChannelReceive(ch, 0, true, nullptr), kChannelOk);
  ASSERT_EQ(ChannelSend(ch, nullptr, &extra, sizeof extra), kChannelOk);
  for (int i = 1; i <= 128; ++i) {
    ChannelMessage* m = nullptr;
    ASSERT_EQ(ChannelReceive(ch, 0, true, &m), kChannelOk);
    int value = -1;
    std::memcpy(&value, m->data, sizeof value);
    EXPECT_EQ(value, i);
    ChannelFreeMessage(m);
  }
}

TEST(Channel, The17thWaiterIsRefused) {
  const std::string ch = Unique("Waiters");
  std::vector<Event> events(16);
  std::vector<std::thread> threads;
  std::atomic<int> registered{0};
  for (int i = 0; i < 16; ++i) {
    OnOtherThread([&, i] {
      if (ChannelNotifyEvent(ch, &events[i]) == kChannelOk) ++registered;
    });
  }
  EXPECT_EQ(registered, 16);
  Event extra;
  EXPECT_EQ(ChannelNotifyEvent(ch, &extra), kChannelTooManyWaiters);
  EXPECT_EQ(ChannelReceive(ch, 100, true, nullptr), kChannelTooManyWaiters);
  // Each message serves exactly one waiter, in the order they registered.
  ASSERT_EQ(ChannelSend(ch, nullptr, nullptr, 0), kChannelOk);
  ASSERT_TRUE(events[0].Wait(2s));
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(events[1].IsSet());
  // Once the first took its message, the next message goes to the second, and a slot is free.
  ASSERT_EQ(ChannelReceive(ch, 0, true, nullptr), kChannelOk);
  ASSERT_EQ(ChannelSend(ch, nullptr, nullptr, 0), kChannelOk);
  EXPECT_TRUE(events[1].Wait(2s));
  EXPECT_FALSE(events[2].IsSet());
  ASSERT_EQ(ChannelReceive(ch, 0, true, nullptr), kChannelOk);
  Event late;
  EXPECT_EQ(ChannelNotifyEvent(ch, &late), kChannelOk);
}

TEST(Channel, NotifyWhileAMessageIsQueuedRegistersNothing) {
  const std::string ch = Unique("Queued");
  WindowHandle w = CreateMessageWindow();
  ASSERT_EQ(ChannelSend(ch, nullptr, "stale", 5), kChannelOk);
  EXPECT_EQ(ChannelNotifyMessage(ch, w, kMsgCommand, 7, 8, 100), kChannelMessageWaiting);
  Event e;
  EXPECT_EQ(ChannelNotifyEvent(ch, &e), kChannelMessageWaiting);
  std::this_thread::sleep_for(250ms);
  EXPECT_EQ(PendingWindowMessages(w), 0u);  // no timer was left behind either
  EXPECT_FALSE(e.IsSet());
  // The documented recovery: drop the stale answer and register again.
  EXPECT_EQ(ChannelReceive(ch, 0, true, nullptr), kChannelOk);
  EXPECT_EQ(ChannelNotifyMessage(ch, w, kMsgCommand, 7, 8, kChannelNoTimeout), kChannelOk);
  ASSERT_EQ(ChannelSend(ch, "R7kProg", nullptr, 0), kChannelOk);
  auto m = GetWindowMessage(w, 2s);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->message, kMsgCommand);
  EXPECT_EQ(m->wparam, 7u);
  EXPECT_EQ(m->lparam, 8);
  DestroyMessageWindow(w);
}

TEST(Channel, MessageNotificationPostsOnceOnArrival) {
  const std::string ch = Unique("Arrival");
  WindowHandle w = CreateMessageWindow();
  // Registering again replaces the earlier registration.
  ASSERT_EQ(ChannelNotifyMessage(ch, w, kMsgCommand, 1, 0, 150), kChannelOk);
  ASSERT_EQ(ChannelNotifyMessage(ch, w, kMsgCommand, 1001, 42, 150), kChannelOk);
  ASSERT_EQ(ChannelSend(ch, "R7P", "answer", 6), kChannelOk);
  std::this_thread::sleep_for(400ms);  // well past the time-out
  ASSERT_EQ(PendingWindowMessages(w), 1u);
  EXPECT_EQ(PeekWindowMessage(w)->wparam, 1001u);
  // The message stays queued for the woken thread.
  ChannelMessage* m = nullptr;
  ASSERT_EQ(ChannelReceive(ch, 0, true, &m), kChannelOk);
  EXPECT_EQ(Data(m), "answer");
  ChannelFreeMessage(m);
  EXPECT_EQ(StoreGetType(StoreOpenShared(kChannelStoreName),
                         "Thread" + std::to_string(CurrentThreadId())),
            kItemNone);
  DestroyMessageWindow(w);
}

TEST(Channel, MessageNotificationPostsOnceOnTimeOut) {
  const std::string ch = Unique("TimeOut");
  WindowHandle w = CreateMessageWindow();
  const auto start = Clock::now();
  ASSERT_EQ(ChannelNotifyMessage(ch, w, kMsgCommand, 5, 6, 80), kChannelOk);
  StoreHandle shared = StoreOpenShared(kChannelStoreName);
  EXPECT_EQ(StoreGetString(shared, "Thread" + std::to_string(CurrentThreadId())), ch);
  auto m = GetWindowMessage(w, 2s);
  ASSERT_TRUE(m);
  EXPECT_GE(Clock::now() - start, 80ms);
  EXPECT_EQ(m->wparam, 5u);
  // A message after the time-out does not post again; the poll then finds it.
  ASSERT_EQ(ChannelSend(ch, nullptr, "late", 4), kChannelOk);
  std::this_thread::sleep_for(250ms);
  EXPECT_EQ(PendingWindowMessages(w), 0u);
  EXPECT_EQ(StoreGetType(shared, "Thread" + std::to_string(CurrentThreadId())), kItemNone);
  StoreClose(shared);
  DestroyMessageWindow(w);
}

TEST(Channel, ReceiveWithoutTakeOffLeavesTheHead) {
  const std::string ch = Unique("Head");
  ASSERT_EQ(ChannelSend(ch, nullptr, "first", 5), kChannelOk);
  ASSERT_EQ(ChannelSend(ch, nullptr, "second", 6), kChannelOk);
  ChannelMessage* peek = nullptr;
  ASSERT_EQ(ChannelReceive(ch, 0, false, &peek), kChannelOk);
  EXPECT_EQ(Data(peek), "first");
  EXPECT_EQ(peek->owned, 0u);
  ChannelFreeMessage(peek);  // not owned: nothing happens, the block stays usable
  ChannelMessage* m = nullptr;
  ASSERT_EQ(ChannelReceive(ch, 0, true, &m), kChannelOk);
  EXPECT_EQ(m, peek);
  EXPECT_EQ(Data(m), "first");
  ChannelFreeMessage(m);
  ASSERT_EQ(ChannelReceive(ch, 0, true, &m), kChannelOk);
  EXPECT_EQ(Data(m), "second");
  ChannelFreeMessage(m);
  // A waiting receiver that does not take off leaves the late message queued too.
  std::thread sender([&] {
    std::this_thread::sleep_for(30ms);
    ChannelSend(ch, nullptr, "kept", 4);
  });
  EXPECT_EQ(ChannelReceive(ch, 5000, false, &peek), kChannelOk);
  sender.join();
  ASSERT_NE(peek, nullptr);
  EXPECT_EQ(peek->owned, 0u);
  ASSERT_EQ(ChannelReceive(ch, 0, true, &m), kChannelOk);
  EXPECT_EQ(Data(m), "kept");
  ChannelFreeMessage(m);
}

// A record of another size, or of the right size with counts and places out of range, is
// taken as an empty channel (the place of the first message once led outside the record).
TEST(Channel, DamagedRecordReadsAsEmpty) {
  const std::string ch = Unique("Odd");
  ASSERT_EQ(ChannelSend(ch, nullptr, "x", 1), kChannelOk);  // starts the dispatcher
  ASSERT_EQ(ChannelReceive(ch, 0, true, nullptr), kChannelOk);
  StoreHandle shared = StoreOpenShared(kChannelStoreName);
  for (std::size_t size : {std::size_t{100}, std::size_t{kChannelRecordSize}}) {
    std::vector<std::uint8_t> odd(size, 0x07);
    ASSERT_TRUE(StoreSetItem(shared, ch, odd.data(), odd.size()));
    EXPECT_EQ(ChannelReceive(ch, 0, true, nullptr), kChannelNoMessage) << size;
    ASSERT_EQ(ChannelSend(ch, nullptr, "y", 1), kChannelOk);
    EXPECT_EQ(StoreGetItem(shared, ch, nullptr, 0), kChannelRecordSize);
    EXPECT_EQ(ChannelReceive(ch, 0, true, nullptr), kChannelOk) << size;
  }
  StoreClose(shared);
}

TEST(Channel, ManyThreadsSendAndReceiveEveryMessageOnce) {
  const std::string ch = Unique("Many");
  constexpr int kSenders = 4;
  constexpr int kEach = 300;
  constexpr int kReceivers = 3;
  std::atomic<int> received{0};
  std::mutex seen_mutex;
  std::multiset<int> seen;
  std::vector<std::thread> threads;
  for (int s = 0; s < kSenders; ++s) {
    threads.emplace_back([&, s] {
      for (int i = 0; i < kEach; ++i) {
        int value = s * kEach + i;
        while (ChannelSend(ch, "many", &value, sizeof value) == kChannelFull)
          std::this_thread::sleep_for(1ms);
      }
    });
  }
  for (int r = 0; r < kReceivers; ++r) {
    threads.emplace_back([&] {
      while (received < kSenders * kEach) {
        ChannelMessage* m = nullptr;
        int rc = ChannelReceive(ch, 50, true, &m);
        if (rc != kChannelOk) {
          EXPECT_EQ(rc, kChannelNoMessage);
          continue;
        }
        ASSERT_EQ(m->size, sizeof(int));
        int value;
        std::memcpy(&value, m->data, sizeof value);
        ChannelFreeMessage(m);
        {
          std::lock_guard lock(seen_mutex);
          seen.insert(value);
        }
        ++received;
      }
    });
  }
  for (auto& t : threads) t.join();
  ASSERT_EQ(seen.size(), std::size_t(kSenders * kEach));
  int expected = 0;
  for (int v : seen) EXPECT_EQ(v, expected++);
  EXPECT_EQ(ChannelReceive(ch, 0, true, nullptr), kChannelNoMessage);
}

}  // namespace
}  // namespace r7k
