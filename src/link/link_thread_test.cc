#include "link/link_thread.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <thread>

#include "link/link_fixture.h"
#include "link/simulated_box.h"
#include "platform/config_files.h"

namespace r7k {
namespace {

using namespace std::chrono_literals;

TEST(LinkThreadRules, OrdersPartnerRatesAndTheSimulatedPort) {
  EXPECT_TRUE(IsOrder("EXIT", "exit", 4));
  EXPECT_TRUE(IsOrder("comX", "com", 3));
  EXPECT_FALSE(IsOrder("co", "com", 3));
  EXPECT_FALSE(IsOrder("version\r", "quit", 4));
  EXPECT_EQ(PartnerBaudRate(115200), 57600u);
  EXPECT_EQ(PartnerBaudRate(460800), 921600u);
  EXPECT_EQ(PartnerBaudRate(9600), std::nullopt);
  EXPECT_EQ(NoticeTimeoutMs("erase40\r"), 60000u);
  EXPECT_EQ(NoticeTimeoutMs("XRASE"), 60000u);
  EXPECT_EQ(NoticeTimeoutMs("eras"), 2000u);
  EXPECT_TRUE(IsSimulatedPortName("Sim"));
  EXPECT_FALSE(IsSimulatedPortName("sim0"));
}

class PortCollectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    record_.handle = std::make_unique<FakeSerialPort>();
    fake_ = static_cast<FakeSerialPort*>(record_.handle.get());
    std::string error;
    ASSERT_TRUE(fake_->Open("ttyUSB0", &error));
    record_.handshake.Reset();
  }
  PortRecord record_;
  FakeSerialPort* fake_ = nullptr;
  uint8_t buffer_[kAnswerBufferSize + 1] = {};
};

TEST_F(PortCollectTest, AppendsAndReportsThePrompt) {
  size_t room = kAnswerBufferSize;
  fake_->Arrive("version\r\nR7k");
  EXPECT_FALSE(PortCollect(&record_, buffer_, &room));
  EXPECT_TRUE(record_.handshake.IsSet());  // the watcher may post again
  EXPECT_EQ(room, kAnswerBufferSize - 12);
  EXPECT_FALSE(PortCollect(&record_, buffer_ + 12, &room));  // nothing read is no prompt
  fake_->Arrive("Prog\r\n?");
  EXPECT_TRUE(PortCollect(&record_, buffer_ + 12, &room));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer_), kAnswerBufferSize - room),
            "version\r\nR7kProg\r\n?");
  // At most 576 bytes at a time.
  room = kAnswerBufferSize;
  fake_->Arrive(std::string(600, 'a'));
  EXPECT_FALSE(PortCollect(&record_, buffer_, &room));
  EXPECT_EQ(room, kAnswerBufferSize - 576);
}

TEST_F(PortCollectTest, OverlongAnswerKeepsItsTailWithThePrompt) {
  size_t room = 20;
  fake_->Arrive(std::string(30, 'x'));
  EXPECT_FALSE(PortCollect(&record_, buffer_, &room));  // does not fit, no prompt: dropped
  EXPECT_EQ(room, 20u);
  fake_->Arrive(std::string(29, 'y') + "0123456789?");
  EXPECT_TRUE(PortCollect(&record_, buffer_, &room));
  EXPECT_EQ(room, 0u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer_), 20), std::string(9, 'y') + "0123456789?");
  // Within 8 bytes of the end only what was read is kept, so no stale bytes join the answer.
  room = 12;
  fake_->Arrive("abcd?");
  EXPECT_TRUE(PortCollect(&record_, buffer_, &room));
  EXPECT_EQ(room, 7u);
}

class LinkThreadTest : public ::testing::Test {
 protected:
  void Start(std::string port = "ttyUSB0") {
    ASSERT_TRUE(link_.Start(std::move(port), harness_.Maker()));
  }
  std::optional<std::string> Ask(std::string_view command) { return link_.Ask(command); }

  LinkTestEnvironment env_{"link"};
  PortHarness harness_;
  BoxRecorder boxes_;
  LinkThreadRunner link_;
};

TEST_F(LinkThreadTest, CommandIsAnsweredOnTheNamedChannel) {
  harness_.fake.SetResponder([](std::string_view cmd) { return std::string(cmd) + "\r\nok\r\n?"; });
  Start();
  EXPECT_EQ(Ask("version\r"), "version\r\nok\r\n?");
  // The data is sent up to its first zero byte.
  EXPECT_EQ(Ask(std::string_view("cd\r\0junk", 8)), "cd\r\nok\r\n?");
  EXPECT_EQ(harness_.fake.Commands(), (std::vector<std::string>{"version", "cd"}));
  link_.Stop();
  EXPECT_EQ(link_.exit_code(), kLinkThreadExitCode);
  EXPECT_FALSE(harness_.fake.IsOpen());
  EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(LinkThreadTest, CommandsGoOutIn64BytePiecesWithPauses) {
  harness_.fake.SetResponder([](std::string_view) { return std::string("?"); });
  Start();
  const std::string exact = std::string(63, 'a') + "\r";
  ASSERT_TRUE(Ask(exact));
  auto writes = harness_.Writes();
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].bytes, exact);
  const std::string longer = std::string(64, 'b') + "\r";
  ASSERT_TRUE(Ask(longer));
  writes = harness_.Writes();
  ASSERT_EQ(writes.size(), 3u);
  EXPECT_EQ(writes[1].bytes, longer.substr(0, 64));
  EXPECT_EQ(writes[2].bytes, "\r");
  EXPECT_GE(writes[2].at - writes[1].at, 10ms);
}

