#include "support/window_messages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

namespace r7k {
namespace {

using namespace std::chrono_literals;

TEST(WindowMessages, PostedMessagesArriveInOrderWithTheirData) {
  WindowHandle w = CreateMessageWindow();
  ASSERT_NE(w, 0u);
  const std::uint8_t block[] = {1, 2, 'a', 0};
  EXPECT_TRUE(PostWindowMessage(w, kMsgCommand, 1026, 77));
  EXPECT_TRUE(PostWindowMessage(w, 5000, 1, -1, block));
  EXPECT_EQ(GetWindowMessage(w, 0ms), (WindowMessage{w, kMsgCommand, 1026, 77, {}}));
  EXPECT_EQ(PeekWindowMessage(w), (WindowMessage{w, 5000, 1, -1, {1, 2, 'a', 0}}));
  EXPECT_FALSE(PeekWindowMessage(w));
  DestroyMessageWindow(w);
}

TEST(WindowMessages, DestroyedWindowsRefuseEverythingAndHandlesAreNotReused) {
  WindowHandle parent = CreateMessageWindow();
  WindowHandle child = CreateMessageWindow(parent);
  EXPECT_EQ(GetParentWindow(child), parent);
  PostWindowMessage(child, 1, 0, 0);
  DestroyMessageWindow(parent);
  EXPECT_FALSE(IsMessageWindow(parent));
  EXPECT_FALSE(IsMessageWindow(child));  // children go with their parent
  EXPECT_FALSE(PostWindowMessage(child, 1, 0, 0));
  EXPECT_FALSE(GetWindowMessage(child, 10ms));
  EXPECT_FALSE(SetWindowTimer(parent, 1, 10));
  EXPECT_EQ(CreateMessageWindow(12345678), 0u);  // no such parent
  WindowHandle next = CreateMessageWindow();
  EXPECT_NE(next, parent);
  EXPECT_NE(next, child);
  DestroyMessageWindow(next);
  DestroyMessageWindow(next);  // twice is harmless
}

TEST(WindowMessages, WaitEndsWhenAnotherThreadPostsOrDestroys) {
  WindowHandle w = CreateMessageWindow();
  std::thread poster([&] {
    std::this_thread::sleep_for(20ms);
    PostWindowMessage(w, 42, 0, 0);
  });
  auto m = GetWindowMessage(w, 5s);
  poster.join();
  ASSERT_TRUE(m);
  EXPECT_EQ(m->message, 42u);
  EXPECT_FALSE(GetWindowMessage(w, 1ms));
  std::thread destroyer([&] {
    std::this_thread::sleep_for(20ms);
    DestroyMessageWindow(w);
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(GetWindowMessage(w, 5s));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
  destroyer.join();
}

TEST(WindowMessages, ManyThreadsPostingLoseNothing) {
  WindowHandle w = CreateMessageWindow();
  constexpr int kThreads = 8;
  constexpr int kEach = 500;
  std::atomic<int> wakes{0};
  SetWindowWakeHook(w, [&] { ++wakes; });
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t)
    posters.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) PostWindowMessage(w, 1000 + t, i, 0);
    });
  std::vector<int> next(kThreads, 0);
  int received = 0;
  while (received < kThreads * kEach) {
    auto m = GetWindowMessage(w, 5s);
    ASSERT_TRUE(m);
    const int t = static_cast<int>(m->message) - 1000;
    ASSERT_GE(t, 0);
    ASSERT_LT(t, kThreads);
    EXPECT_EQ(static_cast<int>(m->wparam), next[t]++);  // each sender's order holds
    ++received;
  }
  for (auto& p : posters) p.join();
  EXPECT_EQ(wakes.load(), kThreads * kEach);
  EXPECT_FALSE(PeekWindowMessage(w));
  DestroyMessageWindow(w);
}

TEST(WindowMessages, TimersTickUntilKilledAndDoNotPileUp) {
  WindowHandle w = CreateMessageWindow();
  ASSERT_TRUE(SetWindowTimer(w, 7, 5));
  auto tick = GetWindowMessage(w, 5s);
  ASSERT_TRUE(tick);
  EXPECT_EQ(tick->message, kMsgTimer);
  EXPECT_EQ(tick->wparam, 7u);
  std::this_thread::sleep_for(60ms);  // many periods pass while nobody reads
  EXPECT_EQ(PendingWindowMessages(w), 1u);
  EXPECT_TRUE(KillWindowTimer(w, 7));
  EXPECT_FALSE(KillWindowTimer(w, 7));
  while (PeekWindowMessage(w)) {
  }
  EXPECT_FALSE(GetWindowMessage(w, 40ms));
  DestroyMessageWindow(w);
}

TEST(WindowMessages, RegisteredNamesAreStableAndIgnoreCase) {
  const auto advice = RegisterWindowMessageName("Coll_Advice");
  EXPECT_GE(advice, kFirstRegisteredMessage);
  EXPECT_EQ(RegisterWindowMessageName("coll_advice"), advice);
  EXPECT_NE(RegisterWindowMessageName("Something_Else"), advice);
}

TEST(WindowMessages, EventIsManualReset) {
  Event event;
  EXPECT_FALSE(event.Wait(1ms));
  std::thread setter([&] {
    std::this_thread::sleep_for(10ms);
    event.Set();
  });
  EXPECT_TRUE(event.Wait(5s));
  setter.join();
  EXPECT_TRUE(event.Wait(0ms));  // stays set
  event.Reset();
  EXPECT_FALSE(event.IsSet());
}

TEST(WindowMessages, ThreadIdsAreSmallUniqueAndNonzero) {
  const auto mine = CurrentThreadId();
  EXPECT_NE(mine, 0u);
  EXPECT_EQ(CurrentThreadId(), mine);
  std::set<std::uint32_t> ids{mine};
  std::mutex m;
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i)
    threads.emplace_back([&] {
      std::lock_guard lock(m);
      ids.insert(CurrentThreadId());
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(ids.size(), 5u);
}

}  // namespace
}  // namespace r7k
