#include "app/read_module.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "app/module_check.h"
#include "app/module_ops_fixture.h"
#include "platform/file_io.h"

namespace r7k {
namespace {

using namespace std::chrono_literals;

// --- Rows, answers, file names -------------------------------------------------------------

TEST(ReadRows, PrefixByRevisionAndWidthAndTheIndexPatchedIn) {
  EXPECT_EQ(ReadCommandPrefix(1, false), "");
  EXPECT_EQ(ReadCommandPrefix(2, false), "bin");
  EXPECT_EQ(ReadCommandPrefix(0, true), "b16");
  TableHandle table = BuildReadTable("bin");
  ASSERT_EQ(TableRows(table), 10);
  const CommandRow block3 = *ReadCommandRow(table, 4);
  EXPECT_EQ(block3.text, "binread 03 00 00\r");
  EXPECT_EQ(block3.count, "256");
  EXPECT_EQ(block3.StoredLength(), block3.text.size() + 5);
  EXPECT_EQ(ReadCommandRow(table, 0)->StoredLength(), 12u);
  EXPECT_EQ(ReadCommandRow(table, 9)->StoredLength(), 10u);
  TableFree(table);

  std::string text = "read 03 00 00\r";
  PatchMiddleAddressByte(text, 31);
  EXPECT_EQ(text, "read 03 1f 00\r");
  std::string binary = "b16read 05 00 00\r";
  PatchMiddleAddressByte(binary, 0xc3);
  EXPECT_EQ(binary, "b16read 05 c3 00\r");
  std::string shorter = "read";
  PatchMiddleAddressByte(shorter, 1);
  EXPECT_EQ(shorter, "read");
}

std::string BinaryAnswer(const std::string& echo, uint8_t first) {
  std::string answer = echo;
  for (int i = 0; i < 256; ++i) answer.push_back(char(first + i));
  return answer + "\r\n?";
}

TEST(ReadAnswers, BinaryFramesAndTextInEitherCase) {
  const std::string binary = BinaryAnswer("binread 01 00 00", 7);
  ASSERT_EQ(binary.size(), kBinaryReadAnswerSize);
  const auto bytes = DecodeReadAnswer(binary, true);
  ASSERT_TRUE(bytes);
  EXPECT_EQ((*bytes)[0], 7);
  EXPECT_EQ((*bytes)[255], uint8_t(7 + 255));
  EXPECT_FALSE(DecodeReadAnswer(binary.substr(0, 274), true)) << "no prompt at 274";
  EXPECT_FALSE(DecodeReadAnswer(binary.substr(0, 274) + "x", true));

  std::string upper = "read 00 00 00\r\nADDR 000000\r\n";
  for (int line = 0; line < 16; ++line) upper += "00112233445566778899AABBCCDDEEFF\r\n";
  upper += "?";
  ASSERT_EQ(upper.size(), kTextReadAnswerSize);
  std::string lower = upper;
  std::transform(lower.begin() + 28, lower.end(), lower.begin() + 28, ::tolower);
  EXPECT_EQ(DecodeReadAnswer(upper, false), DecodeReadAnswer(lower, false));
  EXPECT_EQ((*DecodeReadAnswer(upper, false))[10], 0xAA);
  std::string odd = upper;
  odd[28] = 'g';
  EXPECT_EQ((*DecodeReadAnswer(odd, false))[0], 0xF0) << "a non-hexadecimal digit reads as 15";
  EXPECT_FALSE(DecodeReadAnswer(upper.substr(0, 572), false));
  EXPECT_FALSE(DecodeReadAnswer("Timeout", false));
  EXPECT_FALSE(DecodeReadAnswer("overrun", true));
}

TEST(ReadFiles, TheCurrentModuleOrModuleR7vBesideIt) {
  EXPECT_EQ(ModuleFileFor("/data/mine.r7v"), "/data/mine.r7v");
  EXPECT_EQ(ModuleFileFor("/data/MINE.R7V"), "/data/MINE.R7V");
  EXPECT_EQ(ModuleFileFor("/data/notes.txt"), "/data/module.r7v");
  EXPECT_EQ(ModuleFileFor("/data/r7v"), "/data/module.r7v");
  EXPECT_EQ(ModuleFileFor("mine.r7v"), "module.r7v") << "no folder";
  EXPECT_EQ(ModuleFileFor(""), "module.r7v");
}

// --- Upload on the simulated box -----------------------------------------------------------

class ReadModule : public ModuleOpsTest {
 protected:
  void SetUp() override {
    ModuleOpsTest::SetUp();
    StoreSetString(app_, "ModuleVersion", "0210");  // no version dialog
    target_ = env_.dir() / "mine.r7v";
    StoreSetString(app_, "CurrentVirtualModule", target_.string());
  }
  // Presses Upload in the main dialog, OK in the check, and waits for the read to end.
  void Upload(std::function<void(DialogUser&)> after = nullptr,
              std::function<void()> pressed = nullptr) {
    view_.WhenDialogOpens("CheckModule", [](DialogUser& user) { user.Press("OK"); });
    view_.WhenDialogOpens("R7kProg", [&, after, pressed](DialogUser& user) {
      ASSERT_TRUE(user.Press("Upload"));
      if (pressed) pressed();
      EXPECT_TRUE(user.WaitUntil(
          [&] { return LastProgress().finished && LastProgress().operation == "Read Module"; },
          60s));
      if (after) after(user);
      if (user.IsOpen()) user.Press("Close");
    });
    DlgRunDialog(base_, "R7kProg", main_, app_);
  }
  std::vector<uint8_t> FileBytes(const std::filesystem::path& path) {
    return ReadFileBytes(path, kModuleImageBytes + 1).value_or(std::vector<uint8_t>{});
  }
  std::string MainStatus() { return StoreGetString(main_, "_Status").value_or("<none>"); }
  // Reads of the upload, after the 15 commands of the check.
  size_t ReadsSent() {
    const auto sent = BoxCommands();
    if (sent.size() < 15) return 0;
    return std::count_if(sent.begin() + 15, sent.end(),
                         [](const std::string& c) { return c.find("read ") != std::string::npos; });
  }
  // The file holds the box's flash; a difference is told by its first address, not printed.
  ::testing::AssertionResult SameAsFlash(const std::filesystem::path& path) {
    const auto file = FileBytes(path);
    const auto flash = box_->Flash();
    if (file.size() != flash.size())
      return ::testing::AssertionFailure() << path << " has " << file.size() << " bytes";
    const auto diff = std::mismatch(file.begin(), file.end(), flash.begin());
    if (diff.first != file.end())
      return ::testing::AssertionFailure()
             << "first difference at " << std::hex << (diff.first - file.begin());
    return ::testing::AssertionSuccess();
  }

