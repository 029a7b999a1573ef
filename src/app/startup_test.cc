#include "app/startup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/settings.h"
#include "engine/headless_expect.h"
#include "platform/config_files.h"
#include "platform/registry.h"
#include "platform/temp_folder.h"
#include "testing/fake_sysfs.h"
#include "testing/file_modes.h"
#include "testing/scoped_environment.h"
#include "testing/scratch_folder.h"

namespace r7k {
namespace {

using namespace std::chrono_literals;

constexpr char kGoodbye[] =
    "Thank you for using Vardex R7000 Programmer. Have a nice day and goodbye.";

TEST(CommandLine, OptionsInAnyCaseAndOtherTokensCounted) {
  StartupState s;
  s.command_line = "/M:12 /a:70000\tfile.r7v\nx /D";
  ParseCommandLine(s);
  EXPECT_EQ(s.monitor_id, 12);
  EXPECT_EQ(s.application_id, 70000 & 0xFFFF);
  EXPECT_TRUE(s.debug);
  EXPECT_EQ(s.other_tokens, 2);

  StartupState empty_ids;
  empty_ids.command_line = "/m: /A:";
  ParseCommandLine(empty_ids);
  EXPECT_EQ(empty_ids.monitor_id, 0);
  EXPECT_EQ(empty_ids.application_id, 0);
  EXPECT_FALSE(empty_ids.debug);

  StartupState many;
  for (int i = 0; i < 40; ++i) many.command_line += "t ";
  ParseCommandLine(many);
  EXPECT_EQ(many.other_tokens, 25);
}

TEST(CommandLine, OnlyAnAbsolutePathFirstIsTheFile) {
  EXPECT_EQ(FileFromArguments({"/home/k/m.r7v"}), "/home/k/m.r7v");
  EXPECT_EQ(FileFromArguments({"m.r7v"}), std::nullopt);
  EXPECT_EQ(FileFromArguments({"/D"}), std::nullopt);
  EXPECT_EQ(FileFromArguments({"/m:3", "/x/m.r7v"}), std::nullopt);
  EXPECT_EQ(FileFromArguments({}), std::nullopt);
}

// A user starting the program: the configuration folder and the temporary folder are fresh,
// the link thread is a recorder.
class Startup : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(root_ / "tmp");
    env_.Set("R7K_CONFIG_DIR", (root_ / "config").string());
    env_.SetTempFolder((root_ / "tmp").string());
    env_.Clear("XDG_RUNTIME_DIR");
    // Where the settings are the system's registry, a start must not find another test's.
    for (const char* value : {"Port1", "ModuleFile", "Palette", "ShowPrintDialog"})
      RegistryDeleteValue(kSettingsKey, value);
    RegistryDeleteValue(kPagecastKey, "Flags");
    AppEnvironment env;
    env.roots = sysfs_.roots();
    env.start_link = [this](const LinkStartParams& p) -> std::optional<std::int64_t> {
      link_ports_.push_back(p.port_name);
      if (link_fails_) return std::nullopt;
      return 77;
    };
    SetAppEnvironment(env);
    view_.SetIdleWait(200ms);
    DlgSetView(&view_);
  }
  void TearDown() override {
    DlgSetView(nullptr);
    SetAppEnvironment({});
  }

  std::optional<std::string> Saved(const char* value, const char* key = kSettingsKey) {
    return RegistryGetString(key, value);
  }
  bool Opened(std::string_view name) const {
    for (const auto& n : view_.opened_names())
      if (n == name) return true;
    return false;
  }

  ScratchDir scratch_;
  std::filesystem::path root_ = scratch_.path();
  ScopedEnvironment env_;
  FakeSysfs sysfs_;
  HeadlessView view_;
  std::vector<std::string> link_ports_;
  bool link_fails_ = false;
};

