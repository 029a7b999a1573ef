#include "app/techniques.h"

#include "app/directory_view_fixture.h"
#include "app/sectors.h"

namespace r7k::testing {
namespace {

using Techniques = EditingTest;

std::vector<std::string> Cells(StoreHandle app, int row) {
  return StoreTableGetRow(app, "Instructions", row).value_or(std::vector<std::string>{});
}

TEST_F(Techniques, T0001HeaderAndListingRowByRow) {
  UseModule("rom.r7v", BuiltinImage("R7kRom"));
  Select("T0001");
  EXPECT_EQ(DP_LoadTechniqueDataFromModule(base_, 0, 0, main_, app_), 1);
  EXPECT_EQ(StoreGetNumeric(app_, "T_Size"), 41);
  EXPECT_EQ(StoreGetNumeric(app_, "T_Number"), 1);
  EXPECT_EQ(Item("T_Byte3"), "");
  EXPECT_EQ(Item("T_Byte4"), "0x02 always on\r\n");
  EXPECT_EQ(Item("T_Handle"), "up");
  EXPECT_EQ(Item("T_HandleState"), "");
  EXPECT_EQ(StoreGetNumeric(app_, "T_OneTimePasses"), 4);
  EXPECT_EQ(StoreGetNumeric(app_, "T_PatternPasses"), 2);
  EXPECT_EQ(StoreGetNumeric(app_, "T_PatternWidth"), 2);
  EXPECT_EQ(StoreGetNumeric(app_, "T_PatternHeight"), 1);
  const std::vector<std::string> control_sts = {"D4", "MGK",
                                                "Display MG KONTR Maschengr\xC3\xB6\xC3\x9F"
                                                "e Kontrolieren (CONTROL STS)"};
  const std::vector<std::vector<std::string>> expected = {
      {"C0", "SSA", "Start Spezielle Anfangsverarbeitung"},
      control_sts,
      {"02,02,1", "LX,LX,1", "LX,LX,1"},
      control_sts,
      {"08,08,2", "LX,LX,2", "LX,LX,2"},
      control_sts,
      {"02,02,1", "LX,LX,1", "LX,LX,1"},
      {"F1", "ESA", "Ende Spezielle Anfangsverarbeitung (End Cast On)"},
      {"02,02,2", "LX,LX,2", "LX,LX,2"},
      {"E9", "NDV", "Neue Daten Vorn"},
      {"FA", "NDH", "Neue Daten Hinten"},
      {"EF", "EVA", "Ende der VerArbeitung"},
  };
  ASSERT_EQ(StoreTableRowCount(app_, "Instructions"), static_cast<int>(expected.size()));
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(Cells(app_, static_cast<int>(i)), expected[i]) << i;
  TableHandle t = StoreGetTable(app_, "Instructions");
  EXPECT_EQ(t->names, (std::vector<std::string>{"Code", "Instr", "Comment"}));
  TableFree(t);
}

TEST_F(Techniques, NavigationWalksTechniquesAndShortRecordsAreSafe) {
  Select("T0250");
  // The view's frame: the navigation buttons work on the directory of the application store.
  StoreSetNumeric(app_, "fFromModule", 1);
  std::vector<std::string> names;
  view_.WhenDialogOpens("ShowTechnique", [&](DialogUser& user) {
    user.Press("#1024");
    names.push_back(Item("Name"));
    EXPECT_EQ(StoreGetNumeric(app_, "T_Number"), 102);
    user.Press("#1020");
    user.Press("#1020");  // past the last technique: nothing changes
    names.push_back(Item("Name"));
    user.Close();
  });
  DlgRunDialog(base_, "ShowTechnique", main_, app_);
  EXPECT_EQ(names, (std::vector<std::string>{"T0102", "T0250"}));
  EXPECT_NO_USER_PROBLEMS(view_);

  // A record cut short: no header items, a listing that ends within the record.
  const uint8_t part[] = {0x13, 0x00, 0x01, 0x00, 0x02, 0x00, 0x00,
                          0x04, 0x02, 0x02, 0x01, 0xC0, 0x02};
  StoreSetItem(app_, "TechData", part, sizeof part);
  EXPECT_EQ(DP_LoadTechniqueDataFromColl(base_, 0, 0, main_, app_), 1);
  EXPECT_EQ(Cells(app_, 0)[0], "C0");
  StoreSetItem(app_, "TechData", part, 5);
  EXPECT_EQ(DP_LoadTechniqueDataFromColl(base_, 0, 0, main_, app_), 1);
  EXPECT_EQ(StoreGetType(app_, "T_Size"), kItemNone);
}

}  // namespace
}  // namespace r7k::testing
