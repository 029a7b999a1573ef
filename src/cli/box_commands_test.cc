// The box commands against a simulated box started by the command itself (--sim), run
// in-process.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include "cli/cli_fixture.h"
#include "cli/commands.h"
#include "module/builtin_images.h"

namespace r7k::cli {
namespace {

using testing::RunR7k;

class BoxCommands : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("R7K_CONFIG_DIR", dir_.File("config").c_str(), 1); }
  void TearDown() override { ::unsetenv("R7K_CONFIG_DIR"); }
  ScratchDir dir_;
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
  // The port "sim", chosen by name, is said to be no real box.
  run = RunR7k({"version", "--port", "sim"});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_EQ(run.err, "r7k: The simulated box is in use (port \"sim\"), not a real one.\n");
}

TEST_F(BoxCommands, CompareFoldersThatAKillLeftBehindAreRemoved) {
  testing::ScopedEnv tmp("TMPDIR", dir_.path().string());
  for (const char* folder : {"r7k-Ab12Cd", "r7k-Xy34Zw", "r7k-longer1"})
    std::filesystem::create_directory(dir_.File(folder));
  testing::WriteBytes(dir_.File("r7k-Ab12Cd/second.r7v"), std::vector<uint8_t>(10));
  testing::WriteBytes(dir_.File("r7k-Xy34Zw/notes.txt"), std::vector<uint8_t>(10));  // not ours
  EXPECT_EQ(RunR7k({"version", "--sim"}).status, kExitOk);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("r7k-Ab12Cd")));
  EXPECT_TRUE(std::filesystem::exists(dir_.File("r7k-Xy34Zw/notes.txt")));
  EXPECT_TRUE(std::filesystem::exists(dir_.File("r7k-longer1")));
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
  // What a retry mended is counted, not shown as a failure.
  auto run = RunR7k({"check", "--sim", "--fault", "drop-rate=0.05"});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_EQ(run.err, "The module check was tried again 2 times.\n");
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
  EXPECT_EQ(run.err.rfind("-> led green\\r\n<- led green\\r\\n?\n-> version\\r\n", 0), 0u)
      << run.err;
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
  EXPECT_NE(run.err.find("Settled: every byte agreed in two of the three reads."),
            std::string::npos);
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
  EXPECT_NE(run.err.find("Reading the module a second time to compare...\n"), std::string::npos);
  EXPECT_NE(run.err.find("r7k read: " + module + " is as it was.\n"), std::string::npos) << run.err;
  EXPECT_EQ(testing::ReadBytes(module), mine);
}

TEST_F(BoxCommands, ReadOntoAnExistingFileOnlyWithYes) {
  const std::string module = dir_.File("mine.r7v");
  const std::vector<uint8_t> mine(524288, 0x42);
  testing::WriteBytes(module, mine);
  // Refused before the box is asked anything, as are folders it cannot write into.
  auto run = RunR7k({"read", module, "--sim"});
  EXPECT_EQ(run.status, kExitFailure);
  EXPECT_EQ(run.err, "r7k read: " + module + " exists; run again with --yes to replace it.\n");
  EXPECT_EQ(testing::ReadBytes(module), mine);
  run = RunR7k({"read", dir_.File("gone/x.r7v"), "--sim"});
  EXPECT_EQ(run.err, "r7k read: the folder " + dir_.File("gone") + " does not exist.\n");
  // Nor does --yes let a whole read go on into what cannot take the file.
  std::filesystem::create_symlink(dir_.File("gone/y.r7v"), dir_.File("link.r7v"));
  run = RunR7k({"read", dir_.File("link.r7v"), "--sim", "--yes"});
  EXPECT_EQ(run.err, "r7k read: the folder " + dir_.File("gone") + " does not exist.\n");
  std::filesystem::create_directory(dir_.File("folder.r7v"));
  run = RunR7k({"read", dir_.File("folder.r7v"), "--sim", "--yes"});
  EXPECT_EQ(run.err, "r7k read: " + dir_.File("folder.r7v") + " is a folder.\n");
  if (geteuid() != 0) {
    const std::string locked = dir_.File("locked");
    std::filesystem::create_directory(locked);
    std::filesystem::permissions(
        locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    run = RunR7k({"read", locked + "/x.r7v", "--sim"});
    EXPECT_EQ(run.err,
              "r7k read: cannot write into the folder " + locked + ": Permission denied.\n");
  }
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
  EXPECT_NE(run.err.find("The link to the box has ended; giving up."), std::string::npos)
      << run.err;
  EXPECT_FALSE(std::filesystem::exists(module));
  // A port that does not open is the whole story, in either form of its name.
  for (const char* command : {"check", "version", "read"}) {
    std::vector<std::string> args = {command, "--port", "/dev/ttyR7kNone"};
    if (std::string_view(command) == "read") args.push_back(module);
    run = RunR7k(args);
    EXPECT_EQ(run.status, kExitFailure);
    EXPECT_EQ(run.err,
              "Vardex R7000 Programmer: Connection failed.\n"
              "Cannot open port ttyR7kNone: No such file or directory\n");
  }
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
  EXPECT_NE(run.err.find("differ from the file; reading back again..."), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("Verified: the module holds the file's 524288 bytes."), std::string::npos);
  EXPECT_EQ(testing::ReadBytes(flash), std::vector<uint8_t>(demo.begin(), demo.end()));
}

TEST_F(BoxCommands, WriteRefusesAFileThatIsNoVirtualModuleUnlessForced) {
  const std::string flash = dir_.File("flash.r7v");
  testing::WriteBytes(flash, std::vector<uint8_t>(524288, 0x00));
  const std::string module = dir_.File("short.r7v");
  testing::WriteBytes(module, std::vector<uint8_t>(1000, 0x11));
  auto run = RunR7k({"write", module, "--sim=" + flash});
  EXPECT_EQ(run.status, kExitFailure);
  EXPECT_EQ(run.err, "r7k write: Cannot load file " + module +
                         ", incorrect filesize; nothing was written. Give --force to write it "
                         "anyway.\n");
  EXPECT_EQ(testing::ReadBytes(flash), std::vector<uint8_t>(524288, 0x00));
  run = RunR7k({"write", module, "--sim=" + flash, "--force"});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_EQ(run.err.find("not found"), std::string::npos) << run.err;
  EXPECT_EQ(testing::ReadBytes(flash)[999], 0x11);
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
