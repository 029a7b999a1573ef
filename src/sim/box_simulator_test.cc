#include "sim/box_simulator.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "module/builtin_images.h"
#include "platform/file_io.h"
#include "platform/memory_line.h"
#include "testing/scratch_folder.h"

namespace r7k {
namespace {

using Clock = std::chrono::steady_clock;

// Collects an answer the way the host frames it: up to a final "?", and for binary reads only
// at 275 bytes. Gives what came when `ms` pass without a byte.
std::string Collect(SerialPort& port, bool binary, int ms = 500) {
  std::string got;
  while (port.WaitEvent(ms) == SerialEvent::kReadable) {
    uint8_t buf[600];
    size_t n = port.ReadAvailable(buf);
    got.append(buf, buf + n);
    if (!got.empty() && got.back() == '?' && (!binary || got.size() >= 275)) break;
  }
  return got;
}

std::string Ask(SerialPort& port, const std::string& command, int ms = 500) {
  EXPECT_TRUE(port.Write(std::string_view(command)));
  return Collect(port, command.starts_with("binread") || command.starts_with("b16read"), ms);
}

class BoxSimulatorTest : public ::testing::Test {
 protected:
  // What the box answers and the flash it keeps are the program's read and write tests'; these
  // are the line's timing and the faults.
  void SetUp() override {
    options_.contents.assign(FlashImage::kSize, 0xFF);
    options_.log = dir_ / "box.log";
  }
  void TearDown() override { sim_.reset(); }

  void Start(uint32_t host_baud = 460800) {
    std::string error;
    sim_ = BoxSimulator::Start(options_, &error);
    ASSERT_TRUE(sim_) << error;
    ASSERT_TRUE(port_.Open(sim_->PortName(), &error)) << error;
    ASSERT_TRUE(port_.Configure(host_baud, &error)) << error;
  }

