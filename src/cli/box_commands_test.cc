// The box commands against a simulated box started by the command itself (--sim), run
// in-process.

#include <gtest/gtest.h>
#include <stdlib.h>

#include "cli/cli_test_util.h"
#include "cli/commands.h"
#include "module/builtin_images.h"

namespace r7k::cli {
namespace {

using testing::RunR7k;

class BoxCommands : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("R7K_CONFIG_DIR", dir_.File("config").c_str(), 1); }
  void TearDown() override { ::unsetenv("R7K_CONFIG_DIR"); }
  testing::TempDir dir_;
};

TEST_F(BoxCommands, CheckPrintsWhatTheModuleCheckFound) {
  auto run = RunR7k({"check", "--sim"});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_EQ(run.out,
            "Type          29F040\n"
            "CardType      SGS M29F040B\n"
            "CardID        8418 (20E2)\n"
            "Sector0       00\n"
            "CardDetect    Present\n"
            "ModuleVersion R7kProg 2.10\n"
            "Revision      2\n"
            "Serial        528\n"
            "Protected     0\n");
  EXPECT_EQ(run.err, "");
  run = RunR7k({"check", "--sim", "--chip", "01A401", "--json"});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_NE(run.out.find("\"CardType\": \"AMD Am29F040B\""), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"CardID\": 420,"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"16bit\": null"), std::string::npos) << run.out;
}

TEST_F(BoxCommands, VersionIsTheWordTheBoxReports) {
  auto run = RunR7k({"version", "--sim"});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_EQ(run.out, "ModuleVersion 0210\n");
  run = RunR7k({"version", "--sim", "--json"});
  EXPECT_EQ(run.out, "{\n  \"ModuleVersion\": \"0210\"\n}\n");
}

TEST_F(BoxCommands, CheckWithoutAModuleOrAnswerFailsAtOnce) {
  auto run = RunR7k({"check", "--sim", "--no-card"});
  EXPECT_EQ(run.status, kExitFailure);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "No card in reader.\n");
  // A silent box: the link's "Timeout" after 2 s ends the check.
  run = RunR7k({"check", "--sim", "--fault", "silence-after=0"});
  EXPECT_EQ(run.status, kExitFailure);
  EXPECT_EQ(run.err, "Module Informatiuon: Device not responding!\n");
}

TEST_F(BoxCommands, ACheckThatLostAnAnswerIsTriedAgain) {
  // The simulated box's losses are drawn from a fixed seed: the first two checks lose one.
  auto run = RunR7k({"check", "--sim", "--fault", "drop-rate=0.05"});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_EQ(run.err.find("Module Informatiuon: The communication process timed out.\n"
                         "Checking the module again...\n"),
            0u)
      << run.err;
  EXPECT_NE(run.out.find("CardDetect    Present"), std::string::npos);
  // Three tries, then the command gives up.
  run = RunR7k({"check", "--sim", "--fault", "drop-every=5"});
  EXPECT_EQ(run.status, kExitFailure);
  size_t tries = 0;
  for (size_t at = 0; (at = run.err.find("timed out", at)) != std::string::npos; ++at) ++tries;
  EXPECT_EQ(tries, 3u) << run.err;
}

TEST_F(BoxCommands, TraceShowsTheWireInPrintableForm) {
  const auto run = RunR7k({"check", "--sim", "--trace", "--no-card"});
  EXPECT_EQ(run.status, kExitFailure);
  EXPECT_EQ(run.err.rfind("-> led green\\r\n<- led green\\r\\n?\n-> version\\r\n", 0), 0u) << run.err;
  EXPECT_NE(run.err.find("<- cd\\r\\nNot Present\\r\\n?\n"), std::string::npos) << run.err;
}

TEST_F(BoxCommands, ReadGivesTheBoxFlashByteForByte) {
  const std::string module = dir_.File("read.r7v");
  const auto run = RunR7k({"read", module, "--sim"});
  ASSERT_EQ(run.status, kExitOk) << run.err;
  EXPECT_EQ(run.out, module + "\n");
  const auto demo = BuiltinImage("demo");
  EXPECT_EQ(testing::ReadBytes(module), std::vector<uint8_t>(demo.begin(), demo.end()));
}

