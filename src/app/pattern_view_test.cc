#include "app/pattern_view.h"

#include <gtest/gtest.h>

#include <map>

#include "app/pattern_view_fixture.h"
#include "app/sector_pictures.h"
#include "common/sti_bmp.h"
#include "module/builtin_records.h"

namespace r7k {
namespace {

using testing::ReadAll;

class PatternView : public testing::PictureProcedures {};

TEST_F(PatternView, P2000ShowsTheSmallPictureAndItsSwatches) {
  SelectRecord(kPatternP2000, "P2000");
  std::map<std::string, int64_t> open;  // the items while the view is open
  std::string picture;
  view_.WhenDialogOpens("ShowPattern", [&](DialogUser& user) {
    for (const char* item : {"Col1", "Col2", "Col3", "Clr1", "Clr2", "nRows", "nSts", "pnColors"})
      if (Has(app_, item)) open[item] = StoreGetNumeric(app_, item);
    picture = StoreGetString(app_, "PatBmp").value_or("");
    user.Close();
  });
  EXPECT_EQ(Run("DP_Picture"), 1);
  EXPECT_TRUE(view_.messages().empty());
  EXPECT_EQ(view_.opened_names(), std::vector<std::string>{"ShowPattern"});
  // Index 7 comes first in the lowest row and gets the second default colour, green.
  EXPECT_EQ(open, (std::map<std::string, int64_t>{{"Col1", 255 * 256},
                                                  {"Col2", 255},
                                                  {"Clr1", 7},
                                                  {"Clr2", 0},
                                                  {"nRows", 2},
                                                  {"nSts", 2},
                                                  {"pnColors", 1}}));
  const auto path = pictures_ / kPatBmpFile;
  EXPECT_EQ(picture, path.string());
  EXPECT_EQ(ReadAll(path).size(), 1334u);
  // Closed, the view leaves none of its items to another view.
  for (const char* item : {"Col1", "Col2", "Clr1", "nRows", "PatBmp"})
    EXPECT_FALSE(Has(app_, item)) << item;
}

TEST_F(PatternView, FailuresAreReportedAndChangeNothing) {
  StoreSetString(app_, "PatBmp", "before");
  Select(folder_ / "missing.r7v", 0, 19, "P2000");
  EXPECT_EQ(Run("DP_Picture"), 2);
  EXPECT_EQ(Run("DP_UpdateBitmap"), 2);
  auto broken = std::vector<uint8_t>(kPatternP2000.begin(), kPatternP2000.end());
  broken[5] = 1;  // bytes 5 and 6 must be zero
  SelectRecord(broken, "P2001");
  EXPECT_EQ(Run("DP_Picture"), 2);
  broken = {kPatternP2000.begin(), kPatternP2000.end()};
  broken[9] = 0x80;  // a repeat run of count 0
  SelectRecord(broken, "P2002");
  EXPECT_EQ(Run("DP_UpdateBitmap"), 2);
  broken = {kPatternP2000.begin(), kPatternP2000.end()};
  broken[3] = broken[4] = 0;  // no rows: an empty picture would say nothing
  SelectRecord(broken, "P2003");
  EXPECT_EQ(Run("DP_Picture"), 2);

  ASSERT_EQ(view_.messages().size(), 5u);
  const std::string missing = "Cannot load module " + (folder_ / "missing.r7v").string();
  EXPECT_EQ(view_.messages()[0].text, missing);
  EXPECT_EQ(view_.messages()[1].text, missing);
  EXPECT_EQ(view_.messages()[2].text, "Cannot load P2001");
  EXPECT_EQ(view_.messages()[3].text, "Cannot load P2002");
  EXPECT_EQ(view_.messages()[4].text, "Cannot load P2003");
  for (const auto& message : view_.messages()) {
    EXPECT_EQ(message.caption, "Show Pattern");
    EXPECT_EQ(message.type, kMbIconStop);
  }
  EXPECT_TRUE(view_.opened_names().empty());
  EXPECT_EQ(StoreGetString(app_, "PatBmp"), "before");
  EXPECT_FALSE(Has(app_, "nRows"));
  EXPECT_FALSE(std::filesystem::exists(pictures_ / kPatBmpFile));
}

TEST_F(PatternView, SwatchesStopAtEightAndOldOnesGo) {
  // One row of nine colours 1..9.
  std::vector<uint8_t> nine = {9, 0, 9, 0, 1, 0, 0, 0, 11, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0};
  auto picture = PatternRecordPicture(nine);
  ASSERT_TRUE(picture);
  SetColorItems(app_, *picture);
  EXPECT_EQ(StoreGetNumeric(app_, "Clr8"), 8);
  EXPECT_FALSE(Has(app_, "Clr9"));
  picture = PatternRecordPicture(kPatternP2000);
  ASSERT_TRUE(picture);
  SetColorItems(app_, *picture);
  for (const char* gone : {"Col3", "Clr3", "Col8", "Clr8"}) EXPECT_FALSE(Has(app_, gone)) << gone;
  EXPECT_EQ(StoreGetNumeric(app_, "Clr1"), 7);
}

TEST_F(PatternView, UpdateBitmapDecodesWhateverTheNameAndOpensNoDialog) {
  SelectRecord(kPatternP2000, "S1234");
  EXPECT_EQ(Run("DP_UpdateBitmap"), 1);
  EXPECT_TRUE(view_.opened_names().empty());
  EXPECT_EQ(StoreGetNumeric(app_, "nSts"), 2);
  EXPECT_TRUE(Has(app_, "Col1"));
}

int g_sector_load_result = 1;
std::vector<std::string> g_calls;

int FakeLoadTechnique(WindowHandle, int, int, StoreHandle, StoreHandle) {
  g_calls.push_back("technique");
  return 1;
}
int FakeLoadSector(WindowHandle, int, int, StoreHandle, StoreHandle) {
  g_calls.push_back("sector");
  return g_sector_load_result;
}

TEST_F(PatternView, TechniquesAndSectorsOpenTheirViewsThroughTheNamedProcedures) {
  RegisterProcedure("DP_LoadTechniqueDataFromModule", FakeLoadTechnique);
  RegisterProcedure("DP_LoadSectorData", FakeLoadSector);
  g_calls.clear();
  const auto techniques = Entries(demo_, 'T');
  const auto sectors = Entries(demo_, 'S');
  ASSERT_FALSE(techniques.empty());
  ASSERT_FALSE(sectors.empty());

  Select(techniques[0]);
  EXPECT_EQ(Run("DP_Picture"), 1);
  EXPECT_EQ(StoreGetNumeric(app_, "fFromModule"), 1);

  // The sector's side items are not there: both pictures are removed, the view opens.
  Select(sectors[0]);
  StoreSetString(app_, "fPatBmp", "old");
  g_sector_load_result = 1;
  EXPECT_EQ(Run("DP_Picture"), 1);
  EXPECT_FALSE(Has(app_, "fPatBmp"));
  g_sector_load_result = 2;
  EXPECT_EQ(Run("DP_Picture"), 1);

  EXPECT_EQ(g_calls, (std::vector<std::string>{"technique", "sector", "sector"}));
  EXPECT_EQ(view_.opened_names(), (std::vector<std::string>{"ShowTechnique", "ShowSector"}));
  EXPECT_TRUE(view_.messages().empty());
}

// Every pattern and every technique grid (its first 201 bytes, as the view holds it) of the
// ROM images pictures.
TEST_F(PatternView, EveryPatternAndTechniqueOfTheRomImagesPictures) {
  size_t pictured = 0;
  for (const char* name : {"R7kRom", "R7kRomx"}) {
    const auto image = BuiltinImage(name);
    for (const auto& entry : Entries(image, 'P')) {
      const auto bytes = EntityBytes(image, entry);
      ASSERT_TRUE(bytes) << name << ' ' << entry.name;
      const auto picture = PatternRecordPicture(*bytes);
      ASSERT_TRUE(picture) << name << ' ' << entry.name;
      EXPECT_TRUE(StiWriteBmp(picture->Block())) << name << ' ' << entry.name;
      ++pictured;
    }
    for (const auto& entry : Entries(image, 'T')) {
      const auto bytes = EntityBytes(image, entry);
      ASSERT_TRUE(bytes) << name << ' ' << entry.name;
      const auto record = TechniqueGridRecord(bytes->first(std::min<size_t>(bytes->size(), 201)),
                                              PictureSide::kBack);
      ASSERT_TRUE(record) << name << ' ' << entry.name;
      EXPECT_TRUE(PatternRecordPicture(*record)) << name << ' ' << entry.name;
      ++pictured;
    }
  }
  EXPECT_GT(pictured, 1000u);
}

}  // namespace
}  // namespace r7k
