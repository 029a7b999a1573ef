#include "app/import_picture.h"

#include <map>

#include "app/directory_view_fixture.h"
#include "app/pattern_view.h"
#include "common/picture_fixture.h"
#include "module/directory.h"
#include "testing/module_builder.h"

namespace r7k::testing {
namespace {

int DrawsNothing(FieldHandle field, int message, WParam wparam, LParam lparam) {
  return DlgFieldDefaultProc(field, message, wparam, lparam);
}

// 6 x 4, top row first: four colours in a pattern no row or column repeats.
const std::vector<uint32_t> kPicture = {
    0xFFFFFF, 0xFFFFFF, 0xC00000, 0xC00000, 0xFFFFFF, 0x0000C0,  //
    0xFFFFFF, 0xC00000, 0x00C000, 0x00C000, 0xC00000, 0xFFFFFF,  //
    0xC00000, 0x00C000, 0x0000C0, 0x0000C0, 0x00C000, 0xC00000,  //
    0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF};

class ImportPicture : public EditingTest {
 protected:
  void SetUp() override {
    EditingTest::SetUp();
    RegisterCallback("PictureFld", DrawsNothing);
    RegisterCallback("CB_Color", DrawsNothing);
    picture_ = WriteImage("drawn.png", TestPng(6, 4, kPicture));
  }
  // Chooses `file`, answers the colour question with `answer` (when one is expected), and
  // when `named` names the pattern in the dialog (a refused picture opens none).
  int Import(const std::string& file, const std::string& name, bool replace = false,
             std::optional<int> answer = std::nullopt, bool named = true) {
    view_.ChooseFileNext(file);
    if (answer) view_.AnswerNextMessage(*answer);
    if (named)
      view_.WhenDialogOpens("ImportPic", [=, this](DialogUser& user) {
        EXPECT_EQ(user.Text("i_Info"), info_);
        EXPECT_TRUE(user.Set("p_Name", name));
        if (replace) user.Press("i_Replace");
        user.Press("OK");
      });
    StoreSetNumeric(app_, "i_Replace", 0);
    return DP_ImportPicture(base_, 0, 0, main_, app_);
  }
  std::vector<uint8_t> Entry(const std::string& name) {
    ModuleImage image;
    image.bytes = ReadAll(module_);
    const auto record = image.Record(name);
    return {record.begin(), record.end()};
  }

