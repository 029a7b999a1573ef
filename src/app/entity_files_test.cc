#include "app/entity_files.h"

#include "app/directory_view_fixture.h"
#include "module/cut.h"
#include "module/hex_text.h"

namespace r7k::testing {
namespace {

class EntityFiles : public EditingTest {
 protected:
  int Run(DialogProcedure proc) { return proc(base_, 0, 0, main_, app_); }
  std::vector<uint8_t> EntityBytes() {
    const auto module = ReadAll(module_);
    const auto start = static_cast<size_t>(StoreGetNumeric(app_, "Start"));
    return {module.begin() + start, module.begin() + start + StoreGetNumeric(app_, "Size")};
  }
};

TEST_F(EntityFiles, InfoShowsTheEntityAndOpensHex) {
  Select("T0031");
  std::string shown;
  view_.WhenDialogOpens("Hex", [&](DialogUser& user) {
    EXPECT_EQ(user.Caption(), "Hexadeicmal display");
    shown = user.Text("HexData");
    EXPECT_EQ(user.Text("Name"), "T0031");
    user.Close();
  });
  EXPECT_EQ(Run(DP_Info), 1);
  EXPECT_EQ(shown, RenderHexText(EntityBytes()));
  EXPECT_EQ(StoreGetType(app_, "truncated"), kItemNone);

  // A long entity whose read fails leaves nothing behind: the next dialog is editable and
  // Update takes its text.
  UseModule("rom.r7v", BuiltinImage("R7kRom"));
  Select("P2191");
  StoreSetString(app_, "CurrentVirtualModule", (dir_ / "gone.r7v").string());
  EXPECT_EQ(Run(DP_Info), 2);
  EXPECT_MESSAGE_SHOWN(view_, "Info", "Cannot open " + (dir_ / "gone.r7v").string());
  EXPECT_EQ(StoreGetType(app_, "truncated"), kItemNone);
  StoreSetString(app_, "CurrentVirtualModule", module_);
  Select("T0001");
  view_.WhenDialogOpens("Hex", [&](DialogUser& user) {
    EXPECT_EQ(user.State("HexData"), FieldState::kFull);
    user.Close();
  });
  EXPECT_EQ(Run(DP_Info), 1);
}

TEST_F(EntityFiles, SavePatternWritesRecordAndCutFile) {
  Select("P3001");
  StoreSetString(app_, "HexData", RenderHexText(EntityBytes()));
  ASSERT_LE(EntityBytes().size(), kHexShownBytes);
  EXPECT_EQ(Run(DP_Save), 1);
  const std::string r7k = (dir_ / "P3001.r7k").string();
  EXPECT_EQ(ReadAll(r7k), EntityBytes());
  EXPECT_EQ(ReadAll((dir_ / "P3001.cut").string()), ConvertPatternToCut(EntityBytes()).bytes);
  EXPECT_EQ(ReadAll((dir_ / "P3001.cut").string()).size(), EntityBytes().size() - 1);
  EXPECT_EQ(Item("_Status"), "File " + r7k + " saved");
}

TEST_F(EntityFiles, SaveRefusesBadTextAndInvalidRecordsWritingNothing) {
  Select("T0031");
  auto bytes = EntityBytes();
  bytes.pop_back();  // 40 bytes: not a technique size
  StoreSetString(app_, "HexData", RenderHexText(bytes));
  EXPECT_EQ(Run(DP_Save), 2);
  EXPECT_MESSAGE_SHOWN(view_, "Save Entity", "Validate result = 2");
  StoreSetString(app_, "HexData", "00 11");
  EXPECT_EQ(Run(DP_Save), 2);
  EXPECT_MESSAGE_SHOWN(view_, "Save Memory Module", "Incorrect format");
  std::string long_text;
  for (int i = 0; i < 1025; ++i) long_text += "00 ";
  StoreSetString(app_, "HexData", long_text);
  EXPECT_EQ(Run(DP_Save), 2);
  EXPECT_EQ(view_.messages().back().text, HexTextErrorMessage(HexTextError::kTooLong));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "T0001.r7k"));

