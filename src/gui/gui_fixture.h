#pragma once

// A user at the desktop program: a Qt application on the offscreen platform, the Qt view
// driven by a script, fresh configuration and temporary folders, no USB converters (the port
// list offers the simulated box only) and the demo module on disk.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "app/settings.h"
#include "app/startup.h"
#include "gui/gui_app.h"
#include "gui/qt_view.h"
#include "module/builtin_images.h"
#include "testing/fake_sysfs.h"
#include "testing/scratch_folder.h"

namespace r7k {

inline QApplication& TestApplication() {
  static int argc = 1;
  static char name[] = "r7k_gui_tests";
  static char* argv[] = {name, nullptr};
  static auto* app = new QApplication(argc, argv);
  return *app;
}

// Where the tests leave the dialogs' pictures for a reviewer.
inline std::filesystem::path ScreenshotFolder() {
  const char* dir = std::getenv("R7K_SCREENSHOT_DIR");
  std::filesystem::path path =
      dir && *dir ? dir : std::filesystem::temp_directory_path() / "r7k_screenshots";
  std::filesystem::create_directories(path);
  return path;
}

class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApplication();
    std::filesystem::create_directories(root_ / "tmp");
    std::filesystem::create_directories(root_ / "modules");
    ::setenv("R7K_CONFIG_DIR", (root_ / "config").c_str(), 1);
    ::setenv("TMPDIR", (root_ / "tmp").c_str(), 1);
    module_ = WriteImage("demo", "demo.r7v");
    // The user chose the simulated box at an earlier start.
    RegistrySetString(kSettingsKey, "Port1", "sim");
    AppEnvironment env;
    env.roots = sysfs_.roots();
    SetAppEnvironment(env);
    view_.SetScripted(true);
    session_ = std::make_unique<GuiSession>(view_);
  }
  void TearDown() override {
    session_.reset();
    SetAppEnvironment({});
    ::unsetenv("R7K_CONFIG_DIR");
    ::unsetenv("TMPDIR");
  }

  // A built-in module image saved as modules/FILE.
  std::filesystem::path WriteImage(const char* image, const char* file) const {
    const auto bytes = BuiltinImage(image);
    const auto path = root_ / "modules" / file;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  bool MessageShown(const std::string& caption, const std::string& text) const {
    for (const auto& m : view_.messages())
      if (m.caption == caption && m.text == text) return true;
    return false;
  }

  // The program starts with the demo module kept as the current virtual module; `main` runs in
  // the main dialog once its directory shows, then the main dialog is closed.
  void RunWithModule(const std::function<void(GuiUser&)>& main) {
    view_.WhenDialogOpens("Configuration", [&](GuiUser& user) {
      user.Set("CurrentVirtualModule", module_.string());
      user.Press("Keep file");
      user.Press("OK");
    });
    view_.WhenDialogOpens("R7kProg", [&](GuiUser& user) {
      ASSERT_TRUE(user.WaitUntil([&] { return !user.Shown("Directory").empty(); }));
      main(user);
      user.Close();
    });
    EXPECT_EQ(AppMain({}), 0);
  }

  // Selects the directory row of the entry with this name.
  static bool SelectEntry(GuiUser& user, const std::string& name) {
    const auto rows = DlgListRows(*user.dialog().FindField("Directory"));
    for (std::size_t i = 0; i < rows.size(); ++i)
      if (rows[i].size() > 1 && rows[i][1] == name)
        return user.Select("Directory", static_cast<int>(i));
    return false;
  }

  ScratchDir scratch_;
  std::filesystem::path root_ = scratch_.path();
  std::filesystem::path module_;
  FakeSysfs sysfs_;
  QtView view_;
  std::unique_ptr<GuiSession> session_;
};

}  // namespace r7k
