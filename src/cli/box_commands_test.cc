// What r7k adds to the box operations (whose behaviour src/app tests through the dialogs):
// its options, what it prints, its exit statuses and the files it refuses. Against a simulated
// box the command starts itself (--sim), run in-process.

#include <gtest/gtest.h>
#include <unistd.h>

#include "cli/cli_fixture.h"
#include "cli/commands.h"
#include "module/builtin_images.h"
#include "testing/scoped_environment.h"

namespace r7k::cli {
namespace {

using testing::ReadBytes;
using testing::RunR7k;
using testing::WriteBytes;

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class BoxCommands : public ::testing::Test {
 protected:
  void SetUp() override { env_.Set("R7K_CONFIG_DIR", dir_.File("config")); }
  // A file of 512 KiB of `fill` under `name`: a flash image for --sim=, or a module of mine.
  std::string Filled(const std::string& name, uint8_t fill) {
    WriteBytes(dir_.File(name), std::vector<uint8_t>(524288, fill));
    return dir_.File(name);
  }
  std::vector<uint8_t> Demo() const {
    const auto demo = BuiltinImage("demo");
    return {demo.begin(), demo.end()};
  }

  ScratchDir dir_;
  ScopedEnvironment env_;
};

TEST_F(BoxCommands, CheckAndVersionPrintWhatTheBoxTold) {
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
  EXPECT_TRUE(Has(run.out, "\"CardType\": \"AMD Am29F040B\"")) << run.out;
  EXPECT_TRUE(Has(run.out, "\"CardID\": 420,")) << run.out;
  EXPECT_TRUE(Has(run.out, "\"16bit\": null")) << run.out;

  run = RunR7k({"version", "--sim"});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_EQ(run.out, "ModuleVersion 0210\n");
  EXPECT_EQ(RunR7k({"version", "--sim", "--json"}).out, "{\n  \"ModuleVersion\": \"0210\"\n}\n");
  // The port "sim", chosen by name, is said to be no real box.
  run = RunR7k({"version", "--port", "sim"});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_EQ(run.err, "r7k: The simulated box is in use (port \"sim\"), not a real one.\n");
}

TEST_F(BoxCommands, ACheckThatFailsSaysWhyAndOneThatLostAnAnswerIsTriedAgain) {
  // --trace shows the wire in printable form on the error stream.
  auto run = RunR7k({"check", "--sim", "--trace", "--no-card"});
  EXPECT_EQ(run.status, kExitFailure);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(run.err.starts_with("-> led green\\r\n<- led green\\r\\n?\n-> version\\r\n"))
      << run.err;
  EXPECT_TRUE(Has(run.err, "<- cd\\r\\nNot Present\\r\\n?\n")) << run.err;
  EXPECT_TRUE(run.err.ends_with("\nNo card in reader.\n")) << run.err;
  // A silent box: the link's "Timeout" after 2 s ends the check.
  run = RunR7k({"check", "--sim", "--fault", "silence-after=0"});
  EXPECT_EQ(run.status, kExitFailure);
  EXPECT_EQ(run.err, "Module Informatiuon: Device not responding!\n");
  // The simulated box's losses are drawn from a fixed seed: the first two checks lose one.
  // What a retry mended is counted, not shown as a failure.
  run = RunR7k({"check", "--sim", "--fault", "drop-rate=0.05"});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_EQ(run.err, "The module check was tried again 2 times.\n");
  EXPECT_TRUE(Has(run.out, "CardDetect    Present"));
  // Three tries, then the command gives up.
  run = RunR7k({"check", "--sim", "--fault", "drop-every=5"});
  EXPECT_EQ(run.status, kExitFailure);
  size_t tries = 0;
  for (size_t at = 0; (at = run.err.find("timed out", at)) != std::string::npos; ++at) ++tries;
  EXPECT_EQ(tries, 3u) << run.err;
}

TEST_F(BoxCommands, CompareFoldersThatAKillLeftBehindAreRemoved) {
  env_.Set("TMPDIR", dir_.path().string());
  for (const char* folder : {"r7k-Ab12Cd", "r7k-Xy34Zw", "r7k-longer1"})
    std::filesystem::create_directory(dir_.File(folder));
  WriteBytes(dir_.File("r7k-Ab12Cd/second.r7v"), std::vector<uint8_t>(10));
  WriteBytes(dir_.File("r7k-Xy34Zw/notes.txt"), std::vector<uint8_t>(10));  // not ours
  EXPECT_EQ(RunR7k({"version", "--sim"}).status, kExitOk);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("r7k-Ab12Cd")));
  EXPECT_TRUE(std::filesystem::exists(dir_.File("r7k-Xy34Zw/notes.txt")));
  EXPECT_TRUE(std::filesystem::exists(dir_.File("r7k-longer1")));
}