  std::filesystem::path target_;
};

TEST_F(ReadModule, BinaryReadReproducesTheFlashByteForByte) {
  StartBox();
  StoreSetString(app_, "Directory", "stale");
  Upload();
  EXPECT_EQ(MainStatus(), "Module read");
  EXPECT_TRUE(SameAsFlash(target_));
  EXPECT_EQ(Item("CurrentVirtualModule"), target_.string());
  EXPECT_NE(Item("Directory"), "stale") << "dropped, so the view reloads the new file";
  const auto sent = BoxCommands();
  ASSERT_EQ(sent.size(), 15u + 2050u);
  EXPECT_EQ(sent[15], "led green");
  EXPECT_EQ(sent[16], "binread 00 00 00");
  EXPECT_EQ(sent[16 + 5 * 256 + 0xc3], "binread 05 c3 00");
  EXPECT_EQ(sent.back(), "led off");
  EXPECT_TRUE(LastProgress().ok);
  EXPECT_EQ(LastProgress().bytes_done, kModuleImageBytes);
  EXPECT_EQ(LastProgress().bytes_total, kModuleImageBytes);
  EXPECT_EQ(LastProgress().commands_done, 2050u);
  EXPECT_EQ(LastProgress().commands_total, 2050u);
  EXPECT_EQ(view_.beeps(), 1);
  EXPECT_EQ(StoreGetType(app_, "_carddata_"), kItemNone);
  EXPECT_NO_USER_PROBLEMS(view_);
}

TEST_F(ReadModule, TextReadOfAnOldBoxAlsoReproducesTheFlash) {
  options_.box.revision = 1;
  StartBox();
  target_ = env_.dir() / "notes.txt";
  StoreSetString(app_, "CurrentVirtualModule", target_.string());
  Upload();
  EXPECT_EQ(MainStatus(), "Module read");
  EXPECT_TRUE(SameAsFlash(env_.dir() / "module.r7v"));
  EXPECT_EQ(Item("CurrentVirtualModule"), (env_.dir() / "module.r7v").string());
  EXPECT_EQ(BoxCommands()[16], "read 00 00 00");
}

TEST_F(ReadModule, DecliningTheOverwriteLeavesTheFileAsItWas) {
  StartBox();
  ASSERT_TRUE(WriteFileAtomically(target_, std::string_view("my own module")));
  Upload(nullptr, [this] { view_.AnswerNextMessage(kIdCancel); });  // the next box is the question
  EXPECT_MESSAGE_SHOWN(view_, "Memory Module load",
                       "File " + target_.string() + " exists; continue?");
  EXPECT_EQ(MainStatus(), "Module not read");
  const auto kept = FileBytes(target_);
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "my own module");
  EXPECT_FALSE(LastProgress().ok);
}

TEST_F(ReadModule, AMissingFolderPressesBrowseInstead) {
  StartBox();
  StoreSetString(app_, "CurrentVirtualModule", (env_.dir() / "gone" / "m.r7v").string());
  view_.WhenDialogOpens("R7kProg", [](DialogUser& user) {
    user.Press("Upload");
    user.Pump();
    user.Press("Close");
  });
  DlgRunDialog(base_, "R7kProg", main_, app_);
  ASSERT_EQ(view_.file_requests().size(), 1u) << "the Browse button's file dialog";
  EXPECT_TRUE(BoxCommands().empty());
}

TEST_F(ReadModule, AModuleTheBoxCannotReadIsRefused) {
  options_.box.chip = "20F100";  // a 29F080
  StartBox();
  view_.WhenDialogOpens("CheckModule", [](DialogUser& user) { user.Press("OK"); });
  view_.WhenDialogOpens("R7kProg", [](DialogUser& user) {
    user.Press("Upload");
    user.Press("Close");
  });
  DlgRunDialog(base_, "R7kProg", main_, app_);
  EXPECT_MESSAGE_SHOWN(view_, "Read Module", "Module not supported by the R7kProg firmware.");
  EXPECT_EQ(BoxCommands().size(), 15u) << "only the check";
}

TEST_F(ReadModule, CancelInTheFifthBlockTurnsTheLedOffAndWritesNothing) {
  StartBox();
  bool sent = false;
  SetModuleOpProgressHook([&](const ModuleOpProgress& p) {
    progress_.push_back(p);
    if (!sent && p.bytes_done >= 4 * 65536 + 256) {
      sent = true;
      ChannelSend(kOpChannel, kOpChannel, kCancelMarker.data(), uint32_t(kCancelMarker.size()));
    }
  });
  Upload([](DialogUser& user) { EXPECT_TRUE(user.IsOpen()) << "the main dialog stays"; });
  EXPECT_FALSE(std::filesystem::exists(target_));
  EXPECT_EQ(Item("CurrentVirtualModule"), target_.string());
  EXPECT_EQ(StoreGetType(main_, "_Status"), kItemNone);
  const auto commands = BoxCommands();
  EXPECT_EQ(commands.back(), "led off");
  EXPECT_LT(ReadsSent(), 6u * 256u);
  EXPECT_FALSE(LastProgress().ok);
}

TEST_F(ReadModule, AVerifiedUploadThatCannotCompareLeavesTheFileAsItWas) {
  // The box falls silent after the check and the first read.
  AddFault("silence-after=2070");
  StartBox();
  SetModuleOpLimitsForTesting({.max_retries = 2});
  StoreSetString(app_, "Verify", "1");
  ASSERT_TRUE(WriteFileAtomically(target_, std::string_view("my own module")));
  Upload();
  EXPECT_EQ(MainStatus(), "Module not read");
  const auto kept = FileBytes(target_);
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "my own module");
  EXPECT_FALSE(LastProgress().ok);
}

