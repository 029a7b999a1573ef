// The link thread against the simulated box over a real pseudo-terminal.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "link/link_test_support.h"
#include "link/link_thread.h"
#include "link/simulated_box.h"
#include "platform/config_files.h"
#include "platform/memory_line.h"
#include "sim/box_simulator.h"

namespace r7k {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class LinkThreadSim : public ::testing::Test {
 protected:
  void SetUp() override {
    image_.resize(FlashImage::kSize);
    for (size_t i = 0; i < image_.size(); ++i) image_[i] = uint8_t(i * 7 + (i >> 8));
    image_[0x10000 + 17] = '?';
    std::ofstream(env_.dir() / "box.r7v", std::ios::binary)
        .write(reinterpret_cast<const char*>(image_.data()), std::streamsize(image_.size()));
    options_.image = env_.dir() / "box.r7v";
  }
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
  void StartLink(std::string port_name) { ASSERT_TRUE(link_.Start(std::move(port_name), harness_.Maker())); }
  std::string Ask(std::string_view command) { return link_.Ask(command).value_or("<none>"); }

  LinkTestEnvironment env_{"linksim"};
  std::vector<uint8_t> image_;
  BoxOptions options_;
  std::unique_ptr<BoxSimulator> box_;
  AnySerialPort port_;
  PortHarness harness_{&port_};
  BoxRecorder boxes_;
  LinkThreadRunner link_;
};

TEST_F(LinkThreadSim, VersionAndBinaryReadThroughTheChannels) {
  StartBox();
  StartLink(box_->PortName());
  EXPECT_EQ(Ask("version\r"), "version\r\nR7kProg 2.10\r\n?");
  const std::string answer = Ask("binread 01 00 00\r");
  ASSERT_EQ(answer.size(), kBinaryAnswerSize);
  EXPECT_EQ(answer.substr(0, 16), "binread 01 00 00");
  EXPECT_TRUE(std::equal(image_.begin() + 0x10000, image_.begin() + 0x10100,
                         reinterpret_cast<const uint8_t*>(answer.data()) + 16));
  EXPECT_EQ(answer.substr(272), "\r\n?");
  EXPECT_TRUE(boxes_.Boxes().empty());
}

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

TEST_F(LinkThreadSim, SlowAnswerWithGapsUnderTwoSecondsIsWaitedFor) {
  AddFault("gap-every=1:1200");
  StartBox();
  StartLink(box_->PortName());
  const auto start = Clock::now();
  const std::string answer = Ask("binread 01 00 00\r");
  EXPECT_GE(Clock::now() - start, 1200ms);
  ASSERT_EQ(answer.size(), kBinaryAnswerSize);
  EXPECT_EQ(answer.substr(272), "\r\n?");
}

TEST_F(LinkThreadSim, SpeedReachesABoxAtThePartnerRateAndIsSaved) {
  options_.baud = 921600;
  StartBox();
  StartLink(box_->PortName());
  EXPECT_EQ(Ask("version\r"), "Timeout");  // the host talks at 460800
  ASSERT_EQ(ChannelSend("R7P", "R7kProg", "speed", 5), kChannelOk);
  EXPECT_EQ(Ask("version\r"), "version\r\nR7kProg 2.10\r\n?");
  EXPECT_EQ(GetProfileString("R7kProg.ini", "Options", "BaudRate"), "921600");
  EXPECT_EQ(port_.Baud(), 921600u);
  ASSERT_EQ(ChannelSend("R7P", "R7kProg", "SPEED", 5), kChannelOk);
  ASSERT_EQ(ChannelSend("R7P", nullptr, "quit", 4), kChannelOk);
  link_.Join();
  EXPECT_EQ(GetProfileString("R7kProg.ini", "Options", "BaudRate"), "460800");
}

TEST_F(LinkThreadSim, PortNameSimRunsTheBoxInsideTheProgram) {
  EXPECT_TRUE(IsSimulatedPortName("Sim"));
  StartLink("sim");
  EXPECT_EQ(Ask("version\r"), "version\r\nR7kProg 2.10\r\n?");
  EXPECT_EQ(Ask("cd\r"), "cd\r\nPresent\r\n?");
  EXPECT_TRUE(boxes_.Boxes().empty());
}

}  // namespace
}  // namespace r7k