  // A module kept under the entity file's name is not saved over.
  const auto demo = ReadAll(module_);
  const std::string named = WriteImage("T0031.r7k", demo);
  StoreSetString(app_, "CurrentVirtualModule", named);
  Select("T0031");
  StoreSetString(app_, "HexData", RenderHexText(EntityBytes()));
  EXPECT_EQ(Run(DP_Save), 2);
  EXPECT_MESSAGE_SHOWN(view_, "Save Entity",
                       "Cannot write " + named + ": " + named + " is one of the files being read");
  EXPECT_EQ(ReadAll(named), demo);
}

TEST_F(EntityFiles, UpdateChecksTheSizeThenPatchesTheModule) {
  UseModule("rom.r7v", BuiltinImage("R7kRom"));
  Select("T0001");
  auto bytes = EntityBytes();
  ASSERT_EQ(bytes.size(), 41u);
  const auto before = ReadAll(module_);
  std::vector<uint8_t> shorter(bytes.begin(), bytes.end() - 1);
  StoreSetString(app_, "HexData", RenderHexText(shorter));
  EXPECT_EQ(Run(DP_Update), 2);
  EXPECT_MESSAGE_SHOWN(view_, "Update Memory Module", "Size (40) not same as size in module (41)");
  EXPECT_EQ(ReadAll(module_), before);

  bytes[5] ^= 0x01;
  StoreSetString(app_, "HexData", RenderHexText(bytes));
  EXPECT_EQ(Run(DP_Update), 1);
  EXPECT_EQ(Item("_Status"), "Memory Module updated");
  EXPECT_EQ(EntityBytes(), bytes);
  auto after = ReadAll(module_);
  after[static_cast<size_t>(StoreGetNumeric(app_, "Start")) + 5] ^= 0x01;
  EXPECT_EQ(after, before) << "only the entity's bytes change";

  StoreSetNumeric(app_, "fReadOnly", 1);
  EXPECT_EQ(Run(DP_Update), 2);
  EXPECT_MESSAGE_SHOWN(view_, "Update Memory Module", "Cannot open " + module_);
}

TEST_F(EntityFiles, LoadThenUpdateWritesTheLoadedBytes) {
  UseModule("rom.r7v", BuiltinImage("R7kRom"));
  Select("T0001");
  auto bytes = EntityBytes();
  bytes[6] = 0x22;
  WriteImage("T0001.r7k", bytes);
  StoreSetString(app_, "HexData", "");
  EXPECT_EQ(Run(DP_Load), 1);
  EXPECT_EQ(StoreGetNumeric(app_, "fLoaded"), 1);
  EXPECT_EQ(StoreGetNumeric(app_, "truncated"), 0);
  EXPECT_EQ(Item("HexData"), RenderHexText(bytes));
  EXPECT_EQ(Run(DP_Update), 1);
  EXPECT_EQ(EntityBytes(), bytes);

  // An invalid file is refused and the text stays.
  WriteImage("T0001.r7k", std::vector<uint8_t>(bytes.begin(), bytes.end() - 1));
  EXPECT_EQ(Run(DP_Load), 2);
  EXPECT_MESSAGE_SHOWN(view_, "Load Entity", "Validate result = 2");
  EXPECT_EQ(Item("HexData"), RenderHexText(bytes));
  std::filesystem::remove(dir_ / "T0001.r7k");
  EXPECT_EQ(Run(DP_Load), 2);
  EXPECT_MESSAGE_SHOWN(view_, "Load Entity", "Cannot load " + (dir_ / "T0001.r7k").string());
}

TEST_F(EntityFiles, LongEntityIsShownTruncatedAndSavedWhole) {
  // The ROM image holds a pattern of 3,783 bytes.
  UseModule("rom.r7v", BuiltinImage("R7kRom"));
  const std::string name = "P2191";
  Select(name);
  view_.WhenDialogOpens("Hex", [&](DialogUser& user) {
    EXPECT_EQ(user.State("HexData"), FieldState::kReadOnly);
    user.Press("Save");
    user.Close();
  });
  EXPECT_EQ(Run(DP_Info), 1);
  EXPECT_EQ(ReadAll((dir_ / (name + ".r7k")).string()), EntityBytes());
  EXPECT_EQ(StoreGetType(app_, "truncated"), kItemNone) << "Close deletes it";
}

}  // namespace
}  // namespace r7k::testing
