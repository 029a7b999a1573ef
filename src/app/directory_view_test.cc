#include "app/directory_view.h"

#include <sys/stat.h>

#include "app/directory_view_fixture.h"
#include "app/pattern_view.h"
#include "testing/file_modes.h"
#include "testing/scoped_environment.h"

namespace r7k::testing {
namespace {

const char kMainDialog[] = R"dlg(
dialog TestMain "Test"
  text 1001 ""
    tag CurrentVirtualModule
    callback CB_CurrentVirtualModule
  button 1010 "..."
    tag btnBrowse
    callback CB_Browse
    action Stay
  list 1005 ""
    tag Directory
  check 1008 "Show Valid only"
    tag fShowValidOnly
    callback CB_ShowValidOnly
    on 1
    off 0
  button 1054 "Dummy"
    tag Dummy
    hidden
    action Stay
  text 1002 ""
    tag _Status
    callback CB_MainStatus
  button 2 "Close"
    action Return
end
)dlg";

using DirectoryView = EditingTest;

std::vector<std::string> Row(StoreHandle app, int row) {
  return StoreTableGetRow(app, "Directory", row).value_or(std::vector<std::string>{});
}

TEST_F(DirectoryView, ListsTheDemoModuleAndPublishesRowZero) {
  ASSERT_TRUE(LoadDirectory(base_, app_));
  TableHandle t = StoreGetTable(app_, "Directory");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->names, (std::vector<std::string>{"Valid", "Name", "Start", "End", "Size"}));
  EXPECT_EQ(t->format, "%5s %-5s %-6s %-6s %-5s");
  EXPECT_EQ(TableReadSelection(t), 0);
  const auto first = Row(app_, 0);
  EXPECT_EQ(first[1], "_0000");
  EXPECT_EQ(Item("Name"), "_0000");
  EXPECT_EQ(Item("Valid"), "FC");
  EXPECT_EQ(Item("Start"), first[2]);
  EXPECT_EQ(std::stoll(Item("End")) - std::stoll(Item("Start")), std::stoll(Item("Size")));
  EXPECT_EQ(StoreGetNumeric(app_, "fReadOnly"), 0);
  // The deleted pattern is listed with its state until "Show Valid only" is set.
  const int deleted = StoreTableFindField(app_, "Directory", "P3002", 5, 1);
  ASSERT_GE(deleted, 0);
  EXPECT_EQ(Row(app_, deleted)[0], "F0");
  const int rows = TableRows(t);
  TableFree(t);
  StoreSetNumeric(app_, "fShowValidOnly", 1);
  ASSERT_TRUE(LoadDirectory(base_, app_));
  EXPECT_EQ(StoreTableRowCount(app_, "Directory"), rows - 1);
  EXPECT_LT(StoreTableFindField(app_, "Directory", "P3002", 5, 1), 0);
}

TEST_F(DirectoryView, RomLayoutListsT0001First) {
  UseModule("rom.r7v", BuiltinImage("R7kRom"));
  ASSERT_TRUE(LoadDirectory(base_, app_));
  EXPECT_EQ(Row(app_, 0), (std::vector<std::string>{"FC", "T0001", "32768", "32809", "41"}));
  chmod(StoreGetString(app_, "CurrentVirtualModule")->c_str(), 0444);
  if (FileModesKeepUsOut()) {  // root may write anything
    ASSERT_TRUE(LoadDirectory(base_, app_));
    EXPECT_EQ(StoreGetNumeric(app_, "fReadOnly"), 1);
  }
}

TEST_F(DirectoryView, LoadFailuresAreShownOnceUnlessAModuleOperationRuns) {
  Select("T0031");
  // Over the largest image: the shared loader's words, not "no conversion".
  const std::string path = WriteImage("big.r7v", std::vector<uint8_t>(524290, 0xFF));
  StoreSetString(app_, "CurrentVirtualModule", path);
  EXPECT_FALSE(LoadDirectory(base_, app_));
  EXPECT_MESSAGE_SHOWN(view_, "Pattern Load", "Cannot load file " + path + ", incorrect filesize");
  EXPECT_EQ(StoreGetType(app_, "Directory"), kItemNone);
  // No entry of the module before stays current: Info would show the refused file's bytes.
  for (const char* item : {"Valid", "Name", "Start", "End", "Size"})
    EXPECT_EQ(StoreGetType(app_, item), kItemNone) << item;

  const size_t shown = view_.messages().size();
  StoreSetString(app_, "CmdTable", "read\r");
  EXPECT_FALSE(LoadDirectory(base_, app_));
  EXPECT_EQ(view_.messages().size(), shown);
}