TEST_F(BoxCommands, ReadDataDamagedOnTheLineIsSettledByAThirdRead) {
  // The answers carry no checksum: a damaged data byte passes a read unnoticed, but not the
  // comparison with another read; the third read outvotes the damage.
  const std::string module = dir_.File("noisy.r7v");
  const auto run = RunR7k({"read", module, "--sim", "--fault", "corrupt-every=300"});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_NE(run.err.find("reading a third time to settle them"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("Settled: every byte agreed in two of the three reads."), std::string::npos);
  const auto demo = BuiltinImage("demo");
  EXPECT_EQ(testing::ReadBytes(module), std::vector<uint8_t>(demo.begin(), demo.end()));
}

TEST_F(BoxCommands, ReadWhoseSecondReadFailsLeavesTheFileAsItWas) {
  // The box falls silent after the first read's 2050 rows and its check.
  const std::string module = dir_.File("mine.r7v");
  const std::vector<uint8_t> mine(524288, 0x42);
  testing::WriteBytes(module, mine);
  const auto run = RunR7k({"read", module, "--sim", "--yes", "--fault", "silence-after=2080"});
  EXPECT_EQ(run.status, kExitFailure);
  EXPECT_NE(run.err.find("could not be read a second time"), std::string::npos) << run.err;
  EXPECT_EQ(testing::ReadBytes(module), mine);
}

TEST_F(BoxCommands, ReadOntoAnExistingFileOnlyWithYes) {
  const std::string module = dir_.File("mine.r7v");
  const std::vector<uint8_t> mine(524288, 0x42);
  testing::WriteBytes(module, mine);
  auto run = RunR7k({"read", module, "--sim"});
  EXPECT_EQ(run.status, kExitFailure);
  EXPECT_NE(run.err.find("run again with --yes"), std::string::npos) << run.err;
  EXPECT_EQ(testing::ReadBytes(module), mine);
  run = RunR7k({"read", module, "--sim", "--yes"});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_EQ(testing::ReadBytes(module).size(), 524288u);
  EXPECT_NE(testing::ReadBytes(module), mine);
}

TEST_F(BoxCommands, ReadFromASilentBoxEndsWithoutAFile) {
  const std::string module = dir_.File("none.r7v");
  const auto run = RunR7k({"read", module, "--sim", "--fault", "silence-after=0"});
  EXPECT_EQ(run.status, kExitFailure);
  EXPECT_FALSE(std::filesystem::exists(module));
}

TEST_F(BoxCommands, ABoxThatHangsUpOrAPortThatDoesNotOpenEndsTheCommandAtOnce) {
  const std::string module = dir_.File("none.r7v");
  auto run = RunR7k({"read", module, "--sim", "--fault", "hangup-after=100"});
  EXPECT_EQ(run.status, kExitFailure);
  EXPECT_NE(run.err.find("The link to the box has ended; giving up."), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(module));
  run = RunR7k({"check", "--port", "ttyR7kNone"});
  EXPECT_EQ(run.status, kExitFailure);
  EXPECT_EQ(run.err.rfind("Vardex R7000 Programmer: Connection failed.\n", 0), 0u) << run.err;
}

TEST_F(BoxCommands, WriteThenReadBackIntoTheBoxFlash) {
  // The box starts with a flash of zeros, kept in its image file.
  const std::string flash = dir_.File("flash.r7v");
  testing::WriteBytes(flash, std::vector<uint8_t>(524288, 0x00));
  const std::string module = dir_.File("demo.r7v");
  const auto demo = BuiltinImage("demo");
  testing::WriteBytes(module, demo);
  const auto run = RunR7k({"write", module, "--sim=" + flash});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_NE(run.err.find("Verified: the module holds the file's 524288 bytes."), std::string::npos)
      << run.err;
  EXPECT_EQ(testing::ReadBytes(flash), std::vector<uint8_t>(demo.begin(), demo.end()));
}

TEST_F(BoxCommands, WriteWhoseReadBackIsDamagedReadsTheDoubtfulBytesAgain) {
  const std::string flash = dir_.File("flash.r7v");
  testing::WriteBytes(flash, std::vector<uint8_t>(524288, 0x00));
  const std::string module = dir_.File("demo.r7v");
  const auto demo = BuiltinImage("demo");
  testing::WriteBytes(module, demo);
  const auto run = RunR7k({"write", module, "--sim=" + flash, "--fault", "corrupt-every=300"});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_NE(run.err.find("differ from the file; reading back again..."), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("Verified: the module holds the file's 524288 bytes."), std::string::npos);
  EXPECT_EQ(testing::ReadBytes(flash), std::vector<uint8_t>(demo.begin(), demo.end()));
}

TEST_F(BoxCommands, WriteToAnotherChipIsRefused) {
  const std::string module = dir_.File("demo.r7v");
  testing::WriteBytes(module, BuiltinImage("demo"));
  const auto run = RunR7k({"write", module, "--sim", "--chip", "20F100"});
  EXPECT_EQ(run.status, kExitFailure);
  EXPECT_NE(run.err.find("Write Module: Module not supported by the R7kProg firmware."),
            std::string::npos)
      << run.err;
}

TEST_F(BoxCommands, EraseAsksFirst) {
  const std::string flash = dir_.File("flash.r7v");
  testing::WriteBytes(flash, std::vector<uint8_t>(524288, 0x00));
  auto run = RunR7k({"erase", "--sim=" + flash});
  EXPECT_EQ(run.status, kExitFailure);
  EXPECT_NE(run.err.find("Erase Module: Are you sure? no"), std::string::npos) << run.err;
  EXPECT_EQ(testing::ReadBytes(flash), std::vector<uint8_t>(524288, 0x00));
  run = RunR7k({"erase", "--sim=" + flash, "--yes"});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_EQ(testing::ReadBytes(flash), std::vector<uint8_t>(524288, 0xFF));
}

TEST_F(BoxCommands, WrongBoxOptionsAreUsageErrors) {
  auto run = RunR7k({"check", "--chip", "20F100"});
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_NE(run.err.find("--chip needs --sim"), std::string::npos);
  run = RunR7k({"check", "--sim", "--port", "ttyUSB0"});
  EXPECT_EQ(run.status, kExitUsage);
  run = RunR7k({"check", "--sim", "--fault", "nonsense"});
  EXPECT_EQ(run.status, kExitUsage);
  // Nothing saved, nothing given.
  run = RunR7k({"check"});
  EXPECT_EQ(run.status, kExitFailure);
  EXPECT_NE(run.err.find("no port chosen"), std::string::npos);
}

}  // namespace
}  // namespace r7k::cli
