#include "app/configuration.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "app/about.h"
#include "app/dialog_texts.h"
#include "app/full_page.h"
#include "app/register.h"
#include "engine/headless_expect.h"
#include "store/table.h"
#include "testing/scratch_folder.h"

namespace r7k {
namespace {

using namespace std::chrono_literals;

class ConfigDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(LoadAppDialogsAfresh(RegisterAppCallbacks), nullptr);
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
    SetDataFolders({help_ / "beside", help_ / "share"});
  }
  void TearDown() override {
    DlgSetView(nullptr);
    SetDocumentLauncher({});
    SetDataFolders({});
    StoreClose(main_);
    StoreClose(app_);
  }
  int Run(const char* name) { return DlgRunDialog(0, name, main_, app_); }

  HeadlessView view_;
  StoreHandle main_ = StoreOpen("PresMain:Pres");
  StoreHandle app_ = StoreOpen("appmain:Perm");
  std::vector<std::string> launched_;
  ScratchDir scratch_;
  std::filesystem::path help_ = scratch_.path();
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

// The Help button offers the two languages; each opens its manual's first page in the browser.
TEST_F(ConfigDialogs, HelpOpensTheManualOrSaysItIsMissing) {
  auto press_help = [this](const char* language) {
    view_.WhenDialogOpens("Configuration", [](DialogUser& user) {
      user.Press("Help");
      user.Press("Close");
    });
    // Picking a language leaves the choice open for the other one.
    view_.WhenDialogOpens("Help", [language](DialogUser& user) {
      user.Press(language);
      user.Press("Close");
    });
    Run("Configuration");
  };
  press_help("English");
  EXPECT_MESSAGE_SHOWN(view_, "Vardex R7000 Programmer", "Help file not installed");
  press_help("Nederlands");
  EXPECT_MESSAGE_SHOWN(view_, "Vardex R7000 Programmer", "Help bestand niet gevonden");
  EXPECT_TRUE(launched_.empty());

  // Installed: the first data folder that holds the page wins.
  auto make_page = [](const std::filesystem::path& page) {
    std::filesystem::create_directories(page.parent_path());
    std::ofstream(page) << "<html></html>";
  };
  make_page(help_ / "share" / kHelpFileNl);
  make_page(help_ / "share" / kHelpFileEn);
  make_page(help_ / "beside" / kHelpFileEn);
  const size_t shown = view_.messages().size();
  press_help("Nederlands");
  ASSERT_FALSE(launched_.empty());
  EXPECT_EQ(launched_.back(), (help_ / "share" / "manual" / "nl" / "index.html").string());
  press_help("English");
  EXPECT_EQ(launched_.back(), (help_ / "beside" / "manual" / "en" / "index.html").string());
  EXPECT_EQ(view_.messages().size(), shown);
  EXPECT_NO_USER_PROBLEMS(view_);

  // No browser could be started: the user learns where the manual is.
  SetDocumentLauncher([](const std::vector<std::string>&) { return false; });
  press_help("English");
  EXPECT_MESSAGE_SHOWN(view_, "Vardex R7000 Programmer",
                       "The manual is in " +
                           (help_ / "beside" / kHelpFileEn).make_preferred().string() +
                           ", but no web browser could be started to show it.");
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
