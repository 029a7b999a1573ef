#include "gui/qt_view.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QClipboard>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <thread>

#include "gui/gui_fixture.h"
#include "link/link_message_box.h"

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
    for (const char* text : {"Ports", "Port", "Pattern file", "Palette"})
      EXPECT_TRUE(Has(labels, text)) << text;
    EXPECT_NE(user.Shown("Ports").find("sim"), std::string::npos) << user.Shown("Ports");
    EXPECT_EQ(user.Shown("Port1"), "sim") << "chosen at an earlier start";
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
    // Ctrl+C on the help button copies its picture, read again from "question.bmp".
    QKeyEvent copy(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier, "\x03");
    QApplication::sendEvent(user.Widget("Help"), &copy);
    EXPECT_EQ(QApplication::clipboard()->image().size(), QSize(16, 16));
    EXPECT_TRUE(SaveScreenshot(user, "R7kProg"));
    user.Close();
  });
  EXPECT_EQ(AppMain({}), 0);
  // The main dialog asks the box for its version as it opens.
  EXPECT_EQ(view_.opened_names(),
            (std::vector<std::string>{"Configuration", "R7kProg", "ModuleVersion"}));
  EXPECT_TRUE(MessageShown("Vardex R7000 Programmer", kGoodbye));
}

TEST_F(GuiTest, AUserBrowsesTheDemoModuleSavesAnEntityAndLooksAtAPatternASectorAndItsTechnique) {
  view_.WhenDialogOpens("Configuration", [](GuiUser& user) { user.Press("OK"); });
  view_.WhenDialogOpens("R7kProg", [&](GuiUser& user) {
    EXPECT_EQ(user.Shown("Directory"), "") << "no module yet";
    view_.ChooseFileNext(module_.string());
    EXPECT_TRUE(user.Press("..."));
    EXPECT_EQ(user.Shown("CurrentVirtualModule"), module_.string());
    ASSERT_TRUE(user.WaitUntil([&] { return !user.Shown("Directory").empty(); }));

    ASSERT_TRUE(SelectEntry(user, "T0020"));
    view_.WhenDialogOpens("Hex", [&](GuiUser& hex) {
      EXPECT_EQ(hex.Window()->windowTitle().toStdString(), "Hexadeicmal display");
      EXPECT_EQ(hex.Shown("Name"), "T0020");
      EXPECT_EQ(hex.Shown("HexData").substr(0, 6), "18 00 ") << hex.Shown("HexData");
      EXPECT_TRUE(hex.Press("Save"));
      EXPECT_EQ(hex.Shown("_Status"),
                "File " + (root_ / "modules" / "T0020.r7k").string() + " saved");
      hex.Press("Close");
      EXPECT_FALSE(hex.IsOpen());
    });
    EXPECT_TRUE(user.Press("Info"));
    EXPECT_TRUE(std::filesystem::exists(root_ / "modules" / "T0020.r7k"));
    EXPECT_EQ(StoreGetType(user.dialog().app_store, "_Status"), kItemNone)
        << "Close of Hex cleans up";

    ASSERT_TRUE(SelectEntry(user, "P3000"));
    view_.WhenDialogOpens("ShowPattern", [&](GuiUser& pattern) {
      EXPECT_EQ(pattern.Window()->windowTitle().toStdString(), "R7000 Programmer - Pattern");
      EXPECT_EQ(pattern.Shown("Name"), "P3000");
      EXPECT_EQ(pattern.Shown("nRows"), "18");
      pattern.Press("Close");
    });
    EXPECT_TRUE(user.Press("Picture"));

    ASSERT_TRUE(SelectEntry(user, "S0001"));
    view_.WhenDialogOpens("ShowSector", [&](GuiUser& sector) {
      EXPECT_EQ(sector.Shown("Technique"), "20");
      EXPECT_EQ(sector.Shown("FrontName"), "P3000");
      view_.WhenDialogOpens("ShowTechnique", [&](GuiUser& technique) {
        EXPECT_EQ(technique.Window()->windowTitle().toStdString(), "R7000 Programmer - Technique,");
        auto* tabs = technique.Window()->findChild<QTabWidget*>();
        ASSERT_NE(tabs, nullptr);
        std::vector<std::string> pages;
        for (int i = 0; i < tabs->count(); ++i) {
          tabs->setCurrentIndex(i);
          pages.push_back(tabs->tabText(i).toStdString());
        }
        EXPECT_EQ(pages, (std::vector<std::string>{"Header", "Instructions", "Patterns"}));
        EXPECT_EQ(technique.Shown("T_Size"), "91");
        EXPECT_NE(technique.Shown("Instructions").find("Ende der VerArbeitung"), std::string::npos);
        ASSERT_NE(technique.Widget("&>"), nullptr);
        EXPECT_FALSE(technique.Widget("&>")->isVisible()) << "not from the module";
        technique.Press("Close");
      });
      EXPECT_TRUE(sector.Press("Show"));
      // No printer here: the dialog's picture goes to the PDF file the user names.
      const auto pdf = root_ / "sector.pdf";
      view_.ChooseFileNext(pdf.string());
      EXPECT_TRUE(sector.Press("&Print"));
      EXPECT_EQ(view_.prints(), 1);
      std::error_code ec;
      EXPECT_GT(std::filesystem::file_size(pdf, ec), 1000u);
      sector.Press("Close");
    });
    EXPECT_TRUE(user.Press("Picture"));
    user.Press("Close");
  });
  EXPECT_EQ(AppMain({}), 0);
  std::vector<std::string> opened;  // the box's version query may show its dialog too
  for (const auto& name : view_.opened_names())
    if (name != "ModuleVersion") opened.push_back(name);
  EXPECT_EQ(opened, (std::vector<std::string>{"Configuration", "R7kProg", "Hex", "ShowPattern",
                                              "ShowSector", "ShowTechnique"}));
  for (const auto& m : view_.messages()) EXPECT_NE(m.type & 0xF0, kMbIconStop) << m.text;
}