TEST_F(BoxCommands, ReadPrintsTheFileItWroteAndSettlesDamagedData) {
  // The answers carry no checksum: a damaged data byte passes a read unnoticed, but not the
  // comparison with another read; the third read outvotes the damage.
  const std::string module = dir_.File("noisy.r7v");
  const auto run = RunR7k({"read", module, "--sim", "--fault", "corrupt-every=300"});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_EQ(run.out, module + "\n");
  EXPECT_TRUE(Has(run.err, "reading a third time to settle them")) << run.err;
  EXPECT_TRUE(Has(run.err, "Settled: every byte agreed in two of the three reads."));
  EXPECT_EQ(ReadBytes(module), Demo());
}

TEST_F(BoxCommands, ReadRefusesATargetItCannotTakeBeforeAskingTheBox) {
  const std::string mine = Filled("mine.r7v", 0x42);
  std::filesystem::create_symlink(dir_.File("gone/y.r7v"), dir_.File("link.r7v"));
  std::filesystem::create_directory(dir_.File("folder.r7v"));
  const std::string gone = "the folder " + dir_.File("gone") + " does not exist.";
  // Nor does --yes let a whole read go on into what cannot take the file.
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{mine}, mine + " exists; run again with --yes to replace it."},
      {{dir_.File("gone/x.r7v")}, gone},
      {{dir_.File("link.r7v"), "--yes"}, gone},
      {{dir_.File("folder.r7v"), "--yes"}, dir_.File("folder.r7v") + " is a folder."},
  };
  for (const auto& [args, message] : cases) {
    SCOPED_TRACE(args[0]);
    std::vector<std::string> argv = {"read", "--sim", "--fault", "silence-after=0"};
    argv.insert(argv.end(), args.begin(), args.end());
    const auto run = RunR7k(argv);
    EXPECT_EQ(run.status, kExitFailure);
    EXPECT_EQ(run.err, "r7k read: " + message + "\n");
  }
  if (geteuid() != 0) {
    const std::string locked = dir_.File("locked");
    std::filesystem::create_directory(locked);
    std::filesystem::permissions(
        locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_EQ(RunR7k({"read", locked + "/x.r7v", "--sim"}).err,
              "r7k read: cannot write into the folder " + locked + ": Permission denied.\n");
  }
  EXPECT_EQ(ReadBytes(mine), std::vector<uint8_t>(524288, 0x42));
  const auto run = RunR7k({"read", mine, "--sim", "--yes", "--no-verify"});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_EQ(ReadBytes(mine), Demo());
}