TEST_F(Startup, FirstStartConfiguresRunsTheMainDialogAndSavesTheSettings) {
  if (!PosixFileSystem()) GTEST_SKIP() << "links, mode bits and sysfs are POSIX's";
  sysfs_.AddUsbTty("ttyUSB0", "0403", "6001", "R7000Link");
  view_.WhenDialogOpens("Configuration", [](DialogUser& user) {
    EXPECT_EQ(user.Caption(), "Vardex R7000 Programmer Configuration");
    const auto rows = user.Rows("Ports");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], "ttyUSB0");
    EXPECT_EQ(rows[1][0], "sim");
    EXPECT_EQ(user.Text("Port1"), "ttyUSB0");
    EXPECT_FALSE(user.Set("Port1", "ttyUSB9")) << "not in the list";
    EXPECT_TRUE(user.Set("Port1", "sim"));
    EXPECT_TRUE(user.Set("CurrentVirtualModule", "/k/a.r7v"));
    EXPECT_TRUE(user.Press("Show Print Dialog"));
    EXPECT_TRUE(user.Press("OK"));
  });
  view_.WhenDialogOpens("R7kProg", [](DialogUser& user) {
    EXPECT_EQ(user.Caption(), "Vardex R7000 Programmer");
    EXPECT_EQ(user.Text("CurrentVirtualModule"), "") << "fKeep is off";
    EXPECT_EQ(user.State("ReadModule"), FieldState::kGreyed) << "no box version yet";
    user.Press("Close");
  });
  EXPECT_EQ(AppMain({}), 0);
  EXPECT_TRUE(Opened("R7kProg"));
  EXPECT_MESSAGE_SHOWN(view_, "Vardex R7000 Programmer", kGoodbye);
  EXPECT_EQ(link_ports_, std::vector<std::string>{"sim"});
  EXPECT_EQ(Saved("Port1"), "sim");
  EXPECT_EQ(Saved("ModuleFile"), "");
  EXPECT_EQ(Saved("ShowPrintDialog"), "1");
  EXPECT_EQ(Saved("Flags", kPagecastKey), "256");

  // The second start reads them back; turning the print dialog off deletes "Flags".
  view_.WhenDialogOpens("Configuration", [](DialogUser& user) {
    EXPECT_EQ(user.Text("Port1"), "sim");
    EXPECT_EQ(user.Text("ShowPrintDialog"), "1");
    user.Press("Show Print Dialog");
    user.Press("Keep file");
    user.Set("CurrentVirtualModule", "/k/b.r7v");
    user.Press("OK");
  });
  view_.WhenDialogOpens("R7kProg", [](DialogUser& user) {
    EXPECT_EQ(user.Text("CurrentVirtualModule"), "/k/b.r7v") << "fKeep is on";
    user.Press("Close");
  });
  EXPECT_EQ(AppMain({}), 0);
  EXPECT_EQ(Saved("ModuleFile"), "/k/b.r7v");
  EXPECT_EQ(Saved("ShowPrintDialog"), "0");
  EXPECT_EQ(Saved("Flags", kPagecastKey), std::nullopt);
}

TEST_F(Startup, CancellingTheConfigurationEndsWithoutSaving) {
  view_.WhenDialogOpens("Configuration", [](DialogUser& user) { user.Press("Close"); });
  EXPECT_EQ(AppMain({}), 0);
  EXPECT_FALSE(Opened("R7kProg"));
  EXPECT_TRUE(link_ports_.empty());
  EXPECT_FALSE(std::filesystem::exists(root_ / "config" / kRegistryFile));
}

TEST_F(Startup, DebugOptionMustStandAlone) {
  EXPECT_EQ(AppMain({"/d", "/m:3"}), 0);
  EXPECT_MESSAGE_SHOWN(view_, "ERROR", "/d option must be used alone");
  EXPECT_TRUE(view_.opened().empty());
}