TEST_F(DirectoryView, ModuleExtensionRule) {
  EXPECT_EQ(WithModuleExtension("/k/module"), "/k/module.r7v");
  EXPECT_EQ(WithModuleExtension("/k/MODULE.R7V"), "/k/MODULE.R7V");
  EXPECT_EQ(WithModuleExtension("/k/module.bin"), "/k/module.bin.r7v");
  EXPECT_EQ(WithModuleExtension("/k.d/module"), "/k.d/module.r7v");
  std::string path;
  view_.ChooseFileNext("/k/new");
  EXPECT_EQ(SelectVirtualModuleFile("/k/", path), 1);
  EXPECT_EQ(path, "/k/new.r7v");
  EXPECT_EQ(view_.file_requests().back().title, "Select Virtual Memory Module folder & file");
  EXPECT_EQ(view_.file_requests().back().initial_path, "/k/");
  EXPECT_EQ(SelectVirtualModuleFile("/k/", path), 0);
}

TEST_F(DirectoryView, PathFieldLoadsBrowseChangesAndCheckboxFilters) {
  ASSERT_EQ(DlgLoadDefinitions(kMainDialog, "test.dlg"), std::nullopt);
  const std::string rom = WriteImage("rom.r7v", BuiltinImage("R7kRomx"));
  for (int i = 0; i < 5; ++i) view_.ChooseFileNext(std::nullopt);
  view_.ChooseFileNext(rom);
  view_.WhenDialogOpens("TestMain", [&](DialogUser& user) {
    EXPECT_EQ(Item("Name"), "_0000") << "loaded when the path was shown";
    const size_t all = user.Rows("Directory").size();
    user.Press("...");  // cancelled
    EXPECT_MESSAGE_SHOWN(view_, "Browse", "No Virtual Module selected");
    EXPECT_EQ(Item("CurrentVirtualModule"), module_);
    user.Press("Show Valid only");
    user.Pump();
    EXPECT_EQ(StoreGetNumeric(app_, "fShowValidOnly"), 1);
    EXPECT_EQ(user.Rows("Directory").size(), all - 1);
    // The directory dropped while the path stays (a new entry): the next idle round reloads.
    StoreDeleteItem(app_, "Directory");
    user.Press("...");  // cancelled again
    EXPECT_EQ(StoreTableRowCount(app_, "Directory"), static_cast<int>(all) - 1);
    // A path that fails is reported once, not at every round.
    StoreSetString(app_, "CurrentVirtualModule", (dir_ / "none.r7v").string());
    StoreDeleteItem(app_, "Directory");
    user.Press("...");
    user.Press("...");
    int failures = 0;
    for (const auto& m : view_.messages()) failures += m.caption == "Pattern Load";
    EXPECT_EQ(failures, 1);
    // The file comes (a module read into it): the next round loads it.
    WriteImage("none.r7v", BuiltinImage("demo"));
    user.Press("...");
    EXPECT_EQ(Item("Name"), "_0000");
    user.Press("...");
    EXPECT_EQ(Item("CurrentVirtualModule"), rom);
    EXPECT_EQ(Item("Name"), "T0001");
    user.Close();
  });
  DlgRunDialog(base_, "TestMain", main_, app_);
  EXPECT_NO_USER_PROBLEMS(view_);
}

TEST_F(DirectoryView, WithoutAModuleTheStatusLineSaysHowToChooseOne) {
  ASSERT_EQ(DlgLoadDefinitions(kMainDialog, "test.dlg"), std::nullopt);
  StoreDeleteItem(app_, "CurrentVirtualModule");
  StoreSetString(app_, "_Status", "The simulated box is in use");
  view_.WhenDialogOpens("TestMain", [&](DialogUser& user) {
    EXPECT_EQ(user.Text("_Status"), "The simulated box is in use") << "what is said stays";
    StoreDeleteItem(app_, "_Status");  // cleared, as a module operation does
    user.Pump();
    user.Press("...");
    EXPECT_EQ(user.Text("_Status"), kChooseModuleHint);
    EXPECT_TRUE(user.Set("CurrentVirtualModule", module_));
    user.Pump();
    EXPECT_EQ(Item("Name"), "_0000");
    EXPECT_EQ(user.Text("_Status"), "") << "the hint goes once a module is loaded";
    user.Close();
  });
  DlgRunDialog(base_, "TestMain", main_, app_);
}

