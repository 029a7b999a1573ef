#include "app/module_check.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "app/flash_chips.h"
#include "app/module_ops_fixture.h"
#include "support/ascii.h"

namespace r7k {
namespace {

using namespace std::chrono_literals;

// --- The chip table ------------------------------------------------------------------------

TEST(FlashChips, EveryRowIsMatchedAndOnlyTwoTypesAreRead) {
  for (const FlashChip& chip : kFlashChips) {
    const auto match = MatchFlashChip(AsciiLower(chip.code) + "77");
    ASSERT_TRUE(match) << chip.code;
    EXPECT_EQ(match->chip, &chip);
  }
  EXPECT_TRUE(IsReadableChipType("29c040"));
  EXPECT_FALSE(IsReadableChipType("29F080"));
  EXPECT_TRUE(IsWritableChipType("29f040"));
  EXPECT_FALSE(IsWritableChipType("29C040"));
}

TEST(FlashChips, IdentificationTextsAndTheSectorStatus) {
  StoreHandle store = StoreOpen("chips");
  ASSERT_EQ(IdentifyFlashChip("01A400", kFlashChips, store), 1);
  EXPECT_EQ(StoreGetString(store, "CardType"), "AMD Am29F040B");
  EXPECT_EQ(StoreGetString(store, "Type"), "29F040");
  EXPECT_EQ(StoreGetNumeric(store, "CardID"), 420);
  EXPECT_EQ(StoreGetString(store, "Sector0"), "00");

  EXPECT_EQ(MatchFlashChip("01A401")->sector0, "00") << "the status repeats the maker byte";
  EXPECT_EQ(MatchFlashChip("20E201")->sector0, "01");
  EXPECT_EQ(MatchFlashChip("c2ad00")->chip->name, "Macronix MX29F016");
  EXPECT_EQ(MatchFlashChip("1FA455")->sector0, "00") << "Atmel parts report no status";
  EXPECT_EQ(MatchFlashChip("1FA455")->chip->type, "29C040");
  EXPECT_EQ(MatchFlashChip("20E2")->sector0, "") << "a short text stays within itself";
  EXPECT_FALSE(MatchFlashChip("20E"));

  // An unknown code changes nothing.
  StoreSetString(store, "CardType", "Present");
  StoreDeleteItem(store, "Type");
  EXPECT_EQ(IdentifyFlashChip("123400", kFlashChips, store), 0);
  EXPECT_EQ(StoreGetString(store, "CardType"), "Present");
  EXPECT_EQ(StoreGetType(store, "Type"), kItemNone);
  StoreClose(store);
}

// --- The answers ---------------------------------------------------------------------------

ItemChange Text(std::string name, std::string text) { return {name, ItemChange::kText, text, 0}; }
ItemChange Number(std::string name, int64_t n) { return {name, ItemChange::kNumber, {}, n}; }
ItemChange Delete(std::string name) { return {name, ItemChange::kDelete, {}, 0}; }

// A text read answer whose 256 bytes are all `fill`, with `bytes` set at their offsets.
std::string TextRead(const std::string& echo, uint8_t fill,
                     std::vector<std::pair<int, uint8_t>> bytes = {}) {
  uint8_t data[256];
  std::fill(std::begin(data), std::end(data), fill);
  for (auto [at, value] : bytes) data[at] = value;
  std::string answer = echo + "\r\nADDR 000000\r\n";
  for (int line = 0; line < 16; ++line) {
    for (int i = 0; i < 16; ++i) {
      char hex[3];
      std::snprintf(hex, sizeof hex, "%02X", data[line * 16 + i]);
      answer += hex;
    }
    answer += "\r\n";
  }
  return answer + "?";
}

TEST(CheckAnswers, IdentityOfTheBox) {
  const CheckItems none;
  EXPECT_EQ(ExamineCheckAnswer("version\r\nR7kProg 2.10\r\n?", none),
            std::vector{Text("ModuleVersion", "R7kProg 2.10")});
  EXPECT_EQ(ExamineCheckAnswer("model\r\nModel revision 3\r\n?", none),
            std::vector{Text("Revision", "3")});
  EXPECT_EQ(ExamineCheckAnswer("MODEL\r\nModel revision 7\r\n?", none),
            std::vector{Text("Revision", "0")})
      << "only revisions 0 to 3";
  EXPECT_EQ(ExamineCheckAnswer("model\r\n?", none), std::vector{Text("Revision", "0")});
  EXPECT_EQ(ExamineCheckAnswer("rep 00 00 021A2B\r\n?", none),
            std::vector{Number("Serial", 0x1A2B)});
  EXPECT_EQ(ExamineCheckAnswer("rep 00 00 02x0\r\n?", none), std::vector{Number("Serial", 0xF0FF)})
      << "a non-hexadecimal or missing digit counts as 15";
  EXPECT_EQ(ExamineCheckAnswer("bits\r\n16\r\n?", none), std::vector{Number("16bit", 1)});
  EXPECT_TRUE(ExamineCheckAnswer("bits\r\n08\r\n?", none).empty());
  EXPECT_EQ(ExamineCheckAnswer("cd\r\nNot Present\r\n?", none),
            (std::vector{Text("CardType", "Not Present"), Text("CardDetect", "Not Present")}));
  EXPECT_EQ(ExamineCheckAnswer("id2C2AD00\r\n?", none),
            (std::vector{Text("CardType", "Macronix MX29F016"), Text("Type", "29F016"),
                         Number("CardID", 0xC2AD), Text("Sector0", "00")}));
  EXPECT_TRUE(ExamineCheckAnswer("id2123400\r\n?", none).empty());
  EXPECT_TRUE(ExamineCheckAnswer("led off\r\n?", none).empty());
}

TEST(CheckAnswers, ModuleContents) {
  CheckItems present{"Present", "Present", ""};
  const std::string first = TextRead("read 00 00 00", 0xAB);
  EXPECT_EQ(ExamineCheckAnswer(first, present),
            std::vector{Text("Read0", "ABABABABABABABABABABABABABABABAB")});
  CheckItems sns{"Scan 'n Sew 1", "Not Present", ""};
  EXPECT_EQ(ExamineCheckAnswer(first, sns),
            (std::vector{Text("Type", "SnS1"), Delete("CopyRight"), Delete("Version"),
                         Delete("Date"), Delete("Project")}));

  // Protected: byte 0x180 (offset 0x80 of this page) is 0, or 0x110 is 0x22 or 0.
  EXPECT_EQ(ExamineCheckAnswer(TextRead("read 00 01 00", 0xFF, {{0x80, 0x00}}), present),
            (std::vector{Number("Protected", 1), Delete("157")}));
  EXPECT_EQ(ExamineCheckAnswer(TextRead("read 00 01 00", 0xFF, {{0x10, 0x22}}), present)[0],
            Number("Protected", 1));
  EXPECT_EQ(ExamineCheckAnswer(TextRead("read 00 01 00", 0xFF), present)[0],
            Number("Protected", 0));
  CheckItems pfaff{"Present", "Present", "Pfaff 7570"};
  EXPECT_EQ(ExamineCheckAnswer(TextRead("read 00 01 00", 0x00), pfaff)[0], Number("Protected", 0));
  CheckItems absent{"Not Present", "Not Present", ""};
  EXPECT_EQ(ExamineCheckAnswer(TextRead("read 00 01 00", 0x00), absent)[0], Number("Protected", 0));

  // "157": bytes 0x157 to 0x159 are 57 01 40, or the text at 0x210 begins "embroid".
  EXPECT_EQ(
      ExamineCheckAnswer(
          TextRead("read 00 01 00", 0xFF, {{0x57, 0x57}, {0x58, 0x01}, {0x59, 0x40}}), present)[1],
      Number("157", 1));
  const std::vector<std::pair<int, uint8_t>> embroid = {
      {0x10, 'e'}, {0x11, 'm'}, {0x12, 'b'}, {0x13, 'r'}, {0x14, 'o'}, {0x15, 'i'}, {0x16, 'd'}};
  EXPECT_EQ(ExamineCheckAnswer(TextRead("read 00 02 00", 0xFF, embroid), present),
            std::vector{Number("157", 1)});
  EXPECT_TRUE(ExamineCheckAnswer(TextRead("read 00 02 00", 0xFF), present).empty());
  EXPECT_EQ(ExamineCheckAnswer(TextRead("read 10 00 00", 0x12), present),
            std::vector{Text("Read1000", "12121212121212121212121212121212")});

  // Answers cut short stay within themselves.
  EXPECT_EQ(ExamineCheckAnswer("read 00 01 00", present),
            (std::vector{Number("Protected", 0), Delete("157")}));
  EXPECT_EQ(ExamineCheckAnswer("read 00 00 00\r\n?", present), std::vector{Text("Read0", "")});
}

// --- The dialog on the simulated box --------------------------------------------------------

class ModuleCheck : public ModuleOpsTest {};

TEST_F(ModuleCheck, TheCheckSendsItsFifteenCommandsAndKeepsTheFirstBytes) {
  StartBox();
  StoreSetString(app_, "Port1", "sim");  // a status line at rest says so
  EXPECT_EQ(RunCheck(), kCheckModuleResult);
  EXPECT_EQ(Item("_Status"), "The simulated box is in use (port \"sim\"), not a real one.");
  EXPECT_EQ(StoreGetType(app_, "CmdTable"), kItemNone);

  const std::vector<uint8_t> flash = box_->Flash();
  char hex[40] = "";
  for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02X", flash[i]);
  EXPECT_EQ(Item("Read0"), hex);

  const std::vector<std::string> sent = BoxCommands();
  ASSERT_EQ(sent.size(), 15u);
  EXPECT_EQ(sent.front(), "led green");
  EXPECT_EQ(sent[12], "read 00 02 00");
  EXPECT_EQ(sent.back(), "led off");
  ASSERT_FALSE(progress_.empty());
  EXPECT_EQ(LastProgress().operation, "Check Module");
  EXPECT_TRUE(LastProgress().finished);
  EXPECT_TRUE(LastProgress().ok);
  EXPECT_EQ(LastProgress().commands_done, 15u);
  EXPECT_EQ(LastProgress().commands_total, 15u);
  EXPECT_NO_USER_PROBLEMS(view_);
  EXPECT_TRUE(view_.messages().empty());
}

TEST_F(ModuleCheck, UnknownChipStillEndsTheCheckWithoutAType) {
  options_.box.chip = "123400";
  options_.box.sixteen_bit = true;
  options_.box.revision = 1;
  StartBox();
  EXPECT_EQ(RunCheck(), kCheckModuleResult);
  EXPECT_EQ(StoreGetType(app_, "Type"), kItemNone);
  EXPECT_EQ(Item("CardType"), "Present") << "the answer to cd stays";
  EXPECT_EQ(StoreGetNumeric(app_, "16bit"), 1);
  EXPECT_EQ(Item("Revision"), "1");
}

TEST_F(ModuleCheck, NoCardKeepsTheDialogOpenUntilCancelled) {
  options_.box.card_present = false;
  StartBox();
  const int result = RunCheck([](DialogUser& user) {
    ASSERT_TRUE(user.WaitUntil([&] { return user.Text("_Status") == "No card in reader."; }));
    EXPECT_TRUE(user.IsOpen());
    EXPECT_EQ(user.State("OK"), FieldState::kFull) << "another try is possible";
    user.Press("Cancel");
  });
  EXPECT_EQ(result, kResultEnd);
  EXPECT_EQ(Item("CardDetect"), "Not Present");
  EXPECT_EQ(StoreGetType(app_, "Type"), kItemNone);
  EXPECT_FALSE(LastProgress().ok);
  EXPECT_NO_USER_PROBLEMS(view_);
}

TEST_F(ModuleCheck, CancelDropsTheReadsButTurnsTheLedOff) {
  AddFault("gap-every=1:60");  // slow enough for the user to press Cancel in time
  StartBox();
  const int result = RunCheck([](DialogUser& user) { user.Press("Cancel"); });
  EXPECT_EQ(result, kResultEnd);
  const std::vector<std::string> sent = BoxCommands();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.back(), "led off");
  for (const auto& c : sent) EXPECT_FALSE(c.starts_with("read")) << c;
  EXPECT_EQ(StoreGetType(app_, "CmdTable"), kItemNone);
  EXPECT_TRUE(LastProgress().finished);
  EXPECT_FALSE(LastProgress().ok);
}

TEST_F(ModuleCheck, ASecondPressWhileCheckingStartsNothing) {
  AddFault("gap-every=1:30");
  StartBox();
  EXPECT_EQ(RunCheck([](DialogUser& user) { user.Press("OK"); }), kCheckModuleResult);
  EXPECT_EQ(BoxCommands().size(), 15u);
  EXPECT_EQ(Item("Type"), "29F040");
}

TEST_F(ModuleCheck, SilentBoxTimesOutAndTheDialogStaysForAnotherTry) {
  AddFault("silence-after=2");  // "model" is not answered within its second
  StartBox();
  const int result = RunCheck([](DialogUser& user) {
    ASSERT_TRUE(user.WaitUntil([&] {
      return !user.dialog().app_store ||
             StoreGetType(user.dialog().app_store, "CmdTable") == kItemNone;
    }));
    EXPECT_TRUE(user.IsOpen());
    user.Press("Cancel");
  });
  EXPECT_EQ(result, kResultEnd);
  EXPECT_MESSAGE_SHOWN(view_, "Module Informatiuon", "The communication process timed out.");
  EXPECT_EQ(BoxCommands().size(), 3u) << "nothing after the time-out";
}

}  // namespace
}  // namespace r7k
