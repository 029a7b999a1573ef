#include "app/sector_pictures.h"

#include <gtest/gtest.h>

#include "app/pattern_view_fixture.h"
#include "app/sectors.h"
#include "module/builtin_records.h"
#include "module/sector.h"

namespace r7k {
namespace {

using testing::ReadAll;
using testing::WriteAll;

class SectorPictures : public testing::PictureProcedures {
 protected:
  // The items the sector loader sets for one side ('f' or 'b').
  void SetSide(char side, const char* source, size_t index, const std::string& name, int rows,
               int sts) {
    const std::string p(1, side);
    StoreSetNumeric(main_, p + "Index", static_cast<int64_t>(index));
    StoreSetString(main_, p + "Src", source);
    StoreSetString(main_, side == 'f' ? "FrontName" : "BackName", name);
    StoreSetNumeric(main_, p + "nRows", rows);
    StoreSetNumeric(main_, p + "nSts", sts);
    StoreSetNumeric(main_, p + "nColors", 1);
  }
  void SetFront(const char* source, size_t index, const std::string& name, int rows, int sts) {
    SetSide('f', source, index, name, rows, sts);
  }
  void SetBack(const char* source, size_t index, const std::string& name, int rows, int sts) {
    SetSide('b', source, index, name, rows, sts);
  }
  // The directory index of P2000 in the first ROM image.
  size_t RomP2000() {
    const auto result = ReadDirectory(BuiltinImage("R7kRom"));
    for (const auto& entry : result.directory.entries) {
      if (entry.name == "P2000") return entry.index;
    }
    ADD_FAILURE() << "no P2000";
    return 0;
  }
  std::vector<std::string> Texts() {
    std::vector<std::string> texts;
    for (const auto& m : view_.messages()) texts.push_back(m.caption + ": " + m.text);
    return texts;
  }
};

TEST_F(SectorPictures, ASideWithoutAPatternRemovesItsPicture) {
  WriteAll(pictures_ / "fPat.Bmp", std::vector<uint8_t>{1});
  StoreSetString(app_, "fPatBmp", "x");
  StoreSetNumeric(main_, "fnRows", 2);
  StoreSetNumeric(main_, "fnSts", 2);
  StoreSetNumeric(main_, "fnColors", 1);
  EXPECT_EQ(Run("DP_UpdatefBitmap"), 1);
  EXPECT_FALSE(std::filesystem::exists(pictures_ / "fPat.Bmp"));
  for (const char* gone : {"fnRows", "fnSts", "fnColors"}) EXPECT_FALSE(Has(main_, gone));
  EXPECT_FALSE(Has(app_, "fPatBmp"));
  EXPECT_TRUE(view_.messages().empty());
}

TEST_F(SectorPictures, RomPatternsAreFoundAndSizesChecked) {
  SetFront("ROM", RomP2000(), "P2000", 2, 2);
  SetBack("ROM", RomP2000(), "P2000", 3, 2);
  EXPECT_EQ(Run("DP_UpdatefBitmap"), 1);
  EXPECT_EQ(Run("DP_UpdatebBitmap"), 1);
  EXPECT_EQ(StoreGetString(app_, "fPatBmp"), (pictures_ / "fPat.Bmp").string());
  EXPECT_EQ(StoreGetString(app_, "bPatBmp"), (pictures_ / "bPat.Bmp").string());
  EXPECT_EQ(ReadAll(pictures_ / "fPat.Bmp").size(), 1334u);
  EXPECT_EQ(ReadAll(pictures_ / "bPat.Bmp").size(), 1334u);
  ASSERT_EQ(view_.messages().size(), 1u);
  EXPECT_EQ(Texts()[0], "Update Bitmap: nRows of nStitches inconsistent");
  EXPECT_EQ(view_.messages()[0].type, kMbIconExclamation);

  StoreSetNumeric(main_, "fnSts", 5);
  EXPECT_EQ(Run("DP_UpdatefBitmap"), 1);
  EXPECT_EQ(Texts().back(), "Update Bitmap: nRows or nStitches inconsistent");
}

TEST_F(SectorPictures, RomEntryFreeOrOtherNameChangesNothing) {
  SetFront("ROM", RomP2000(), "P2999", 2, 2);
  SetBack("ROM", 100000, "P2000", 2, 2);
  StoreSetString(app_, "fPatBmp", "kept");
  EXPECT_EQ(Run("DP_UpdatefBitmap"), 2);
  EXPECT_EQ(Run("DP_UpdatebBitmap"), 2);
  EXPECT_EQ(Texts(),
            (std::vector<std::string>{"Show Sector: About to crash; index points to free space",
                                      "Show Sector: About to crash; inde points to free space"}));
  EXPECT_EQ(StoreGetString(app_, "fPatBmp"), "kept");
  EXPECT_TRUE(Has(main_, "fnRows"));
}

TEST_F(SectorPictures, ModuleReferences) {
  const auto patterns = Entries(demo_, 'P');
  ASSERT_GE(patterns.size(), 2u);
  SetFront("MOD", patterns[0].index, patterns[0].name, 0, 0);
  SetBack("MOD", patterns[1].index, "PXXXX", 0, 0);
  WriteAll(pictures_ / "bPat.Bmp", std::vector<uint8_t>{1});
  EXPECT_EQ(Run("DP_UpdatefBitmap"), 1);
  EXPECT_EQ(StoreGetString(app_, "fPatBmp"), (pictures_ / "fPat.Bmp").string());
  EXPECT_EQ(Run("DP_UpdatebBitmap"), 2);
  EXPECT_EQ(StoreGetString(app_, "bPatBmp"), "Corrupt");
  EXPECT_FALSE(std::filesystem::exists(pictures_ / "bPat.Bmp"));
  EXPECT_EQ(Texts().back(),
            "Show Sector: Index points into free space or other entry, may be deleted");

  StoreSetString(app_, "CurrentVirtualModule", (folder_ / "gone.r7v").string());
  EXPECT_EQ(Run("DP_UpdatefBitmap"), 2);
  EXPECT_EQ(Texts().back(), "Show Sector: Cannot load module " + (folder_ / "gone.r7v").string());
}

TEST_F(SectorPictures, AnUndecodableBackPatternRemovesOnlyTheBackItems) {
  const auto patterns = Entries(demo_, 'P');
  ASSERT_FALSE(patterns.empty());
  std::vector<uint8_t> image(demo_.begin(), demo_.end());
  image[patterns[0].start + 5] = 1;  // the zero bytes of the record are not zero
  const auto broken = folder_ / "broken.r7v";
  WriteAll(broken, image);
  StoreSetString(app_, "CurrentVirtualModule", broken.string());
  SetFront("ROM", RomP2000(), "P2000", 2, 2);
  SetBack("MOD", patterns[0].index, patterns[0].name, 2, 2);
  StoreSetString(app_, "bPatBmp", "old");
  EXPECT_EQ(Run("DP_UpdatefBitmap"), 1);
  EXPECT_EQ(Run("DP_UpdatebBitmap"), 2);
  EXPECT_EQ(Texts().back(),
            "Show Sector: Cannot load " + patterns[0].name + " in module " + broken.string());
  for (const char* gone : {"bnRows", "bnSts", "bnColors"}) EXPECT_FALSE(Has(main_, gone));
  EXPECT_FALSE(Has(app_, "bPatBmp"));
  for (const char* kept : {"fnRows", "fnSts", "fnColors"}) EXPECT_TRUE(Has(main_, kept));
  EXPECT_TRUE(Has(app_, "fPatBmp"));
}

TEST_F(SectorPictures, TechniqueGridsBecomePictures) {
  std::vector<uint8_t> technique = {0x13, 0,    1,    0,    0,    0,   0, 0, 0, 2, 1,  // 2 x 1
                                    0xC0, 0xEF, 0x00, 0x01, 0x01, 0x00};
  const auto front = TechniqueGridRecord(technique, PictureSide::kFront);
  ASSERT_TRUE(front);
  const auto picture = PatternRecordPicture(*front);
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->Rows(), 1);
  EXPECT_EQ(picture->Stitches(), 2);
  EXPECT_EQ(picture->Cell(0, 0), 0);
  EXPECT_EQ(picture->Cell(0, 1), 1);
  const auto back = PatternRecordPicture(*TechniqueGridRecord(technique, PictureSide::kBack));
  EXPECT_EQ(back->Cell(0, 0), 1);
  EXPECT_EQ(back->Cell(0, 1), 0);

