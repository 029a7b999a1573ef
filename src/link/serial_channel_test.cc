#include "link/serial_channel.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include "link/link_fixture.h"
#include "platform/config_files.h"

namespace r7k {
namespace {

using namespace std::chrono_literals;

TEST(SerialChannel, WindowsPortNumbersAndTheLinkTypesRates) {
  const std::vector<std::pair<const char*, int>> numbers = {
      {"Com3", 3}, {"COM255", 255}, {"Com", 0},    {"ComX", 0},
      {"Com0", 0}, {"Com300", 0},   {"ttyUSB0", 0}};
  for (const auto& [name, number] : numbers) EXPECT_EQ(ComPortNumber(name), number) << name;
  EXPECT_EQ(DefaultBaudRate("USB"), 460800u);
  EXPECT_EQ(DefaultBaudRate("RS232"), 57600u);
  EXPECT_EQ(DefaultBaudRate("other"), 57600u);
}

class SerialChannelPort : public ::testing::Test {
 protected:
  void TearDown() override {
    if (record_) PortDestroy(std::move(record_));
  }
  PortRecord* Open(const std::string& link_type = "USB", const std::string& name = "ttyUSB0") {
    LinkStartParams params;
    params.port_name = name;
    params.link_type = link_type;
    params.make_port = harness_.Maker();
    record_ = PortCreate(params);
    return record_.get();
  }

  LinkTestEnvironment env_{"serial"};
  PortHarness harness_;
  std::unique_ptr<PortRecord> record_;
  BoxRecorder boxes_;
};

TEST_F(SerialChannelPort, OpensAtTheLinkTypeRateWithTheLinesUp) {
  PortRecord* port = Open("USB");
  ASSERT_TRUE(PortOpen(port)) << port->last_error;
  EXPECT_TRUE(port->connected);
  EXPECT_EQ(harness_.fake.OpenedName(), "ttyUSB0");
  EXPECT_EQ(harness_.fake.ConfiguredBauds(), std::vector<uint32_t>{460800});
  EXPECT_TRUE(harness_.fake.Dtr());
  EXPECT_TRUE(harness_.fake.Rts());
  ASSERT_TRUE(PortClose(port));
  EXPECT_FALSE(port->connected);
  EXPECT_FALSE(harness_.fake.Dtr());
  EXPECT_FALSE(harness_.fake.IsOpen());
  EXPECT_EQ(port->watcher_id, 0u);
  EXPECT_TRUE(boxes_.Boxes().empty());
  // Closing ends the watcher's wait without telling the link thread to end.
  EXPECT_FALSE(TakeMessage("R7P", 100));
}

TEST_F(SerialChannelPort, ProfileRateOverridesBothLinkTypes) {
  ASSERT_TRUE(WriteProfileString("R7kProg.ini", "Options", "BaudRate", ""));
  PortRecord* port = Open("RS232");
  ASSERT_TRUE(PortOpen(port));
  EXPECT_EQ(port->baud_rate, 57600u);
  PortClose(port);
  ASSERT_TRUE(WriteProfileString("R7kProg.ini", "Options", "BaudRate", "115200"));
  ASSERT_TRUE(PortOpen(port));
  EXPECT_EQ(port->baud_rate, 115200u);
  PortClose(port);
  PortDestroy(std::move(record_));
  port = Open("USB");
  ASSERT_TRUE(PortOpen(port));
  EXPECT_EQ(harness_.fake.ConfiguredBauds(), (std::vector<uint32_t>{57600, 115200, 115200}));
  // A rate the box does not speak (not a number, or not one of the pairs) keeps the link
  // type's, and the user hears why: at another rate nothing would ever answer.
  PortClose(port);
  PortDestroy(std::move(record_));
  for (const char* text : {"fast", "12345", "0", "99999999999"}) {
    ASSERT_TRUE(WriteProfileString("R7kProg.ini", "Options", "BaudRate", text));
    EXPECT_EQ(ProfileBaudRate(), std::nullopt) << text;
  }
  port = Open("USB");
  ASSERT_TRUE(PortOpen(port));
  EXPECT_EQ(port->baud_rate, 460800u);
  ASSERT_EQ(boxes_.Boxes().size(), 1u);
  EXPECT_EQ(boxes_.Boxes()[0].text,
            "BaudRate=99999999999 in R7kProg.ini is not a rate the box speaks (57600, 115200, "
            "460800 or 921600); using 460800.");
}

TEST_F(SerialChannelPort, FailedOpensSayWhy) {
  PortRecord* port = Open("USB", "");
  EXPECT_FALSE(PortOpen(port));
  EXPECT_NE(port->last_error.find("No port"), std::string::npos);
  PortDestroy(std::move(record_));
  harness_.fake.FailOpen("No such file or directory");
  port = Open("USB", "ttyUSB9");
  EXPECT_FALSE(PortOpen(port));
  EXPECT_EQ(port->last_error, "Cannot open port ttyUSB9: No such file or directory");
  EXPECT_FALSE(port->connected);
  EXPECT_TRUE(boxes_.Boxes().empty());  // the link thread reports it
}

TEST_F(SerialChannelPort, WatcherKeepsOneNoticeOutstanding) {
  PortRecord* port = Open();
  ASSERT_TRUE(PortOpen(port));
  harness_.fake.Arrive("abc");
  auto first = TakeMessage("CommThread", 2000);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->first, "");
  EXPECT_EQ(first->second, "");
  harness_.fake.Arrive("def");
  EXPECT_FALSE(TakeMessage("CommThread", 200));  // not until the link thread has read
  uint8_t buffer[16];
  EXPECT_EQ(PortReadAvailable(port, buffer, sizeof buffer), 6u);
  port->handshake.Set();
  harness_.fake.Arrive("g");
  EXPECT_TRUE(TakeMessage("CommThread", 2000));
}

TEST_F(SerialChannelPort, PortThatGoesAwayTellsTheLinkThreadToExit) {
  PortRecord* port = Open();
  ASSERT_TRUE(PortOpen(port));
  harness_.fake.HangUp();
  auto notice = TakeMessage("CommThread", 2000);
  ASSERT_TRUE(notice);
  EXPECT_EQ(notice->first, "Timeout") << "an answer still awaited will not come";
  auto order = TakeMessage("R7P", 2000);
  ASSERT_TRUE(order);
  EXPECT_EQ(order->second, "exit");
  // The watcher has gone; closing proceeds without a box.
  for (int i = 0; i < 100 && port->watcher_id != 0; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_TRUE(PortClose(port));
  EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST(SerialChannelDestroy, WithoutRecordShowsABox) {
  BoxRecorder boxes;
  PortDestroy(nullptr);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, "Explain!");
  EXPECT_EQ(boxes.Boxes()[0].caption, "pcommInfo = 0 in destroy");
}

}  // namespace
}  // namespace r7k
