#include "platform/posix_serial_port.h"

#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/posix_termios.h"
#include "platform/pseudo_terminal.h"

namespace r7k {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(ParmrkDecoderTest, UnescapesFFReportsDamagedBytesAndJoinsMarksSplitAcrossReads) {
  ParmrkDecoder d;
  Bytes out;
  EXPECT_EQ(d.Decode(Bytes{'a', 0x00, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF}, &out), 0u);
  EXPECT_EQ(out, (Bytes{'a', 0x00, 0xFF, 0x7F, 0xFF}));
  out.clear();
  EXPECT_EQ(d.Decode(Bytes{'x', 0xFF, 0x00, 'Q', 'y', 0xFF, 0x00, 0x00}, &out), 2u);
  EXPECT_EQ(out, (Bytes{'x', 'y'}));
  out.clear();
  EXPECT_EQ(d.Decode(Bytes{'a', 0xFF}, &out), 0u);
  EXPECT_EQ(d.Decode(Bytes{0xFF, 0xFF}, &out), 0u);
  EXPECT_EQ(d.Decode(Bytes{0x00}, &out), 0u);
  EXPECT_EQ(d.Decode(Bytes{'Z', 'b'}, &out), 1u);
  EXPECT_EQ(out, (Bytes{'a', 0xFF, 'b'}));
}

TEST(TermiosTest, KnowsTheBoxRatesOnly) {
  for (uint32_t baud : {57600u, 115200u, 460800u, 921600u}) {
    auto speed = BaudToSpeed(baud);
    ASSERT_TRUE(speed) << baud;
    EXPECT_EQ(SpeedToBaud(*speed), baud);
  }
  EXPECT_FALSE(BaudToSpeed(12345));
  EXPECT_FALSE(BaudToSpeed(0));
}

TEST(PosixSerialPortTest, NameWithoutPortGivesClearText) {
  PosixSerialPort port;
  std::string error;
  EXPECT_FALSE(port.Open("ttyR7kMissing9", &error));
  EXPECT_EQ(error, "Cannot open port ttyR7kMissing9: No such file or directory");
  EXPECT_FALSE(port.Open("null", &error));
  EXPECT_EQ(error, "Cannot open port null: not a serial port");
  EXPECT_FALSE(port.Open("", &error));
  EXPECT_EQ(error, "Cannot open port : no port name given");
  EXPECT_FALSE(port.IsOpen());
}

class PtyPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    auto pty = PseudoTerminal::Open(&error);
    ASSERT_TRUE(pty) << error;
    pty_ = std::move(*pty);
    ASSERT_EQ(pty_.name().rfind("pts/", 0), 0u) << pty_.name();
    ASSERT_TRUE(port_.Open(pty_.name(), &error)) << error;
    ASSERT_TRUE(port_.Configure(460800, &error)) << error;
  }

  void MasterWrite(const Bytes& bytes) {
    ASSERT_EQ(::write(pty_.master_fd(), bytes.data(), bytes.size()), ssize_t(bytes.size()));
  }

  // Reads from the port until n bytes came or a second passed.
  Bytes ReadPort(size_t n) {
    Bytes got;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (got.size() < n && std::chrono::steady_clock::now() < end) {
      if (port_.WaitEvent(100) != SerialEvent::kReadable) continue;
      uint8_t buf[300];
      size_t k = port_.ReadAvailable(buf);
      got.insert(got.end(), buf, buf + k);
    }
    return got;
  }

  PseudoTerminal pty_;
  PosixSerialPort port_;
};

TEST_F(PtyPortTest, ConfiguresRateSeenByTheOtherEnd) {
  termios t{};
  ASSERT_EQ(::tcgetattr(pty_.master_fd(), &t), 0);
  EXPECT_EQ(SpeedToBaud(::cfgetospeed(&t)), 460800u);
  EXPECT_EQ(port_.Baud(), 460800u);
  std::string error;
  EXPECT_FALSE(port_.Configure(12345, &error));
  EXPECT_EQ(error, "Cannot set port " + pty_.name() + " to 12345 baud: unsupported rate");
  EXPECT_EQ(port_.Baud(), 460800u);
  // A pseudo-terminal has no modem lines; raising and lowering them is not an error.
  EXPECT_TRUE(port_.SetDtr(true));
  EXPECT_TRUE(port_.SetRts(true));
  EXPECT_TRUE(port_.SetDtr(false));
}

TEST_F(PtyPortTest, EveryByteValueComesThroughUnchanged) {
  Bytes all;
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 256; ++i) all.push_back(uint8_t(i));
  }
  for (int i = 0; i < 64; ++i) all.push_back(0xFF);
  all.push_back(0x00);
  MasterWrite(all);
  EXPECT_EQ(ReadPort(all.size()), all);

  ASSERT_TRUE(port_.Write(std::string_view("version\r")));
  char buf[16] = {};
  ssize_t n = 0;
  for (int i = 0; i < 100 && n <= 0; ++i) {
    n = ::read(pty_.master_fd(), buf, sizeof buf);
    if (n <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(std::string(buf, size_t(std::max<ssize_t>(n, 0))), "version\r");
}

TEST_F(PtyPortTest, WaitEndsOnTimeoutDataAbortAndHangup) {
  EXPECT_EQ(port_.WaitEvent(20), SerialEvent::kTimeout);

  MasterWrite(Bytes{'?'});
  EXPECT_EQ(port_.WaitEvent(1000), SerialEvent::kReadable);
  port_.Purge();
  EXPECT_EQ(port_.WaitEvent(20), SerialEvent::kTimeout);

  std::thread aborter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    port_.AbortWait();
  });
  EXPECT_EQ(port_.WaitEvent(-1), SerialEvent::kAborted);
  aborter.join();

  std::string error;
  ASSERT_TRUE(port_.Open(pty_.name(), &error)) << error;  // a fresh open clears the abort
  EXPECT_EQ(port_.WaitEvent(20), SerialEvent::kTimeout);
  pty_.Close();
  EXPECT_EQ(port_.WaitEvent(1000), SerialEvent::kHangup);
}

}  // namespace
}  // namespace r7k