TEST_F(DirectoryView, DroppedOrTypedPathsLoadTheirDirectory) {
  ASSERT_EQ(DlgLoadDefinitions(kMainDialog, "test.dlg"), std::nullopt);
  const std::string rom = WriteImage("rom.r7v", BuiltinImage("R7kRomx"));
  view_.WhenDialogOpens("TestMain", [&](DialogUser& user) {
    EXPECT_EQ(Item("Name"), "_0000");
    Field* path = user.dialog().FindField("CurrentVirtualModule");
    ASSERT_NE(path, nullptr);
    EXPECT_FALSE(DlgUserDropFiles(user.dialog(), path->index, {})) << "nothing dropped";
    EXPECT_TRUE(DlgUserDropFiles(user.dialog(), path->index, {rom, module_}));
    EXPECT_EQ(Item("CurrentVirtualModule"), rom) << "the first file only";
    EXPECT_EQ(Item("Name"), "T0001") << "its directory loaded";
    EXPECT_EQ(user.Text("CurrentVirtualModule"), rom);
    EXPECT_FALSE(
        DlgUserDropFiles(user.dialog(), user.dialog().FindField("Directory")->index, {rom}))
        << "other fields take no drops";
    // A path typed into the field loads as well.
    EXPECT_TRUE(user.Set("CurrentVirtualModule", module_));
    user.Pump();
    EXPECT_EQ(Item("Name"), "_0000");
    user.Close();
  });
  DlgRunDialog(base_, "TestMain", main_, app_);
  EXPECT_NO_USER_PROBLEMS(view_);
}

TEST_F(DirectoryView, PatternNavigationStopsAtTheEnds) {
  Select("P6000");
  EXPECT_FALSE(StepDirectorySelection(app_, 'P', true)) << "P6000 is the last pattern";
  EXPECT_EQ(Item("Name"), "P6000");
  EXPECT_TRUE(StepDirectorySelection(app_, 'P', false));
  EXPECT_EQ(Item("Name"), "P5123");
  Select("T0020");
  EXPECT_TRUE(StepDirectorySelection(app_, 'P', true));
  EXPECT_EQ(Item("Name"), "P3000");
  EXPECT_EQ(StoreTableRowCount(app_, "Directory") > 0, true);
}

// Every entity of the demo module and of both ROM images opens in its view without a message;
// in the demo module every pattern, sector side and technique grid is pictured too (the ROM
// images' records are pictured in memory by the picture procedures' tests: files take long).
TEST_F(DirectoryView, EveryEntityOfTheBuiltinImagesOpensAndPictures) {
  ScopedEnvironment env;
  env.Set("XDG_RUNTIME_DIR", dir_.string());
  int pictured = 0;
  for (const auto image : BuiltinImageNames()) {
    const bool pictures = image == "demo";
    if (pictures) RegisterPictureProcedures();
    StoreSetString(app_, "CurrentVirtualModule",
                   WriteImage(std::string(image) + ".r7v", BuiltinImage(image)));
    StoreDeleteItem(app_, "Directory");
    ASSERT_TRUE(LoadDirectory(base_, app_)) << image;
    const int rows = StoreTableRowCount(app_, "Directory");
    for (int row = 0; row < rows; ++row) {
      StoreTableSetSelection(app_, "Directory", row);
      TableHandle table = StoreGetTable(app_, "Directory");
      PublishSelection(app_, table);
      TableFree(table);
      const std::string name = Item("Name");
      if (Item("Valid") != "FC") continue;
      std::vector<const char*> procedures;  // the view, then its pictures
      switch (name[0]) {
        case 'T': procedures = {"DP_LoadTechniqueDataFromModule"}; break;
        case 'S':
          procedures = {"DP_LoadSectorData"};
          if (pictures)
            procedures.insert(procedures.end(), {"DP_UpdatefBitmap", "DP_UpdatebBitmap"});
          break;
        case 'P':
          if (pictures) procedures = {"DP_UpdateBitmap"};
          break;
        case '_': procedures = {"DP_TextInfo"}; break;
      }
      view_.WhenDialogOpens("Hex", [](DialogUser& user) { user.Close(); });
      EXPECT_EQ(DlgRunProcedure(base_, "DP_Info", main_, app_), 1) << image << " " << name;
      if (name[0] == '_') view_.WhenDialogOpens("Text", [](DialogUser& user) { user.Close(); });
      for (const char* procedure : procedures) {
        EXPECT_EQ(DlgRunProcedure(base_, procedure, main_, app_), 1)
            << image << " " << name << " " << procedure;
      }
      pictured += name[0] == 'P' && StoreGetType(app_, "PatBmp") != kItemNone;
      pictured += name[0] == 'T' && StoreGetType(app_, "bTechBmp") != kItemNone;
      pictured += name[0] == 'S' && StoreGetType(app_, "fPatBmp") != kItemNone;
    }
  }
  EXPECT_EQ(pictured, 19);  // 8 valid patterns, 5 techniques, 6 sectors
  for (const auto& m : view_.messages()) ADD_FAILURE() << m.caption << ": " << m.text;
}

}  // namespace
}  // namespace r7k::testing
