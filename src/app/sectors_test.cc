#include "app/sectors.h"

#include "app/directory_view_fixture.h"
#include "module/sector.h"

namespace r7k::testing {
namespace {

using Sectors = EditingTest;

TEST_F(Sectors, LoadsItemsAndEmptyBackReference) {
  Select("S0003");  // its back reference is empty
  StoreSetNumeric(main_, "bHorzRepeat", 9);
  EXPECT_EQ(DP_LoadSectorData(base_, 0, 0, main_, app_), 1);
  EXPECT_EQ(Item("FrontName", main_), "P4000");
  EXPECT_EQ(Item("fSrc", main_), "MOD  (0x08)");
  EXPECT_EQ(Item("tSrc", main_), "MOD  (0x08)");
  EXPECT_EQ(StoreGetNumeric(main_, "Technique"), 31);
  EXPECT_EQ(Item("BackName", main_), "None");
  for (const char* item : {"bSrc", "bIndex", "bnColors", "bnRows", "bnSts", "bHorzRepeat",
                           "bVertRepeat", "bToRightLeft", "bNameNum", "bSrcNum"})
    EXPECT_EQ(StoreGetType(main_, item), kItemNone) << item;
  EXPECT_EQ(StoreGetItem(app_, "TechData")->size(), 201u);
  EXPECT_EQ(StoreGetType(main_, "TechData"), kItemNone);
  const std::string invert = Item("fInvert", main_);
  EXPECT_TRUE(invert == "yes" || invert == "no");
}

TEST_F(Sectors, RefusesOtherRecordsAndShortOnes) {
  Select("T0020");
  EXPECT_EQ(DP_LoadSectorData(base_, 0, 0, main_, app_), 2);
  EXPECT_MESSAGE_SHOWN(view_, "Show Sector", "Cannot load item T0020 in module " + module_);
  Select("S0001");
  StoreSetNumeric(app_, "Size", 300);  // shorter than the fields it holds
  EXPECT_EQ(DP_LoadSectorData(base_, 0, 0, main_, app_), 2);
  StoreSetString(app_, "CurrentVirtualModule", (dir_ / "gone.r7v").string());
  EXPECT_EQ(DP_LoadSectorData(base_, 0, 0, main_, app_), 2);
  EXPECT_MESSAGE_SHOWN(view_, "Show Sector",
                       "Cannot load sector S0001 in module " + (dir_ / "gone.r7v").string());
  EXPECT_EQ(SourceText(20), "Unknown");
  EXPECT_EQ(SourceText(12), "ROM  (0x0c)");
  EXPECT_EQ(SourceText(16), "PC     (0x10)");
}

// The picture field and printing belong elsewhere; the view only needs them to exist.
int CB_Stub(FieldHandle field, int message, WParam wparam, LParam lparam) {
  return DlgFieldDefaultProc(field, message, wparam, lparam);
}

TEST_F(Sectors, NavigationAndTheEmbeddedTechnique) {
  RegisterCallback("PictureFld", CB_Stub);
  RegisterCallback("CB_Print", CB_Stub);
  Select("S0005");
  ASSERT_EQ(DP_LoadSectorData(base_, 0, 0, main_, app_), 1);
  view_.WhenDialogOpens("ShowSector", [&](DialogUser& user) {
    user.Press("&>");
    EXPECT_EQ(Item("Name"), "S0012");
    EXPECT_EQ(Item("FrontName", main_), "P5123");
    user.Press("&>");  // the last sector: nothing changes
    EXPECT_EQ(Item("Name"), "S0012");
    user.Press("&<");
    EXPECT_EQ(Item("Name"), "S0005");
    user.Press("Show");  // the picture procedure comes later; the press must not fail
    user.Close();
  });
  DlgRunDialog(base_, "ShowSector", main_, app_);
  EXPECT_NO_USER_PROBLEMS(view_);
  for (const auto& m : view_.messages()) ADD_FAILURE() << m.caption << ": " << m.text;
}

}  // namespace
}  // namespace r7k::testing
