#include "app/configuration.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "app/about.h"
#include "app/dialog_texts.h"
#include "app/register.h"
#include "engine/headless_expect.h"
#include "store/table.h"

namespace r7k {
namespace {

using namespace std::chrono_literals;

class ConfigDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearRegistrations();
    RegisterAppCallbacks();
    DlgClearDefinitions();
    ASSERT_EQ(LoadAppDialogs(), nullptr);
    ASSERT_EQ(DlgLoadDefinitions("dialog PrintMe \"P\"\n  button 1 \"&Print\"\n"
                                 "    callback \"=CB_Print\"\n  text 1002 \"\"\n    tag _Status\n"
                                 "  button 2 \"Close\"\nend\n",
                                 "print.dlg"),
              std::nullopt);
    view_.SetIdleWait(200ms);
    DlgSetView(&view_);
    SetDocumentLauncher([this](const std::vector<std::string>& argv) {
      launched_ = argv;
      return true;
    });
    help_ = std::filesystem::temp_directory_path() / ("r7k_help_" + std::to_string(::getpid()));
    std::filesystem::create_directories(help_);
    SetHelpFolder(help_);
  }
  void TearDown() override {
    DlgSetView(nullptr);
    SetDocumentLauncher({});
    SetHelpFolder({});
    std::filesystem::remove_all(help_);
    StoreClose(main_);
    StoreClose(app_);
  }
  int Run(const char* name) { return DlgRunDialog(0, name, main_, app_); }

  HeadlessView view_;
  StoreHandle main_ = StoreOpen("PresMain:Pres");
  StoreHandle app_ = StoreOpen("appmain:Perm");
  std::vector<std::string> launched_;
  std::filesystem::path help_;
};

TEST_F(ConfigDialogs, PortMustBeInTheListOrTheDefaultEntries) {
  view_.WhenDialogOpens("Configuration", [](DialogUser& user) {
    EXPECT_EQ(user.Rows("Ports").size(), 4u) << "Com1 to Com4 without a discovered list";
    EXPECT_TRUE(user.Set("Port1", "com3"));
    EXPECT_FALSE(user.Set("Port1", "Com9"));
    EXPECT_EQ(user.Text("Port1"), "com3");
    user.Press("Close");
  });
  EXPECT_EQ(Run("Configuration"), kIdCancel);
}

TEST_F(ConfigDialogs, PaletteChosenOrEmptiedAndOkReturns) {
  StoreSetString(app_, "Palette", "/p/old.pal");
  view_.ChooseFileNext("/p/new.pal");
  view_.WhenDialogOpens("Configuration", [](DialogUser& user) {
    user.Press("btnBrowsePal");
    EXPECT_EQ(user.Text("Palette"), "/p/new.pal");
    user.Set("Palette", "");
    user.Press("OK");
  });
  EXPECT_EQ(Run("Configuration"), kIdOk);
  ASSERT_EQ(view_.file_requests().size(), 1u);
  EXPECT_EQ(view_.file_requests()[0].title, "Select Virtual Memory Module folder & file");
  EXPECT_EQ(view_.file_requests()[0].initial_path, "/p/old.pal");
  EXPECT_EQ(StoreGetType(app_, "Palette"), kItemNone);
  EXPECT_NO_USER_PROBLEMS(view_);
}

TEST_F(ConfigDialogs, HelpOpensTheFileOrSaysItIsMissing) {
  view_.WhenDialogOpens("Help", [](DialogUser& user) { user.Press("English"); });
  DlgRunDialog(0, "Help", main_, app_);
  EXPECT_MESSAGE_SHOWN(view_, "Vardex R7000 Programmer", "Help file not installed");
  view_.WhenDialogOpens("Help", [](DialogUser& user) { user.Press("Nederlands"); });
  DlgRunDialog(0, "Help", main_, app_);
  EXPECT_MESSAGE_SHOWN(view_, "Vardex R7000 Programmer", "Help bestand niet gevonden");
  EXPECT_TRUE(launched_.empty());

  std::ofstream(help_ / kHelpFileNl) << "help";
  view_.WhenDialogOpens("Help", [](DialogUser& user) { user.Press("Nederlands"); });
  DlgRunDialog(0, "Help", main_, app_);
  ASSERT_FALSE(launched_.empty());
  EXPECT_EQ(launched_.back(), (help_ / kHelpFileNl).string());
}

TEST_F(ConfigDialogs, AboutShowsVersionCopyrightAndSystem) {
  view_.WhenDialogOpens("About", [](DialogUser& user) {
    EXPECT_EQ(user.Caption(), "About R7000 Programmer");
    for (const auto& [item, value] : AboutItems()) EXPECT_EQ(user.Text(item), value) << item;
    user.Press("OK");
  });
  EXPECT_EQ(Run("About"), kIdCancel);
  EXPECT_FALSE(StoreGetString(app_, "R7kProgVersion").value_or("").empty());
  EXPECT_NO_USER_PROBLEMS(view_);
}

TEST_F(ConfigDialogs, PrintShowsPrintingAndPrintsOnce) {
  view_.WhenDialogOpens("PrintMe", [](DialogUser& user) {
    user.Press("Print");
    EXPECT_EQ(user.Text("_Status"), "Printing...");
    EXPECT_TRUE(user.IsOpen());
    user.Close();
  });
  Run("PrintMe");
  EXPECT_EQ(view_.prints(), 1);
}

}  // namespace
}  // namespace r7k
