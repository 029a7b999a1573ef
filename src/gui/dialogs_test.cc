// The program's dialogs as a person meets them on screen: edits typed into the widgets, the
// pictures shown, what greyed buttons say.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <cstdlib>
#include <sstream>

#include "app/configuration.h"
#include "platform/os_version.h"

#include "gui/gui_fixture.h"

namespace r7k {
namespace {

class Dialogs : public GuiTest {};

TEST_F(Dialogs, WithoutAModuleTheGreyedButtonsSayWhatIsMissing) {
  // A first run without a module saves an empty path.
  view_.WhenDialogOpens("Configuration", [&](GuiUser& user) { user.Press("OK"); });
  view_.WhenDialogOpens("R7kProg", [&](GuiUser& user) { user.Close(); });
  EXPECT_EQ(AppMain({}), 0);
  view_.WhenDialogOpens("Configuration", [&](GuiUser& user) {
    user.Press("Keep file");  // kept, but no path was ever chosen
    user.Press("OK");
  });
  view_.WhenDialogOpens("R7kProg", [&](GuiUser& user) {
    for (const char* button : {"Upload", "Download", "New Tech", "New Pat", "Info", "Picture"}) {
      QWidget* w = user.Widget(button);
      ASSERT_NE(w, nullptr) << button;
      EXPECT_FALSE(w->isEnabled()) << button;
      EXPECT_NE(w->toolTip().indexOf("virtual module"), -1)
          << button << ": " << w->toolTip().toStdString();
    }
    user.Close();
  });
  EXPECT_EQ(AppMain({}), 0);
  for (const auto& m : view_.messages()) EXPECT_NE(m.caption, "Pattern Load") << m.text;
}

TEST_F(Dialogs, AModuleThatFailsToLoadLeavesNoEntrySelected) {
  const auto odd = root_ / "modules" / "odd.r7v";
  std::ofstream(odd, std::ios::binary) << std::string(196609, '\xFF');
  RunWithModule([&](GuiUser& user) {
    ASSERT_TRUE(SelectEntry(user, "T0031"));
    ASSERT_TRUE(user.Widget("Info")->isEnabled());
    user.Set("CurrentVirtualModule", odd.string());
    EXPECT_TRUE(user.WaitUntil([&] {
      return MessageShown("Pattern Load",
                          "Cannot load file " + odd.string() + ", incorrect filesize");
    }));
    EXPECT_EQ(user.Shown("Directory"), "");
    for (const char* field : {"Valid", "Name", "Start", "End", "Size"})
      EXPECT_EQ(user.Shown(field), "") << field;
    for (const char* button : {"Info", "Picture", "Clip Dir"})
      EXPECT_FALSE(user.Widget(button)->isEnabled()) << button;
    for (const char* button : {"New Tech", "New Pat", "Split"})
      EXPECT_TRUE(user.Widget(button)->isEnabled()) << button;
    user.Set("CurrentVirtualModule", "");
    for (const char* button : {"New Tech", "New Pat", "Split"})
      EXPECT_FALSE(user.Widget(button)->isEnabled()) << button;
  });
}

TEST(CommandLine, HelpAndVersionAnswerWithoutStartingTheProgram) {
  for (const auto& [option, first] :
       {std::pair{"--help", "Usage: r7kprog [MODULE.r7v]\n"}, {"--version", "r7kprog "}}) {
    std::ostringstream out;
    EXPECT_EQ(AnswerInfoOptions({option}, out), 0);
    EXPECT_TRUE(out.str().starts_with(first)) << out.str();
    // The program itself answers and ends, whatever the display.
    const std::string command = "QT_QPA_PLATFORM=offscreen timeout 20 " + ProgramFolder().string() +
                                "/r7kprog " + option + " >/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << option;
  }
  std::ostringstream out;
  EXPECT_EQ(AnswerInfoOptions({"/tmp/module.r7v"}, out), std::nullopt);
  EXPECT_EQ(AnswerInfoOptions({}, out), std::nullopt);
}

// Enter as the keyboard sends it to the widget with the focus, at a time in milliseconds.
void SendEnter(GuiUser& user, QEvent::Type type, unsigned long time) {
  QKeyEvent key(type, Qt::Key_Return, Qt::NoModifier, "\r");
  key.setTimestamp(time);
  QWidget* focus = user.Window()->focusWidget();
  QApplication::sendEvent(focus ? focus : user.Window(), &key);
}

TEST_F(Dialogs, EnterHeldFromTheConfigurationDoesNotPressTheMainDialogsDefaultButton) {
  view_.WhenDialogOpens("Configuration", [&](GuiUser& user) {
    user.Set("CurrentVirtualModule", module_.string());
    user.Press("Keep file");
    SendEnter(user, QEvent::KeyPress, 1000);  // OK, the default button
  });
  view_.WhenDialogOpens("R7kProg", [&](GuiUser& user) {
    ASSERT_TRUE(user.WaitUntil([&] { return !user.Shown("Directory").empty(); }));
    int hex = 0;
    for (int i = 0; i < 2; ++i) view_.WhenDialogOpens("Hex", [&](GuiUser& h) { ++hex, h.Close(); });
    // The key still down when the main dialog came: the keyboard repeats it, a release and a
    // press at one time.
    SendEnter(user, QEvent::KeyRelease, 1660);
    SendEnter(user, QEvent::KeyPress, 1660);
    EXPECT_EQ(hex, 0) << "Info was pressed by the key held over";
    // Let go and pressed again, Enter presses "Info" as it should.
    SendEnter(user, QEvent::KeyRelease, 1700);
    SendEnter(user, QEvent::KeyPress, 3000);
    EXPECT_EQ(hex, 1);
    user.Close();
  });
  EXPECT_EQ(AppMain({}), 0);
}

TEST_F(Dialogs, AboutShowsTheWholeSystemLineWithTheFocusOnOk) {
  view_.WhenDialogOpens("Configuration", [&](GuiUser& user) {
    view_.WhenDialogOpens("About", [&](GuiUser& about) {
      EXPECT_EQ(about.Window()->focusWidget(), about.Widget("OK"));
      auto* system = qobject_cast<QPlainTextEdit*>(about.Widget("WinVer"));
      ASSERT_NE(system, nullptr);
      EXPECT_EQ(system->lineWrapMode(), QPlainTextEdit::WidgetWidth) << "a long line wraps";
      EXPECT_EQ(system->toPlainText().toStdString(), DescribeOperatingSystem());
      EXPECT_TRUE(system->isReadOnly());
      about.Close();
    });
    user.Press("About");
    user.Close();
  });
  EXPECT_EQ(AppMain({}), 0);
}

// What assistive technology sees of a widget and does with it, as a screen reader asks.
QAccessibleInterface* Accessible(QWidget* w) { return QAccessible::queryAccessibleInterface(w); }

bool DoAction(QWidget* w, const QString& action) {
  QAccessibleActionInterface* actions = Accessible(w) ? Accessible(w)->actionInterface() : nullptr;
  if (!actions || !actions->actionNames().contains(action)) return false;
  actions->doAction(action);
  QApplication::processEvents();
  return true;
}

// Text set and rows selected by a screen reader are shown from outside the program (the desktop
// scenarios fill in the configuration and choose entries through the accessibility bus).
TEST_F(Dialogs, AssistiveTechnologyNamesTheFieldsAndItsActionsDoWhatAClickDoes) {
  view_.WhenDialogOpens("Configuration", [&](GuiUser& user) {
    EXPECT_TRUE(DoAction(user.Widget("fKeep"), QAccessibleActionInterface::toggleAction()));
    EXPECT_EQ(StoreGetNumeric(user.dialog().app_store, "fKeep"), 1);
    EXPECT_TRUE(DoAction(user.Widget("OK"), QAccessibleActionInterface::pressAction()));
  });
  view_.WhenDialogOpens("R7kProg", [&](GuiUser& user) {
    for (const char* field : {"Valid", "Name", "Start", "End", "Size"}) {
      QAccessibleInterface* shown = Accessible(user.Widget(field));
      EXPECT_EQ(shown->text(QAccessible::Name).toStdString(), field);
      // Display-only: read-only to assistive technology too, and it cannot change the text.
      EXPECT_TRUE(shown->state().readOnly) << field;
      EXPECT_FALSE(shown->state().editable) << field;
      EXPECT_EQ(shown->editableTextInterface(), nullptr) << field;
    }
    EXPECT_EQ(Accessible(user.Widget("Help"))->text(QAccessible::Name), "Help")
        << "a picture button";
    user.Close();
  });
  EXPECT_EQ(AppMain({}), 0);
}

}  // namespace
}  // namespace r7k