TEST_F(LinkThreadTest, StaleInputIsDroppedBeforeACommand) {
  harness_.fake.SetResponder([](std::string_view cmd) { return std::string(cmd) + "?"; });
  Start();
  harness_.fake.Arrive("garbage?");
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(Ask("bits\r"), "bits?");
}

TEST_F(LinkThreadTest, LineErrorAnswersOverrun) {
  harness_.fake.SetResponder([this](std::string_view) {
    harness_.fake.ArriveLineError();
    return std::string();
  });
  Start();
  EXPECT_EQ(Ask("model\r"), "Overrun");
  // The watcher was released: the next command works.
  harness_.fake.SetResponder([](std::string_view cmd) { return std::string(cmd) + "?"; });
  EXPECT_EQ(Ask("model\r"), "model?");
}

TEST_F(LinkThreadTest, PromptInsideBinaryDataDoesNotEndTheAnswer) {
  std::string data(256, '\0');
  for (int i = 0; i < 256; ++i) data[i] = char(i);
  data[99] = '?';
  const std::string full = "binread 01 00 00" + data + "\r\n?";
  ASSERT_EQ(full.size(), kBinaryAnswerSize);
  Event asked;
  harness_.fake.SetResponder([&](std::string_view) {
    asked.Set();
    return std::string();
  });
  std::thread box([&] {
    ASSERT_TRUE(asked.Wait(5s));
    harness_.fake.Arrive(full.substr(0, 116));  // ends with the "?" data byte
    std::this_thread::sleep_for(100ms);
    harness_.fake.Arrive(full.substr(116));
  });
  Start();
  EXPECT_EQ(Ask("binread 01 00 00\r"), full);
  box.join();
  // A binary answer of another length that ends like one is an overrun.
  harness_.fake.SetResponder(
      [](std::string_view cmd) { return std::string(cmd) + std::string(200, 'z') + "\r\n?"; });
  EXPECT_EQ(Ask("B16READ 01 00 00\r"), "overrun");
}

TEST_F(LinkThreadTest, OrdersAreObeyedWithoutAnswer) {
  harness_.fake.SetResponder([](std::string_view cmd) { return std::string(cmd) + "?"; });
  Start();
  ASSERT_EQ(ChannelSend("R7P", "R7kProg", "SPEED", 5), kChannelOk);
  ASSERT_EQ(ChannelSend("R7P", "R7kProg", "Com", 3), kChannelOk);
  EXPECT_EQ(Ask("cd\r"), "cd?");  // the first message on "R7kProg" is this answer
  EXPECT_EQ(harness_.fake.ConfiguredBauds(), (std::vector<uint32_t>{460800, 921600, 921600}));
  EXPECT_EQ(GetProfileString("R7kProg.ini", "Options", "BaudRate"), "921600");
  ASSERT_EQ(ChannelSend("R7P", "R7kProg", "speed", 5), kChannelOk);
  EXPECT_EQ(Ask("cd\r"), "cd?");
  EXPECT_EQ(GetProfileString("R7kProg.ini", "Options", "BaudRate"), "460800");
  ASSERT_EQ(ChannelSend("R7P", nullptr, "Exit", 4), kChannelOk);
  link_.Join();
  EXPECT_EQ(link_.exit_code(), kLinkThreadExitCode);
  EXPECT_FALSE(TakeMessage("R7kProg", 100));
  EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(LinkThreadTest, PortThatGoesAwayDuringAnEraseEndsTheWaitAndTheThread) {
  harness_.fake.SetResponder([this](std::string_view) {
    harness_.fake.HangUp();
    return std::string();
  });
  Start();
  // Well before the minute an erase answer may take.
  EXPECT_EQ(link_.Ask("erase40\r", 5000), "Timeout");
  link_.Join();
  EXPECT_EQ(link_.exit_code(), kLinkThreadExitCode);
}

TEST_F(LinkThreadTest, PortThatDoesNotOpenEndsTheThreadWithABox) {
  harness_.fake.FailOpen("No such file or directory");
  Start("ttyUSB9");
  link_.Join();
  EXPECT_EQ(link_.exit_code(), kLinkThreadExitCode);
  auto boxes = boxes_.Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Vardex R7000 Programmer");
  EXPECT_EQ(boxes[0].text,
            "Connection failed.\nCannot open port ttyUSB9: No such file or directory");
  EXPECT_EQ(boxes[0].type, kBoxExclamation);
}

TEST_F(LinkThreadTest, FailedWriteIsToldOnceAndTheCommandTimesOutAfterTwoSeconds) {
  harness_.fake.FailWrites(true);
  Start();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Ask(std::string(100, 'w') + "\r"), "Timeout");
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, 2000ms);
  EXPECT_LT(took, 4000ms);
  auto boxes = boxes_.Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Command failed.");
}

}  // namespace
}  // namespace r7k