// --- Faults of the box or the line ---------------------------------------------------------

TEST_F(ReadModule, CorruptedAnswersAreAskedAgainOrDamageNoMoreThanTheirByte) {
  AddFault("corrupt-every=97");
  options_.seed = 7;
  StartBox();
  Upload();
  EXPECT_EQ(MainStatus(), "Module read");
  const auto file = FileBytes(target_);
  const auto flash = box_->Flash();
  ASSERT_EQ(file.size(), flash.size());
  size_t differing = 0;
  for (size_t i = 0; i < file.size(); ++i) differing += file[i] != flash[i];
  const int corrupted = box_->FaultCounts()["corrupt-every"];
  EXPECT_GT(corrupted, 0);
  // A damaged echo is noticed and the piece asked again; a damaged data byte cannot be.
  EXPECT_LE(differing, size_t(corrupted));
  EXPECT_GT(ReadsSent(), 2048u) << "at least one echo was damaged and asked again";
}

TEST_F(ReadModule, LostAnswersAreAskedAgainAndShortPausesWaitedFor) {
  AddFault("drop-every=1200");        // lost: the link says "Timeout" after 2 s
  AddFault("line-error-every=1700");  // broken off: "Timeout" again
  AddFault("gap-every=1500:1200");    // under the link's 2 s: no "Timeout"
  StartBox();
  Upload();
  EXPECT_EQ(MainStatus(), "Module read");
  EXPECT_TRUE(SameAsFlash(target_));
  EXPECT_EQ(ReadsSent(), 2048u + 2u) << "the dropped and the broken piece alone were asked again";
}

