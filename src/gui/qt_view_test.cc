// The Qt view driven through its widgets: the start, browsing the demo module and its pictures,
// a read's progress, drops, message boxes and the link thread's boxes.

#include "gui/qt_view.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QClipboard>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
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
#include "gui/picture_widgets.h"
#include "link/link_message_box.h"

namespace r7k {
namespace {

bool HasLabel(GuiUser& user, const char* text) {
  for (QLabel* l : user.Window()->findChildren<QLabel*>())
    if (l->text() == text) return true;
  return false;
}

// What a picture field shows now, and the colour in its middle.
QImage Shows(GuiUser& user, const char* field) {
  QApplication::processEvents();
  QWidget* w = user.Widget(field);
  return w ? w->grab().toImage() : QImage();
}
QRgb SwatchColour(GuiUser& user, const char* field) {
  const QImage image = Shows(user, field);
  return image.isNull() ? 0 : image.pixel(image.width() / 2, image.height() / 2) & 0xFFFFFF;
}

TEST_F(GuiTest, StartShowsTheConfigurationThenTheMainDialogWithTheDemoModule) {
  view_.WhenDialogOpens("Configuration", [&](GuiUser& user) {
    for (const char* text : {"Ports", "Port", "Pattern file", "Palette"})
      EXPECT_TRUE(HasLabel(user, text)) << text;
    EXPECT_NE(user.Shown("Ports").find("sim"), std::string::npos) << user.Shown("Ports");
    EXPECT_EQ(user.Widget("Ports")->toolTip().toStdString(), "List of available com ports");
    EXPECT_TRUE(qobject_cast<QPushButton*>(user.Widget("OK"))->isDefault());
    EXPECT_FALSE(user.Set("Port1", "ttyUSB9")) << "not in the list";
    EXPECT_EQ(user.Shown("Port1"), "sim") << "a refused value is put back";
    EXPECT_TRUE(user.Set("CurrentVirtualModule", module_.string()));
    EXPECT_TRUE(user.Press("Keep file"));
    EXPECT_TRUE(qobject_cast<QCheckBox*>(user.Widget("fKeep"))->isChecked());
    EXPECT_EQ(user.Window()->findChild<QMenuBar*>()->actions().size(), 2);
    EXPECT_TRUE(user.Press("OK"));
  });
  view_.WhenDialogOpens("R7kProg", [&](GuiUser& user) {
    EXPECT_EQ(user.Shown("CurrentVirtualModule"), module_.string()) << "kept";
    EXPECT_TRUE(user.WaitUntil([&] { return !user.Shown("Directory").empty(); }));
    const std::string rows = user.Shown("Directory");
    EXPECT_EQ(rows.substr(0, rows.find('\n')), "   FC _0000 98304  98320  16   ") << rows;
    EXPECT_TRUE(user.WaitUntil([&] { return user.Widget("ReadModule")->isEnabled(); }))
        << "the simulated box told its version";
    EXPECT_FALSE(user.Widget("hReadModule")->isVisible());
    EXPECT_TRUE(user.Select("Directory", 2));
    EXPECT_EQ(user.Shown("Name"), "_0002") << "the selected entry is published";
    EXPECT_EQ(user.Shown("Start"), "98322");
    // Ctrl+C on the help button copies its picture, read again from "question.bmp".
    QKeyEvent copy(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier, "\x03");
    QApplication::sendEvent(user.Widget("Help"), &copy);
    EXPECT_EQ(QApplication::clipboard()->image().size(), QSize(16, 16));
    user.Close();
  });
  EXPECT_EQ(AppMain({}), 0);
  // The main dialog asks the box for its version as it opens.
  EXPECT_EQ(view_.opened_names(),
            (std::vector<std::string>{"Configuration", "R7kProg", "ModuleVersion"}));
  EXPECT_TRUE(
      MessageShown("Vardex R7000 Programmer",
                   "Thank you for using Vardex R7000 Programmer. Have a nice day and goodbye."));
}

TEST_F(GuiTest, AUserBrowsesTheDemoModuleSavesAnEntityAndLooksAtItsPictures) {
  view_.WhenDialogOpens("Configuration", [](GuiUser& user) { user.Press("OK"); });
  view_.WhenDialogOpens("R7kProg", [&](GuiUser& user) {
    EXPECT_EQ(user.Shown("Directory"), "") << "no module yet";
    view_.ChooseFileNext(module_.string());
    EXPECT_TRUE(user.Press("..."));
    ASSERT_TRUE(user.WaitUntil([&] { return !user.Shown("Directory").empty(); }));

    ASSERT_TRUE(SelectEntry(user, "T0020"));
    view_.WhenDialogOpens("Hex", [&](GuiUser& hex) {
      EXPECT_EQ(hex.Window()->windowTitle().toStdString(), "Hexadeicmal display");
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
    view_.WhenDialogOpens("ShowTechnique", [&](GuiUser& technique) {
      auto* tabs = technique.Window()->findChild<QTabWidget*>();
      ASSERT_NE(tabs, nullptr);
      EXPECT_EQ(tabs->count(), 3);
      EXPECT_EQ(tabs->tabText(1).toStdString(), "Instructions");
      tabs->setCurrentIndex(2);
      EXPECT_EQ(technique.Shown("T_Size"), "91");
      EXPECT_NE(technique.Shown("Instructions").find("Ende der VerArbeitung"), std::string::npos);
      const QImage front = Shows(technique, "fTechBmp");
      technique.Press("&>");
      EXPECT_EQ(technique.Shown("T_Number"), "31");
      EXPECT_NE(Shows(technique, "fTechBmp"), front) << "the next technique's picture";
      technique.Close();
    });
    EXPECT_TRUE(user.Press("Picture"));

    ASSERT_TRUE(SelectEntry(user, "P5000"));  // three colours
    view_.WhenDialogOpens("ShowPattern", [&](GuiUser& pattern) {
      EXPECT_NE(SwatchColour(pattern, "Col3"), 0xFFFFFFu);
      pattern.Close();
    });
    EXPECT_TRUE(user.Press("Picture"));
    ASSERT_TRUE(SelectEntry(user, "S0001"));
    view_.WhenDialogOpens("ShowSector", [&](GuiUser& sector) {
      EXPECT_EQ(sector.Shown("Technique"), "20");
      view_.WhenDialogOpens("ShowTechnique", [&](GuiUser& technique) {
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
    ASSERT_TRUE(SelectEntry(user, "P3000"));
    view_.WhenDialogOpens("ShowPattern", [&](GuiUser& pattern) {
      EXPECT_EQ(pattern.Shown("nRows"), "18");
      EXPECT_EQ(SwatchColour(pattern, "Col3"), 0xFFFFFFu) << "not the sector's colour 3";
      pattern.Close();
    });
    EXPECT_TRUE(user.Press("Picture"));
    user.Press("Close");
  });
  EXPECT_EQ(AppMain({}), 0);
  std::vector<std::string> opened;  // the box's version query may show its dialog too
  for (const auto& name : view_.opened_names())
    if (name != "ModuleVersion") opened.push_back(name);
  EXPECT_EQ(opened, (std::vector<std::string>{"Configuration", "R7kProg", "Hex", "ShowTechnique",
                                              "ShowPattern", "ShowSector", "ShowTechnique",
                                              "ShowPattern"}));
  for (const auto& m : view_.messages()) EXPECT_NE(m.type & 0xF0, kMbIconStop) << m.text;
}

// Stopping the read from the Stop button is shown from outside the program (Desktop.upload).
TEST_F(GuiTest, AReadFromTheSimulatedBoxShowsItsProgressAndAStopButton) {
  RunWithModule([&](GuiUser& user) {
    auto* bar = user.Window()->findChild<QProgressBar*>("progress");
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(bar->isVisible()) << "nothing runs";
    ASSERT_TRUE(user.WaitUntil([&] { return user.Widget("ReadModule")->isEnabled(); }))
        << "the box's version arrives";
    view_.WhenDialogOpens("CheckModule", [](GuiUser& check) { check.Press("OK"); });
    EXPECT_TRUE(user.Press("Upload"));
    ASSERT_TRUE(user.WaitUntil([&] { return bar->isVisible() && bar->value() > 0; }, 8000));
    EXPECT_NE(bar->format().toStdString().find(" of 524288 bytes"), std::string::npos);
    EXPECT_TRUE(user.SavePicture((ScreenshotFolder() / "R7kProg-reading.png").string()));
    auto* stop = user.Window()->findChild<QPushButton*>("stop");
    EXPECT_TRUE(stop->isVisible());
    stop->click();
    EXPECT_TRUE(user.WaitUntil([&] { return !bar->isVisible(); }, 8000));
  });
}

TEST_F(GuiTest, AFileDroppedOnThePathFieldBecomesTheCurrentModule) {
  const auto rom = WriteImage("R7kRomx", "rom.r7v");
  RunWithModule([&](GuiUser& user) {
    ASSERT_TRUE(user.WaitUntil([&] { return user.Shown("Name") == "_0000"; }));
    QWidget* path = user.Widget("CurrentVirtualModule");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(rom.string())),
                  QUrl::fromLocalFile(QString::fromStdString(module_.string()))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    enter.ignore();  // events start accepted: only the field may accept it
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
  struct Case {
    int type;
    QMessageBox::StandardButton press;
    int answer;
    QMessageBox::Icon icon;
    QString buttons;  // in the order shown, the default one last
  } cases[] = {
      {kMbYesNo | kMbIconExclamation | kMbDefaultButton2, QMessageBox::No, kIdNo,
       QMessageBox::Warning, "Yes No No"},
      {kMbIconStop, QMessageBox::Ok, kIdOk, QMessageBox::Critical, "OK OK"},
      {kMbOkCancel | kMbIconInformation, QMessageBox::Cancel, kIdCancel, QMessageBox::Information,
       "OK Cancel OK"},
  };
  for (const Case& c : cases) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text;
    QStringList buttons;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      icon = box->icon();
      text = box->text();
      for (QAbstractButton* b : box->buttons()) buttons << b->text().remove('&');
      if (box->defaultButton()) buttons << box->defaultButton()->text().remove('&');
      box->button(c.press)->click();
    });
    EXPECT_EQ(view_.ShowMessage(0, c.type, "Caption", "Text"), c.answer) << c.type;
    EXPECT_EQ(icon, c.icon) << c.type;
    EXPECT_EQ(text, "Text");
    EXPECT_EQ(buttons.join(' '), c.buttons);
  }
}

TEST_F(GuiTest, TheLinkThreadsBoxesAppearOnScreenAndClosingTheConfigurationEndsTheProgram) {
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
  EXPECT_EQ(view_.opened_names(), std::vector<std::string>{"Configuration"});
  // Asked for on the GUI thread itself, the box is shown at once.
  EXPECT_EQ(LinkMessageBoxText(0, "late", "Link", kBoxStop), kIdOk);
  EXPECT_TRUE(MessageShown("Link", "late"));
}

TEST(PlaceNatural, CentredWhenSmallerTheMiddlePartWhenLarger) {
  EXPECT_EQ(PlaceNatural(QSize(300, 200), QSize(100, 50)),
            std::pair(QRect(0, 0, 100, 50), QRect(100, 75, 100, 50)));
  EXPECT_EQ(PlaceNatural(QSize(360, 240), QSize(400, 300)),
            std::pair(QRect(20, 30, 360, 240), QRect(0, 0, 360, 240)));
}

}  // namespace
}  // namespace r7k