  std::vector<std::string> LogLines() {
    std::ifstream in(options_.log);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  ScratchDir scratch_;
  std::filesystem::path dir_ = scratch_.path();
  BoxOptions options_;
  std::unique_ptr<BoxSimulator> sim_;
  AnySerialPort port_;
};

TEST_F(BoxSimulatorTest, PacedAnswersTakeLineTime) {
  options_.pace = true;
  options_.baud = 57600;
  Start(57600);
  auto start = Clock::now();
  ASSERT_EQ(Ask(port_, "binread 00 00 00\r").size(), 275u);
  // 275 bytes at 5760 bytes a second take about 48 ms; only a lower bound is safe to check,
  // and half of it tells pacing from none.
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(24));
}

TEST_F(BoxSimulatorTest, HangUpFaultClosesTheLine) {
  options_.faults.push_back(*ParseFault("hangup-after=1", nullptr));
  Start();
  EXPECT_EQ(Ask(port_, "cd\r"), "cd\r\nPresent\r\n?");
  EXPECT_EQ(port_.WaitEvent(1000), SerialEvent::kHangup);
  for (int i = 0; i < 100 && !sim_->Finished(); ++i) ::usleep(10000);
  EXPECT_TRUE(sim_->Finished());
  EXPECT_EQ(sim_->FaultCounts().at("hangup-after"), 1);
}

TEST_F(BoxSimulatorTest, GapHoldsTheAnswerBackWithoutBreakingIt) {
  options_.faults.push_back(*ParseFault("gap-every=1:300", nullptr));
  Start();
  auto start = Clock::now();
  EXPECT_EQ(Ask(port_, "version\r", 1000), "version\r\nR7kProg 2.10\r\n?");
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(300));
  EXPECT_EQ(LogLines(), std::vector<std::string>{"version [gap-every]"});
}

TEST_F(BoxSimulatorTest, SlowEraseEchoesThenWorksAndStillStops) {
  options_.faults.push_back(*ParseFault("slow-erase", nullptr));
  Start();
  ASSERT_TRUE(port_.Write(std::string_view("erase40\r")));
  EXPECT_EQ(Collect(port_, false, 300), "erase40\r\n");
  auto start = Clock::now();
  sim_->Stop();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(sim_->FaultCounts().at("slow-erase"), 1);
}

TEST(BoxArgumentsTest, ReadsEveryOptionAndRefusesBadOnes) {
  BoxOptions o;
  std::string error;
  ASSERT_TRUE(ParseBoxArguments(
      {"--image", "m.r7v",   "--chip",       "01a4",    "--no-card",  "--baud",     "921600",
       "--pace",  "--fault", "drop-every=3", "--fault", "slow-erase", "--seed",     "9",
       "--log",   "l.txt",   "--revision",   "1",       "--16bit",    "--erase-ms", "5"},
      &o, &error))
      << error;
  EXPECT_EQ(o.image, "m.r7v");
  EXPECT_EQ(o.box.chip, "01A400");
  EXPECT_FALSE(o.box.card_present);
  EXPECT_EQ(o.baud, 921600u);
  EXPECT_TRUE(o.pace);
  EXPECT_EQ(o.faults.size(), 2u);
  EXPECT_EQ(o.seed, 9u);
  EXPECT_EQ(o.log, "l.txt");
  EXPECT_EQ(o.box.revision, 1);
  EXPECT_TRUE(o.box.sixteen_bit);
  EXPECT_EQ(o.box.erase_ms, 5);

  EXPECT_FALSE(ParseBoxArguments({"--baud", "12345"}, &o, &error));
  EXPECT_EQ(error, "Unsupported baud rate 12345");
  EXPECT_FALSE(ParseBoxArguments({"--chip", "XYZW"}, &o, &error));
  EXPECT_FALSE(ParseBoxArguments({"--chip", "123400"}, &o, &error));
  EXPECT_EQ(error, "--chip 123400: no flash chip of the table has the code 1234");
  EXPECT_FALSE(ParseBoxArguments({"--revision", "4"}, &o, &error));
  EXPECT_FALSE(ParseBoxArguments({"--image"}, &o, &error));
  EXPECT_EQ(error, "Option --image needs a value");
  EXPECT_FALSE(ParseBoxArguments({"--frobnicate"}, &o, &error));
  EXPECT_EQ(error, "Unknown option --frobnicate");
}

TEST(BoxSimulatorStartTest, CreatesAMissingImageTakesGivenContentAndRefusesBadOnes) {
  const ScratchDir scratch;
  const auto path = scratch / "new.r7v";
  BoxOptions o;
  o.image = path;
  std::string error;
  auto sim = BoxSimulator::Start(o, &error);
  ASSERT_TRUE(sim) << error;
  // The default content is the built-in demo module.
  std::span<const uint8_t> demo = BuiltinImage("demo");
  ASSERT_EQ(demo.size(), FlashImage::kSize);
  const std::vector<uint8_t> saved =
      ReadFileBytes(path, FlashImage::kSize).value_or(std::vector<uint8_t>());
  EXPECT_TRUE(std::equal(saved.begin(), saved.end(), demo.begin(), demo.end()));
  EXPECT_EQ(sim->Flash(), saved);
  sim.reset();

  o.image = path / "below" / "a" / "file.r7v";
  EXPECT_FALSE(BoxSimulator::Start(o, &error));
  EXPECT_TRUE(error.starts_with("Cannot save image ")) << error;

  std::ofstream(path, std::ios::binary) << "short";
  o.image = path;
  EXPECT_FALSE(BoxSimulator::Start(o, &error));
  EXPECT_EQ(error, "Image " + path.string() + " is not a module image of 524288 bytes");

  o.image.clear();
  o.contents.assign(FlashImage::kSize, 0x5A);
  sim = BoxSimulator::Start(o, &error);
  ASSERT_TRUE(sim) << error;
  EXPECT_EQ(sim->Flash(), o.contents);
  o.contents.resize(100);
  EXPECT_FALSE(BoxSimulator::Start(o, &error));
  EXPECT_EQ(error, "A module image has 524288 bytes");
}

}  // namespace
}  // namespace r7k