TEST_F(Startup, DebugTakesTheOptionsFromTheProfileOrAsks) {
  view_.AnswerNextMessage(kIdNo);
  EXPECT_EQ(AppMain({"/D"}), 0);
  EXPECT_MESSAGE_SHOWN(view_, "WARNING", "Debugging while Monitor is not running.  \nContinue?");
  EXPECT_TRUE(view_.opened().empty());

  ASSERT_TRUE(WriteProfileString(kUserProfileFile, "Monitor", "CmdLine", "/m:5 /a:6"));
  view_.WhenDialogOpens("Configuration", [](DialogUser& user) { user.Press("Close"); });
  EXPECT_EQ(AppMain({"/d"}), 0);
  EXPECT_EQ(CurrentStartup().monitor_id, 5);
  EXPECT_EQ(CurrentStartup().application_id, 6);
  EXPECT_TRUE(Opened("Configuration"));
}

TEST_F(Startup, FileArgumentBecomesTheCurrentModuleWhateverKeepSays) {
  ASSERT_TRUE(RegistrySetString(kSettingsKey, "ModuleFile", "/old/saved.r7v"));
  view_.WhenDialogOpens("Configuration", [](DialogUser& user) {
    EXPECT_EQ(user.Text("CurrentVirtualModule"), "/k/given.r7v");
    user.Press("OK");
  });
  view_.WhenDialogOpens("R7kProg", [](DialogUser& user) {
    EXPECT_EQ(user.Text("CurrentVirtualModule"), "/k/given.r7v");
    user.Press("Close");
  });
  AppMain({"/k/given.r7v"});
  EXPECT_EQ(Saved("ModuleFile"), "/k/given.r7v");
}

TEST_F(Startup, PaletteIsCopiedToTheTemporaryFolderOrItsCopyRemoved) {
  const auto palette = root_ / "colours.pal";
  std::ofstream(palette) << "palette";
  ASSERT_TRUE(RegistrySetString(kSettingsKey, "Palette", palette.string()));
  view_.WhenDialogOpens("Configuration", [](DialogUser& user) { user.Press("OK"); });
  view_.WhenDialogOpens("R7kProg", [](DialogUser& user) { user.Press("Close"); });
  AppMain({});
  const auto copy = *PrivateTempFolder() / kTempPalette;
  ASSERT_TRUE(std::filesystem::exists(copy));

  // Emptying the palette field deletes the item, so the copy goes at this start.
  view_.WhenDialogOpens("Configuration", [](DialogUser& user) {
    user.Set("Palette", "");
    user.Press("OK");
  });
  view_.WhenDialogOpens("R7kProg", [](DialogUser& user) { user.Press("Close"); });
  AppMain({});
  EXPECT_FALSE(std::filesystem::exists(copy));
  EXPECT_EQ(Saved("Palette"), "");
}

TEST_F(Startup, LinkThreadThatCannotStartEndsTheProgram) {
  link_fails_ = true;
  view_.WhenDialogOpens("Configuration", [](DialogUser& user) { user.Press("OK"); });
  AppMain({});
  EXPECT_MESSAGE_SHOWN(view_, "Vardex R7000 Programmer", "Create Thread failed!");
  EXPECT_MESSAGE_SHOWN(view_, "Startup", "Application failure");
  EXPECT_FALSE(Opened("R7kProg"));
}

TEST_F(Startup, RealLinkThreadOnTheSimulatedBoxStartsAndEndsWithTheProgram) {
  AppEnvironment env;
  env.roots = sysfs_.roots();
  SetAppEnvironment(env);
  // Without a converter nothing is chosen: the simulated box only when the user picks it.
  view_.WhenDialogOpens("Configuration", [](DialogUser& user) {
    EXPECT_EQ(user.Text("Port1"), "");
    EXPECT_TRUE(user.Set("Port1", "sim"));
    user.Press("OK");
  });
  view_.WhenDialogOpens("R7kProg", [](DialogUser& user) {
    EXPECT_EQ(user.Text("_Status"), "The simulated box is in use (port \"sim\"), not a real one.");
    user.Press("Close");
  });
  EXPECT_EQ(AppMain({}), 0);
  EXPECT_MESSAGE_SHOWN(view_, "Vardex R7000 Programmer", kGoodbye);
  EXPECT_EQ(Saved("Port1"), "sim");
}

}  // namespace
}  // namespace r7k
