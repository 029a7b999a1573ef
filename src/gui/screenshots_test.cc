#include "gui/screenshots.h"

#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>

#include "gui/gui_fixture.h"

namespace r7k {
namespace {

// Every dialog of the program, opened by the tour over the demo module, leaves its picture in
// the build's screenshot folder for a reviewer.
TEST(ScreenshotTour, EveryDialogIsPictured) {
  TestApplication();
  QtView view;
  const std::filesystem::path folder = ScreenshotFolder();
  ASSERT_EQ(RunScreenshotTour(view, folder.string()), 0);
  for (const char* name :
       {"Configuration", "Help", "About", "R7kProg", "Hex", "Text", "ShowPattern", "ShowSector",
        "ShowTechnique", "T_Header", "T_Instructions", "T_Patterns", "NewTech", "NewPat",
        "CheckModule", "ModuleVersion"}) {
    const QImage image(QString::fromStdString((folder / (std::string(name) + ".png")).string()));
    EXPECT_FALSE(image.isNull()) << name;
    EXPECT_GT(image.width(), 100) << name;
  }
  EXPECT_EQ(view.opened_names().front(), "Configuration");
}

}  // namespace
}  // namespace r7k