TEST_F(GuiTest, AReadFromTheSimulatedBoxShowsItsProgressAndAStopButton) {
  RunWithModule([&](GuiUser& user) {
    auto* bar = user.Window()->findChild<QProgressBar*>("progress");
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(bar->isVisible()) << "nothing runs";
    ASSERT_TRUE(user.WaitUntil([&] { return user.Widget("ReadModule")->isEnabled(); }))
        << "the box's version arrives";
    view_.WhenDialogOpens("CheckModule", [](GuiUser& check) {
      EXPECT_EQ(check.Window()->windowTitle().toStdString(), "Check Module");
      check.Press("OK");
      check.WaitUntil([&] { return !check.IsOpen(); }, 8000);
    });
    EXPECT_TRUE(user.Press("Upload"));
    ASSERT_TRUE(user.WaitUntil([&] { return bar->isVisible() && bar->value() > 0; }, 8000));
    EXPECT_NE(bar->format().toStdString().find("Read Module: "), std::string::npos);
    EXPECT_NE(bar->format().toStdString().find(" of 524288 bytes"), std::string::npos);
    EXPECT_TRUE(SaveScreenshot(user, "R7kProg-reading"));
    auto* stop = user.Window()->findChild<QPushButton*>("stop");
    ASSERT_NE(stop, nullptr);
    EXPECT_TRUE(stop->isVisible());
    stop->click();
    EXPECT_TRUE(user.WaitUntil([&] { return !bar->isVisible(); }, 8000));
  });
}

