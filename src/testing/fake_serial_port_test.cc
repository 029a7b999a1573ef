#include "testing/fake_serial_port.h"

#include <gtest/gtest.h>

#include <thread>

namespace r7k {
namespace {

std::string ReadAll(SerialPort& port) {
  uint8_t buf[64];
  std::string out;
  while (size_t n = port.ReadAvailable(buf)) out.append(buf, buf + n);
  return out;
}

TEST(FakeSerialPortTest, ScriptedRepliesThenResponder) {
  FakeSerialPort port;
  port.AddReply("version\r\nR7kProg 2.10\r\n?");
  port.SetResponder([](std::string_view command) { return std::string(command) + "\r\n?"; });
  std::string error;
  ASSERT_TRUE(port.Open("pts/9", &error));
  ASSERT_TRUE(port.Configure(460800, &error));
  ASSERT_TRUE(port.Write(std::string_view("vers")));
  EXPECT_EQ(port.WaitEvent(0), SerialEvent::kTimeout);  // no answer before the "\r"
  ASSERT_TRUE(port.Write(std::string_view("ion\rled off\r")));
  EXPECT_EQ(port.WaitEvent(0), SerialEvent::kReadable);
  EXPECT_EQ(ReadAll(port), "version\r\nR7kProg 2.10\r\n?led off\r\n?");
  EXPECT_EQ(port.Commands(), (std::vector<std::string>{"version", "led off"}));
  EXPECT_EQ(port.Written(), "version\rled off\r");
  EXPECT_EQ(port.ConfiguredBauds(), std::vector<uint32_t>{460800});
  EXPECT_EQ(port.OpenedName(), "pts/9");
}

TEST(FakeSerialPortTest, LineErrorsAbortAndFailures) {
  FakeSerialPort port;
  port.FailOpen("No such file or directory");
  std::string error;
  EXPECT_FALSE(port.Open("ttyUSB9", &error));
  EXPECT_EQ(error, "Cannot open port ttyUSB9: No such file or directory");

  FakeSerialPort open_port;
  ASSERT_TRUE(open_port.Open("ttyUSB0", &error));
  open_port.ArriveLineError();
  EXPECT_EQ(open_port.WaitEvent(0), SerialEvent::kLineError);
  EXPECT_EQ(open_port.WaitEvent(0), SerialEvent::kTimeout);
  std::thread t([&] { open_port.AbortWait(); });
  EXPECT_EQ(open_port.WaitEvent(-1), SerialEvent::kAborted);
  t.join();
  open_port.FailWrites(true);
  EXPECT_FALSE(open_port.Write(std::string_view("x\r")));
}

}  // namespace
}  // namespace r7k
