#include "link/link_trace.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "link/link_fixture.h"

namespace r7k {
namespace {

using namespace std::chrono_literals;

struct Traced {
  bool to_box;
  std::string bytes;
  bool operator==(const Traced&) const = default;
};

class LinkTraceHookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLinkTraceHook([this](bool to_box, std::string_view bytes) {
      std::lock_guard lock(mutex_);
      traced_.push_back({to_box, std::string(bytes)});
    });
  }
  void TearDown() override {
    link_.Stop();
    SetLinkTraceHook(nullptr);
  }
  std::vector<Traced> Seen() {
    std::lock_guard lock(mutex_);
    return traced_;
  }

  LinkTestEnvironment env_{"trace"};
  PortHarness harness_;
  BoxRecorder boxes_;
  LinkThreadRunner link_;
  std::mutex mutex_;
  std::vector<Traced> traced_;
};

TEST_F(LinkTraceHookTest, EachCommandAndAnswerOnceAsTheyCrossTheLink) {
  harness_.fake.SetResponder([](std::string_view cmd) { return std::string(cmd) + "\r\nok\r\n?"; });
  ASSERT_TRUE(link_.Start("ttyUSB0", harness_.Maker()));
  const std::string longer = std::string(70, 'w') + "\r";  // two pieces on the wire, one trace
  EXPECT_TRUE(link_.Ask(longer));
  // Only the command up to its zero byte is sent, and traced.
  EXPECT_TRUE(link_.Ask(std::string_view("cd\r\0junk", 8)));
  harness_.fake.SetResponder([this](std::string_view) {
    harness_.fake.ArriveLineError();
    return std::string();
  });
  EXPECT_EQ(link_.Ask("model\r"), "Overrun");
  // Orders are not box commands: nothing to trace.
  ChannelSend("R7P", "R7kProg", "speed", 5);
  harness_.fake.SetResponder([](std::string_view cmd) { return std::string(cmd) + "?"; });
  EXPECT_EQ(link_.Ask("bits\r"), "bits?");
  EXPECT_EQ(Seen(), (std::vector<Traced>{{true, longer},
                                         {false, std::string(70, 'w') + "\r\nok\r\n?"},
                                         {true, "cd\r"},
                                         {false, "cd\r\nok\r\n?"},
                                         {true, "model\r"},
                                         {false, "Overrun"},
                                         {true, "bits\r"},
                                         {false, "bits?"}}));
}

TEST_F(LinkTraceHookTest, RemovingTheHookWaitsForARunningCallAndEndsTheCalls) {
  std::atomic<bool> inside{false}, release{false}, removed{false};
  std::atomic<int> calls{0};
  SetLinkTraceHook([&](bool, std::string_view) {
    ++calls;
    inside = true;
    while (!release) std::this_thread::sleep_for(1ms);
  });
  std::thread link([] { LinkTrace(true, "version\r"); });
  while (!inside) std::this_thread::sleep_for(1ms);
  std::thread remover([&] {
    SetLinkTraceHook(nullptr);
    removed = true;
  });
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(removed) << "the hook was replaced while it ran";
  release = true;
  remover.join();
  link.join();
  EXPECT_TRUE(removed);
  LinkTrace(false, "version\r\n?");
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace r7k