TEST_F(ReadModule, ASilentBoxStopsTheReadAfterTheRetriesAndKeepsTheOldFile) {
  SetModuleOpLimitsForTesting({.max_retries = 2});
  ASSERT_TRUE(WriteFileAtomically(target_, std::string_view("my own module")));
  AddFault("silence-after=100");
  StartBox();
  Upload();
  EXPECT_MESSAGE_SHOWN(view_, "Read Module",
                       "The box gave no proper answer to \"binread 00 54 00\" 2 times in a row; "
                       "the operation was stopped.");
  EXPECT_EQ(MainStatus(), "Module not read");
  const auto kept = FileBytes(target_);
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "my own module");
  EXPECT_EQ(StoreGetType(app_, "CmdTable"), kItemNone);
  EXPECT_EQ(BoxCommands().back(), "binread 00 54 00") << "nothing after the stop, not even led off";
  EXPECT_FALSE(LastProgress().ok);
}

TEST_F(ReadModule, AHangUpEndsInATimeOutWithoutAFile) {
  SetModuleOpLimitsForTesting({.max_limit_ms = 1500});
  AddFault("hangup-after=200");
  StartBox();
  Upload();
  EXPECT_MESSAGE_SHOWN(view_, "Read Module", "The communication process timed out.");
  EXPECT_EQ(MainStatus(), "Module not read");
  EXPECT_FALSE(std::filesystem::exists(target_));
  EXPECT_EQ(StoreGetType(app_, "CmdTable"), kItemNone);
}

}  // namespace
}  // namespace r7k
