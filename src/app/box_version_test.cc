#include "app/box_version.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/module_ops_fixture.h"
#include "platform/config_files.h"

namespace r7k {
namespace {

using namespace std::chrono_literals;

TEST(VersionAnswers, TheFourCharactersAfterTheEcho) {
  EXPECT_EQ(ExamineVersionAnswer("rep 00 00 021A2B\r\n?"), "1A2B");
  EXPECT_EQ(ExamineVersionAnswer("REP 00 00 02\r\n?"), "");
  EXPECT_EQ(ExamineVersionAnswer("rep 00"), "");
  EXPECT_EQ(ExamineVersionAnswer("Timeout"), std::nullopt);
  EXPECT_EQ(ExamineVersionAnswer("Error 9010"), std::nullopt);
}

class BoxVersion : public ModuleOpsTest {
 protected:
  int RunVersion() { return DlgRunDialog(base_, "ModuleVersion", main_, app_); }
  int Opened(std::string_view name) const {
    return static_cast<int>(
        std::count(view_.opened_names().begin(), view_.opened_names().end(), name));
  }
};

TEST_F(BoxVersion, TheBoxAnswersAndTheDialogCloses) {
  StartBox();
  EXPECT_EQ(RunVersion(), kIdCancel);
  EXPECT_EQ(Item("ModuleVersion"), "0210");
  EXPECT_EQ(BoxCommands(), std::vector<std::string>{"rep 00 00 02"});
  EXPECT_EQ(StoreGetType(app_, "CmdTable"), kItemNone);
  EXPECT_EQ(LastProgress().operation, "Module Version");
  EXPECT_TRUE(LastProgress().finished);
  EXPECT_TRUE(LastProgress().ok);
  EXPECT_NO_USER_PROBLEMS(view_);
  EXPECT_TRUE(view_.messages().empty());
}

TEST_F(BoxVersion, ATimeoutSwitchesToThePartnerRateAndAsksOnceMore) {
  options_.baud = 921600;  // the link starts at 460800
  StartBox();
  EXPECT_EQ(RunVersion(), kIdCancel);
  EXPECT_EQ(Item("ModuleVersion"), "0210");
  EXPECT_EQ(GetProfileString("R7kProg.ini", "Options", "BaudRate"), "921600");
  EXPECT_TRUE(view_.messages().empty());
}

// Without a link thread nobody answers: each query times out (its limit is cut short here).
class VersionWithoutBox : public BoxVersion {
 protected:
  void SetUp() override {
    BoxVersion::SetUp();
    SetModuleOpLimitsForTesting({.max_limit_ms = 200});
    StoreSetString(app_, "Port1", "ttyUSB0");
  }
};

TEST_F(VersionWithoutBox, NoAnswerClosesTheDialogWithoutAVersion) {
  EXPECT_EQ(RunVersion(), kResultEnd);
  EXPECT_MESSAGE_SHOWN(view_, "Module Informatiuon", "The communication process timed out.");
  EXPECT_EQ(StoreGetType(app_, "ModuleVersion"), kItemNone);
  EXPECT_EQ(StoreGetType(app_, "CmdTable"), kItemNone);
  EXPECT_FALSE(LastProgress().ok);
}

TEST_F(VersionWithoutBox, AFailedQueryIsNotRepeatedUntilThePortChangesOrTheUserAsks) {
  view_.WhenDialogOpens("R7kProg", [this](DialogUser& user) {
    EXPECT_EQ(Opened("ModuleVersion"), 1) << "asked once as the main dialog opened";
    EXPECT_EQ(user.State("Upload"), FieldState::kGreyed);
    user.Press("Show Valid only");  // the main dialog idles after every action
    user.Press("Show Valid only");
    EXPECT_EQ(Opened("ModuleVersion"), 1);
    StoreSetString(app_, "Port1", "ttyUSB1");
    user.Press("Show Valid only");
    EXPECT_EQ(Opened("ModuleVersion"), 2) << "another port";
    EXPECT_TRUE(user.Menu(1027));  // "Ask the box for its version"
    EXPECT_EQ(Opened("ModuleVersion"), 3);
    user.Press("Close");
  });
  DlgRunDialog(base_, "R7kProg", main_, app_);
  EXPECT_EQ(Opened("ModuleVersion"), 3);
}

TEST_F(BoxVersion, AKnownVersionStartsNothingAndUnlocksUploadAndDownload) {
  StartBox();
  StoreSetString(app_, "ModuleVersion", "0210");
  view_.WhenDialogOpens("R7kProg", [this](DialogUser& user) {
    EXPECT_EQ(user.State("Upload"), FieldState::kGreyed) << "no virtual module chosen";
    EXPECT_EQ(user.State("Download"), FieldState::kGreyed);
    StoreSetString(app_, "CurrentVirtualModule", (env_.dir() / "m.r7v").string());
    user.Press("Show Valid only");
    EXPECT_EQ(user.State("Upload"), FieldState::kFull);
    EXPECT_EQ(user.State("Download"), FieldState::kFull) << "FirmwareOK is not required";
    user.Press("Close");
  });
  DlgRunDialog(base_, "R7kProg", main_, app_);
  EXPECT_EQ(Opened("ModuleVersion"), 0);
  EXPECT_TRUE(BoxCommands().empty());
}

}  // namespace
}  // namespace r7k
