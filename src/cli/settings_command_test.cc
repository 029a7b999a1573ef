#include <gtest/gtest.h>

#include "app/about.h"
#include "app/settings.h"
#include "cli/cli_fixture.h"
#include "platform/config_files.h"
#include "testing/scoped_environment.h"

namespace r7k::cli {
namespace {

using testing::RunR7k;

class SettingsCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { env_.Set("R7K_CONFIG_DIR", dir_.path().string()); }
  ScratchDir dir_;
  ScopedEnvironment env_;
};

TEST_F(SettingsCommandTest, ChangesAndShowsTheSavedValues) {
  auto run =
      // The full path names a port as --port's does.
      RunR7k(
          {"settings", "port1=/dev/ttyUSB0", "ShowPrintDialog=1", "BaudRate=921600", "Verify=0"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(RegistryGetString(kSettingsKey, "Verify"), "0");
  EXPECT_NE(run.out.find("  Port1=ttyUSB0\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("  ModuleFile=  (not set)\n"), std::string::npos) << run.out;
  EXPECT_EQ(RegistryGetString(kSettingsKey, "Port1"), "ttyUSB0");
  EXPECT_EQ(RegistryGetString(kPagecastKey, "Flags"), "256");
  EXPECT_EQ(GetProfileString(kProfileFile, "Options", "BaudRate"), "921600");

  run = RunR7k({"settings", "ShowPrintDialog=0", "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(RegistryGetString(kPagecastKey, "Flags"), std::nullopt);
  EXPECT_NE(run.out.find("\"Port1\": \"ttyUSB0\""), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"Palette\": null"), std::string::npos) << run.out;
}

TEST_F(SettingsCommandTest, AWrongAssignmentWritesNothing) {
  for (const char* bad : {"Port1=ttyUSB10", "ShowPrintDialog=yes", "Verify=2", "BaudRate=fast",
                          "Colour=red", "Port1", "BaudRate=12345", "BaudRate=99999999999999999999",
                          "ModuleFile=/x\nPort1=evil", "Palette=a\tb", "Port1=tty\x1B"}) {
    const auto run = RunR7k({"settings", "Palette=/p/a.pal", bad});
    EXPECT_EQ(run.status, 2) << bad;
    EXPECT_EQ(run.err.find("too many arguments"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("r7k settings: "), std::string::npos) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / kRegistryFile));
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / kProfileFile));
  // The refusal says what is allowed, and shows the value without its control characters.
  auto run = RunR7k({"settings", "BaudRate=12345"});
  EXPECT_EQ(run.err,
            "r7k settings: BaudRate=12345: the box speaks 57600, 115200, 460800 or "
            "921600 (empty: the port's default)\n");
  run = RunR7k({"settings", "ModuleFile=/x\nPort1=evil"});
  EXPECT_EQ(run.err,
            "r7k settings: ModuleFile=/x\\x0APort1=evil: control characters such as "
            "a line break cannot be saved\n");
}

TEST(AboutCommandTest, PrintsTheAboutItems) {
  auto run = RunR7k({"about"});
  ASSERT_EQ(run.status, 0) << run.err;
  for (const auto& [item, value] : AboutItems())
    EXPECT_NE(run.out.find(item + ": " + value + "\n"), std::string::npos) << run.out;
  run = RunR7k({"about", "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\"R7kProgVersion\": \""), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"WinVer\": \""), std::string::npos) << run.out;
}

}  // namespace
}  // namespace r7k::cli