TEST_F(BoxCommands, AFailedReadSaysWhatBecameOfTheFile) {
  struct Case {
    std::string fault;
    bool existed;
    std::string told;
  };
  const std::vector<Case> cases = {
      // The box hangs up after the first read's 2050 rows and its check.
      {"hangup-after=2080", true, "Reading the module a second time to compare...\n"},
      {"silence-after=0", false,
       "the box did not tell its firmware version; is it connected and on?"},
      // A box that hangs up ends the command at once, not after the 60 s limits.
      {"hangup-after=100", false, "The link to the box has ended; giving up."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    const std::string module = dir_.File("mine.r7v");
    std::filesystem::remove(module);
    if (c.existed) Filled("mine.r7v", 0x42);
    const auto run = RunR7k({"read", module, "--sim", "--yes", "--fault", c.fault});
    EXPECT_EQ(run.status, kExitFailure);
    EXPECT_TRUE(Has(run.err, c.told)) << run.err;
    if (c.existed) {
      EXPECT_TRUE(Has(run.err, "r7k read: " + module + " is as it was.\n")) << run.err;
      EXPECT_EQ(ReadBytes(module), std::vector<uint8_t>(524288, 0x42));
    } else {
      EXPECT_FALSE(std::filesystem::exists(module));
    }
  }
  // A port that does not open is the whole story, in either form of its name.
  for (const char* command : {"check", "version", "read"}) {
    std::vector<std::string> args = {command, "--port", "/dev/ttyR7kNone"};
    if (std::string_view(command) == "read") args.push_back(dir_.File("none.r7v"));
    const auto run = RunR7k(args);
    EXPECT_EQ(run.status, kExitFailure);
    EXPECT_EQ(run.err,
              "Vardex R7000 Programmer: Connection failed.\n"
              "Cannot open port ttyR7kNone: No such file or directory\n");
  }
}

TEST_F(BoxCommands, WriteReadsBackAndReadsDoubtfulBytesAgain) {
  const std::string flash = Filled("flash.r7v", 0x00);
  const std::string module = dir_.File("demo.r7v");
  WriteBytes(module, Demo());
  const auto run = RunR7k({"write", module, "--sim=" + flash, "--fault", "corrupt-every=300"});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_TRUE(Has(run.err, "differ from the file; reading back again...")) << run.err;
  EXPECT_TRUE(Has(run.err, "Verified: the module holds the file's 524288 bytes."));
  EXPECT_EQ(ReadBytes(flash), Demo());
}

TEST_F(BoxCommands, WriteRefusesAFileThatIsNoVirtualModuleUnlessForced) {
  const std::string flash = Filled("flash.r7v", 0x00);
  const std::string module = dir_.File("short.r7v");
  WriteBytes(module, std::vector<uint8_t>(1000, 0x11));
  auto run = RunR7k({"write", module, "--sim=" + flash});
  EXPECT_EQ(run.status, kExitFailure);
  EXPECT_EQ(run.err, "r7k write: Cannot load file " + module +
                         ", incorrect filesize; nothing was written. Give --force to write it "
                         "anyway.\n");
  EXPECT_EQ(ReadBytes(flash), std::vector<uint8_t>(524288, 0x00));
  run = RunR7k({"write", module, "--sim=" + flash, "--force"});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_FALSE(Has(run.err, "not found")) << run.err;
  EXPECT_EQ(ReadBytes(flash)[999], 0x11);
}

TEST_F(BoxCommands, EraseOnlyWithYes) {
  const std::string flash = Filled("flash.r7v", 0x00);
  auto run = RunR7k({"erase", "--sim=" + flash});
  EXPECT_EQ(run.status, kExitFailure);
  EXPECT_TRUE(Has(run.err, "Erase Module: Are you sure? no")) << run.err;
  EXPECT_TRUE(Has(run.err, "run again with --yes to answer yes.")) << run.err;
  EXPECT_EQ(ReadBytes(flash), std::vector<uint8_t>(524288, 0x00));
  run = RunR7k({"erase", "--sim=" + flash, "--yes"});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_EQ(ReadBytes(flash), std::vector<uint8_t>(524288, 0xFF));
}

TEST_F(BoxCommands, WrongBoxOptionsAreUsageErrors) {
  auto run = RunR7k({"check", "--chip", "20F100"});
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_TRUE(Has(run.err, "--chip needs --sim"));
  EXPECT_EQ(RunR7k({"check", "--sim", "--port", "ttyUSB0"}).status, kExitUsage);
  EXPECT_EQ(RunR7k({"check", "--sim", "--fault", "nonsense"}).status, kExitUsage);
  // Nothing saved, nothing given.
  run = RunR7k({"check"});
  EXPECT_EQ(run.status, kExitFailure);
  EXPECT_TRUE(Has(run.err, "no port chosen"));
}

}  // namespace
}  // namespace r7k::cli