TEST_F(GuiTest, AFileDroppedOnThePathFieldBecomesTheCurrentModule) {
  const auto rom = root_ / "modules" / "rom.r7v";
  const auto image = BuiltinImage("R7kRomx");
  std::ofstream(rom, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()),
             static_cast<std::streamsize>(image.size()));
  RunWithModule([&](GuiUser& user) {
    ASSERT_TRUE(user.WaitUntil([&] { return user.Shown("Name") == "_0000"; }));
    QWidget* path = user.Widget("CurrentVirtualModule");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(rom.string())),
                  QUrl::fromLocalFile(QString::fromStdString(module_.string()))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(path, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(path, &drop);
    EXPECT_EQ(user.Shown("CurrentVirtualModule"), rom.string()) << "the first file";
    EXPECT_TRUE(user.WaitUntil([&] { return user.Shown("Name") == "T0001"; }))
        << user.Shown("Name");
  });
}

// A box on screen: its icon and buttons follow the type, and the pressed button is the answer.
TEST_F(GuiTest, MessageBoxesShowTheIconAndButtonsOfTheirType) {
  view_.SetScripted(false);
  struct Seen {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    QString default_button;
    QString text;
  } seen;
  const auto press = [&seen](QMessageBox::StandardButton which) {
    QTimer::singleShot(0, [&seen, which] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      seen.icon = box->icon();
      seen.text = box->text();
      seen.buttons.clear();
      for (QAbstractButton* b : box->buttons()) seen.buttons << b->text().remove('&');
      seen.default_button = box->defaultButton() ? box->defaultButton()->text().remove('&') : "";
      box->button(which)->click();
    });
  };
  press(QMessageBox::No);
  EXPECT_EQ(view_.ShowMessage(0, kMbYesNo | kMbIconExclamation | kMbDefaultButton2, "Write Module",
                              "Overwrite?"),
            kIdNo);
  EXPECT_EQ(seen.icon, QMessageBox::Warning);
  EXPECT_EQ(seen.text.toStdString(), "Overwrite?");
  EXPECT_EQ(seen.buttons.size(), 2);
  EXPECT_EQ(seen.default_button.toStdString(), "No");
  press(QMessageBox::Ok);
  EXPECT_EQ(view_.ShowMessage(0, kMbIconStop, "Pattern Load", "Cannot load file x, not found"),
            kIdOk);
  EXPECT_EQ(seen.icon, QMessageBox::Critical);
  EXPECT_EQ(seen.buttons.size(), 1);
  press(QMessageBox::Cancel);
  EXPECT_EQ(view_.ShowMessage(0, kMbOkCancel | kMbIconInformation, "Read", "Go on?"), kIdCancel);
  EXPECT_EQ(seen.icon, QMessageBox::Information);
  EXPECT_EQ(seen.default_button.toStdString(), "OK");
}

TEST_F(GuiTest, TheLinkThreadsBoxesAppearOnScreenWhileADialogIsOpen) {
  view_.WhenDialogOpens("Configuration", [&](GuiUser& user) {
    std::atomic<int> answer{0};
    std::thread link([&] {
      answer =
          LinkMessageBoxText(0, "Cannot open port ttyUSB0", "Vardex R7000 Programmer", kBoxStop);
    });
    EXPECT_TRUE(user.WaitUntil([&] { return answer != 0; })) << "answered on the GUI thread";
    link.join();
    EXPECT_EQ(answer, kIdOk);
    EXPECT_TRUE(MessageShown("Vardex R7000 Programmer", "Cannot open port ttyUSB0"));
    user.Close();
  });
  EXPECT_EQ(AppMain({}), 0);
  // Asked for on the GUI thread itself, the box is shown at once.
  EXPECT_EQ(LinkMessageBoxText(0, "late", "Link", kBoxStop), kIdOk);
  EXPECT_TRUE(MessageShown("Link", "late"));
}

TEST_F(GuiTest, ClosingTheConfigurationEndsTheProgram) {
  view_.WhenDialogOpens("Configuration", [](GuiUser& user) { user.Close(); });
  EXPECT_EQ(AppMain({}), 0);
  EXPECT_EQ(view_.opened_names(), std::vector<std::string>{"Configuration"});
}

}  // namespace
}  // namespace r7k
