#include "gui/qt_view.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>

#include "gui/gui_test_fixture.h"

namespace r7k {
namespace {

constexpr char kGoodbye[] =
    "Thank you for using Vardex R7000 Programmer. Have a nice day and goodbye.";

// The texts of every label of the window.
std::vector<std::string> LabelTexts(QWidget* window) {
  std::vector<std::string> out;
  for (QLabel* l : window->findChildren<QLabel*>()) out.push_back(l->text().toStdString());
  return out;
}

bool Has(const std::vector<std::string>& texts, const std::string& text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

TEST_F(GuiTest, StartShowsTheConfigurationThenTheMainDialogWithTheDemoModule) {
  view_.WhenDialogOpens("Configuration", [&](GuiUser& user) {
    EXPECT_EQ(user.Window()->windowTitle().toStdString(), "Vardex R7000 Programmer Configuration");
    const auto labels = LabelTexts(user.Window());
    for (const char* text : {"Ports", "Port", "Pattern file", "Palette"}) EXPECT_TRUE(Has(labels, text)) << text;
    EXPECT_NE(user.Shown("Ports").find("sim"), std::string::npos) << user.Shown("Ports");
    EXPECT_EQ(user.Shown("Port1"), "sim") << "the only port is chosen";
    EXPECT_EQ(user.Widget("Ports")->toolTip().toStdString(), "List of available com ports");
    auto* ok = qobject_cast<QPushButton*>(user.Widget("OK"));
    ASSERT_NE(ok, nullptr);
    EXPECT_TRUE(ok->isDefault());
    EXPECT_FALSE(user.Set("Port1", "ttyUSB9")) << "not in the list";
    EXPECT_EQ(user.Shown("Port1"), "sim") << "a refused value is put back";
    EXPECT_TRUE(user.Set("CurrentVirtualModule", module_.string()));
    EXPECT_TRUE(user.Press("Keep file"));
    EXPECT_TRUE(qobject_cast<QCheckBox*>(user.Widget("fKeep"))->isChecked());
    auto* menu = user.Window()->findChild<QMenuBar*>();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->actions().size(), 2);
    EXPECT_TRUE(SaveScreenshot(user, "Configuration"));
    EXPECT_TRUE(user.Press("OK"));
  });
  view_.WhenDialogOpens("R7kProg", [&](GuiUser& user) {
    EXPECT_EQ(user.Window()->windowTitle().toStdString(), "Vardex R7000 Programmer");
    EXPECT_EQ(user.Shown("CurrentVirtualModule"), module_.string()) << "kept";
    EXPECT_TRUE(user.WaitUntil([&] { return !user.Shown("Directory").empty(); }));
    const std::string rows = user.Shown("Directory");
    EXPECT_EQ(rows.substr(0, rows.find('\n')), "   FC _0000 98304  98320  16   ") << rows;
    EXPECT_EQ(user.Shown("Valid"), "FC");
    EXPECT_TRUE(user.WaitUntil([&] { return user.Widget("ReadModule")->isEnabled(); }))
        << "the simulated box told its version";
    EXPECT_FALSE(user.Widget("hReadModule")->isVisible());
    EXPECT_TRUE(user.Widget("Info")->isVisible());
    EXPECT_TRUE(user.Select("Directory", 2));
    EXPECT_EQ(user.Shown("Name"), "_0002") << "the selected entry is published";
    EXPECT_EQ(user.Shown("Start"), "98322");
    const auto labels = LabelTexts(user.Window());
    for (const char* text : {"Virtual Module", "Valid", "Name", "Start", "End", "Size"})
      EXPECT_TRUE(Has(labels, text)) << text;
    EXPECT_TRUE(SaveScreenshot(user, "R7kProg"));
    user.Close();
  });
  EXPECT_EQ(AppMain({}), 0);
  // The main dialog asks the box for its version as it opens.
  EXPECT_EQ(view_.opened_names(),
            (std::vector<std::string>{"Configuration", "R7kProg", "ModuleVersion"}));
  EXPECT_TRUE(MessageShown("Vardex R7000 Programmer", kGoodbye));
}

TEST_F(GuiTest, ClosingTheConfigurationEndsTheProgram) {
  view_.WhenDialogOpens("Configuration", [](GuiUser& user) { user.Close(); });
  EXPECT_EQ(AppMain({}), 0);
  EXPECT_EQ(view_.opened_names(), std::vector<std::string>{"Configuration"});
}

}  // namespace
}  // namespace r7k
