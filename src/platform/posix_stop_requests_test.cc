#include "platform/stop_requests.h"

#include <signal.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace r7k {
namespace {

void Keep(int) {}

TEST(StopRequests, ASignalIsHeardOnAThreadAndTheOldHandlingComesBack) {
  struct sigaction keep = {};
  keep.sa_handler = Keep;
  struct sigaction before = {};
  sigaction(SIGHUP, &keep, &before);
  std::atomic<int> heard{0};
  ASSERT_TRUE(InstallStopHandlers([&](int status) { heard = status; }));
  EXPECT_FALSE(InstallStopHandlers([](int) {})) << "one set at a time";
  raise(SIGHUP);
  for (int i = 0; i < 200 && heard == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(heard, 129);
  RemoveStopHandlers();
  struct sigaction after = {};
  sigaction(SIGHUP, nullptr, &after);
  EXPECT_EQ(after.sa_handler, Keep);
  sigaction(SIGHUP, &before, nullptr);
}

}  // namespace
}  // namespace r7k