  std::string picture_;
  std::string info_ = "4 colours, 6 x 4 stitches, 42 bytes";
};

TEST_F(ImportPicture, ThePatternViewShowsThePictureCellForCell) {
  ASSERT_EQ(Import(picture_, "P3123"), 1);
  EXPECT_EQ(StoreGetType(app_, "Directory"), kItemNone);  // the list reloads
  const auto record = Entry("P3123");
  ASSERT_EQ(record.size(), 42u);
  EXPECT_EQ(record[0], 4);
  const auto shown = PatternRecordPicture(record);
  ASSERT_TRUE(shown);
  ASSERT_EQ(shown->Stitches(), 6);
  ASSERT_EQ(shown->Rows(), 4);
  // One index per picture colour and one colour per index, the top row shown on top.
  std::map<uint32_t, uint8_t> index_of;
  std::map<uint8_t, uint32_t> colour_of;
  for (uint32_t y = 0; y < 4; ++y) {
    for (uint32_t x = 0; x < 6; ++x) {
      const uint32_t colour = kPicture[y * 6 + x];
      const uint8_t index = shown->Cell(3 - y, x);
      EXPECT_EQ(index_of.emplace(colour, index).first->second, index) << x << "," << y;
      EXPECT_EQ(colour_of.emplace(index, colour).first->second, colour) << x << "," << y;
    }
  }
  EXPECT_EQ(index_of.size(), 4u);
  EXPECT_EQ(index_of[0xFFFFFF], 0);  // the most frequent colour
  EXPECT_NO_USER_PROBLEMS(view_);
}

TEST_F(ImportPicture, RefusalsLeaveTheModuleUnchanged) {
  const auto before = ReadAll(module_);
  view_.ChooseFileNext(std::nullopt);
  EXPECT_EQ(DP_ImportPicture(base_, 0, 0, main_, app_), 2);
  EXPECT_MESSAGE_SHOWN(view_, "Import Picture", "No pattern added");
  // Two colours in turn across 400 stitches: one literal run after another, over 400 bytes.
  std::vector<uint32_t> busy(400);
  for (size_t x = 0; x < busy.size(); ++x) busy[x] = x % 2 ? 0xFFFFFF : 0;
  busy.insert(busy.end(), 400, 0);
  const struct {
    std::string file, name;
    bool named;  // a refused picture opens no dialog
    std::string message;
  } cases[] = {
      {picture_, "P3000", true, "Pattern P3000 already exists"},
      {picture_, "P2999", true, "Incorrect pattern name: P2999"},
      {WriteImage("wide.png", TestPng(30000, 1, std::vector<uint32_t>(30000))), "P3124", false,
       "The picture is 30000 pixels wide; a pattern row holds at most 25273 stitches"},
      {WriteImage("high.bmp", TestBmp24(1, 70000, std::vector<uint32_t>(70000))), "P3124", false,
       "The picture is 70000 pixels high; a pattern holds at most 65535 rows"},
      {WriteImage("busy.png", TestPng(400, 2, busy)), "P3124", false,
       "Row 1 from the top needs 405 bytes; a pattern row holds at most 400 (fewer colour "
       "changes in a row, or a narrower picture)"},
      {WriteImage("notes.png", std::vector<uint8_t>(20, 'x')), "P3124", false,
       "The file is neither a PNG nor a BMP picture"},
      {(dir_ / "missing.png").string(), "P3124", false,
       "Cannot read the picture " + (dir_ / "missing.png").string()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(Import(c.file, c.name, false, std::nullopt, c.named), 2);
    EXPECT_MESSAGE_SHOWN(view_, "Import Picture", c.message);
  }
  EXPECT_EQ(ReadAll(module_), before);
  EXPECT_NO_USER_PROBLEMS(view_);
}

TEST_F(ImportPicture, MoreThanFourColoursOnlyWhenTheUserAgreesToReduce) {
  std::vector<uint32_t> five = kPicture;
  five[23] = 0xF0F0F0;  // near white
  const std::string file = WriteImage("five.png", TestPng(6, 4, five));
  const auto before = ReadAll(module_);
  EXPECT_EQ(Import(file, "P3200", false, kIdNo, false), 2);
  EXPECT_MESSAGE_SHOWN(
      view_, "Import Picture",
      "The picture has more than 4 colours; a pattern holds at most 4.\nTake the nearest "
      "of its 4 most frequent colours instead?");
  EXPECT_MESSAGE_SHOWN(view_, "Import Picture", "No pattern added");
  EXPECT_EQ(ReadAll(module_), before);
  info_ = "4 colours (reduced from 5), 6 x 4 stitches, 42 bytes";
  EXPECT_EQ(Import(file, "P3200", false, kIdYes), 1);
  EXPECT_FALSE(Entry("P3200").empty());
  info_ = "4 colours, 6 x 4 stitches, 42 bytes";
  EXPECT_EQ(Import(picture_, "P3201"), 1);
  EXPECT_EQ(Entry("P3200"), Entry("P3201"));  // the near-white stitch became white
  EXPECT_NO_USER_PROBLEMS(view_);
}

TEST_F(ImportPicture, ReplaceKeepsTheEntryAndPadsWithZeros) {
  // New patterns of 80 and 20 bytes, then the picture in the place of each.
  for (const char* made : {"P4500 80", "P4501 20"}) {
    view_.WhenDialogOpens("NewPat", [made](DialogUser& user) {
      user.Set("p_Name", std::string(made, 5));
      user.Set("p_Size", made + 6);
      user.Press("OK");
    });
    ASSERT_EQ(DP_NewPattern(base_, 0, 0, main_, app_), 1);
  }
  const auto before = ReadAll(module_);
  ASSERT_EQ(Import(picture_, "P4500", true), 1);
  const auto after = ReadAll(module_);
  const auto record = Entry("P4500");
  ASSERT_EQ(record.size(), 80u);
  EXPECT_TRUE(DecodePattern(record));
  EXPECT_TRUE(std::all_of(record.begin() + 42, record.end(), [](uint8_t b) { return b == 0; }));
  size_t changed = 0;
  for (size_t i = 0; i < after.size(); ++i) changed += after[i] != before[i];
  EXPECT_LE(changed, 42u);  // only the record's bytes
  // No such pattern, or too small for the picture: nothing changes.
  EXPECT_EQ(Import(picture_, "P4502", true), 2);
  EXPECT_MESSAGE_SHOWN(view_, "Import Picture",
                       "There is no pattern P4502 to replace; nothing changed");
  EXPECT_EQ(Import(picture_, "P4501", true), 2);
  EXPECT_MESSAGE_SHOWN(view_, "Import Picture",
                       "Pattern P4501 holds 20 bytes; the picture needs 42; nothing changed");
  EXPECT_EQ(ReadAll(module_), after);
  EXPECT_NO_USER_PROBLEMS(view_);
}

TEST_F(ImportPicture, DryRunChecksEverythingAndWritesNothing) {
  const auto before = ReadAll(module_);
  StoreSetNumeric(app_, "i_DryRun", 1);
  const auto shown = PictureFile(kPatBmpFile);
  std::filesystem::remove(shown);
  EXPECT_EQ(Import(picture_, "P3123"), 1);
  EXPECT_FALSE(std::filesystem::exists(shown));  // the caller writes the preview it wants
  EXPECT_EQ(Import(picture_, "P3000"), 2);
  EXPECT_MESSAGE_SHOWN(view_, "Import Picture", "Pattern P3000 already exists");
  EXPECT_EQ(ReadAll(module_), before);
  const auto record = StoreGetItem(app_, "i_Record");
  ASSERT_TRUE(record);
  EXPECT_EQ(record->size(), 42u);
}

}  // namespace
}  // namespace r7k::testing