  StoreSetItem(app_, "TechData", technique.data(), technique.size());
  EXPECT_EQ(Run("DP_UpdateTechfBitmap"), 1);
  EXPECT_EQ(Run("DP_UpdateTechbBitmap"), 1);
  EXPECT_EQ(StoreGetString(app_, "fTechBmp"), (pictures_ / "fTech.Bmp").string());
  EXPECT_EQ(StoreGetString(app_, "bTechBmp"), (pictures_ / "bTech.Bmp").string());
  EXPECT_TRUE(std::filesystem::exists(pictures_ / "bTech.Bmp"));

  // Without the end code, or with the back grid cut off, there is nothing to show.
  technique.resize(15);
  EXPECT_TRUE(TechniqueGridRecord(technique, PictureSide::kFront));
  EXPECT_FALSE(TechniqueGridRecord(technique, PictureSide::kBack));
  technique[12] = 0xEE;
  StoreSetItem(app_, "TechData", technique.data(), technique.size());
  EXPECT_EQ(Run("DP_UpdateTechfBitmap"), 2);
  EXPECT_FALSE(std::filesystem::exists(pictures_ / "fTech.Bmp"));
  EXPECT_EQ(Texts().back(), "Show Technique: Cannot load fTech.Bmp");

  // A grid wider than one literal run is split over several.
  std::vector<uint8_t> wide(11 + 1 + 2 * 200, 3);
  wide[9] = 200;
  wide[10] = 1;
  wide[11] = 0xEF;
  const auto wide_picture = PatternRecordPicture(*TechniqueGridRecord(wide, PictureSide::kBack));
  ASSERT_TRUE(wide_picture);
  EXPECT_EQ(wide_picture->Stitches(), 200);
  EXPECT_EQ(wide_picture->Cell(0, 199), 3);
}

int FakeLoadFromColl(WindowHandle, int, int, StoreHandle, StoreHandle app) {
  StoreSetString(app, "Loaded", "yes");
  return 1;
}

TEST_F(SectorPictures, TechniquePictureOpensTheTechniqueViewFromTheSector) {
  RegisterProcedure("DP_LoadTechniqueDataFromColl", FakeLoadFromColl);
  StoreSetNumeric(app_, "fFromModule", 1);
  EXPECT_EQ(Run("DP_TechniquePicture"), 1);
  EXPECT_EQ(StoreGetString(app_, "Loaded"), "yes");
  EXPECT_EQ(StoreGetNumeric(app_, "fFromModule"), 0);
  EXPECT_EQ(view_.opened_names(), std::vector<std::string>{"ShowTechnique"});
}

}  // namespace
}  // namespace r7k
