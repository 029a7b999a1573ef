// The link thread against the simulated box over a real pseudo-terminal: only what the
// application-level read and write scenarios cannot see (the pieces on the wire, the timeout).

#include <gtest/gtest.h>

#include "link/link_fixture.h"
#include "link/link_thread.h"
#include "platform/memory_line.h"
#include "sim/box_simulator.h"

namespace r7k {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class LinkThreadSim : public ::testing::Test {
 protected:
  void SetUp() override { options_.contents.assign(FlashImage::kSize, 0xFF); }
  void TearDown() override {
    link_.Stop();
    if (box_) box_->Stop();
  }
  void AddFault(const std::string& spec) { AddBoxFault(options_, spec); }
  void StartBox() {
    std::string error;
    box_ = BoxSimulator::Start(options_, &error);
    ASSERT_TRUE(box_) << error;
  }
  void StartLink(std::string port_name) {
    ASSERT_TRUE(link_.Start(std::move(port_name), harness_.Maker()));
  }
  std::string Ask(std::string_view command) { return link_.Ask(command).value_or("<none>"); }

  LinkTestEnvironment env_{"linksim"};
  BoxOptions options_;
  std::unique_ptr<BoxSimulator> box_;
  AnySerialPort port_;
  PortHarness harness_{&port_};
  BoxRecorder boxes_;
  LinkThreadRunner link_;
};

TEST_F(LinkThreadSim, LongCommandGoesOutInPiecesAndIsEchoedWhole) {
  StartBox();
  StartLink(box_->PortName());
  std::string command = "ws40 02 00 00";
  for (int i = 0; i < 128; ++i) command += " 00";
  command += "\r";
  ASSERT_EQ(command.size(), 398u);
  const std::string answer = Ask(command);
  EXPECT_EQ(answer, command.substr(0, 397) + "\r\n?");
  auto writes = harness_.Writes();
  ASSERT_EQ(writes.size(), 7u);
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(writes[i].bytes.size(), 64u);
  EXPECT_EQ(writes[6].bytes.size(), 14u);
  EXPECT_GE(writes[6].at - writes[0].at, 60ms);
  EXPECT_EQ(box_->Flash()[0x20000], 0);
}

TEST_F(LinkThreadSim, SilentBoxGivesTimeoutAfterTwoSeconds) {
  AddFault("silence-after=0");
  StartBox();
  StartLink(box_->PortName());
  const auto start = Clock::now();
  EXPECT_EQ(Ask("version\r"), "Timeout");
  const auto took = Clock::now() - start;
  EXPECT_GE(took, 2000ms);
  EXPECT_LT(took, 4000ms);
}

}  // namespace
}  // namespace r7k
