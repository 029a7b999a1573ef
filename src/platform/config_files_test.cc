#include "platform/config_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/environment.h"
#include "testing/scoped_environment.h"
#include "testing/scratch_folder.h"

namespace r7k {
namespace {

TEST(IniText, ReadsValuesWithoutRegardToCase) {
  const std::string text = "; comment\n[Other]\nBaudRate=1\n[OPTIONS]\r\n  baudrate = 115200 \r\n";
  EXPECT_EQ(IniGetValue(text, "Options", "BaudRate"), "115200");
  EXPECT_EQ(IniGetValue(text, "Other", "BAUDRATE"), "1");
  EXPECT_EQ(IniGetValue(text, "Options", "Missing"), std::nullopt);
  EXPECT_EQ(IniGetValue(text, "Nowhere", "BaudRate"), std::nullopt);
  EXPECT_EQ(IniGetValue("[Options]\nBaudRate=\n", "Options", "BaudRate"), "");
}

TEST(IniText, SetReplacesInPlaceAndKeepsEverythingElse) {
  EXPECT_EQ(
      IniSetValue("; keep\n[Options]\nBaudRate=57600\nOther=x\n", "options", "baudrate", "921600"),
      "; keep\n[Options]\nbaudrate=921600\nOther=x\n");
  EXPECT_EQ(IniSetValue("[Options]\nA=1\n\n[Next]\nB=2\n", "Options", "BaudRate", "460800"),
            "[Options]\nA=1\nBaudRate=460800\n\n[Next]\nB=2\n");
  EXPECT_EQ(IniSetValue("[Options]\nA=1", "Options", "B", "2"), "[Options]\nA=1\nB=2");
  EXPECT_EQ(IniSetValue("", "Options", "BaudRate", "57600"), "[Options]\nBaudRate=57600\n");
  EXPECT_EQ(IniSetValue("[X]\r\nY=1", "Options", "BaudRate", "1"),
            "[X]\r\nY=1\r\n[Options]\r\nBaudRate=1\r\n");
}

TEST(IniText, DeleteRemovesOnlyThatKeyOfThatSection) {
  EXPECT_EQ(IniDeleteValue("[A]\nFlags=1\n[Software\\Pagecast]\nflags=256\nX=1\n",
                           "software\\pagecast", "Flags"),
            "[A]\nFlags=1\n[Software\\Pagecast]\nX=1\n");
  EXPECT_EQ(IniDeleteValue("[A]\nB=1", "A", "C"), "[A]\nB=1");
  EXPECT_EQ(IniDeleteValue("[A]\nB=1", "A", "B"), "[A]\n");
}

class ProfileFiles : public ::testing::Test {
 protected:
  void SetUp() override { env_.Set("R7K_CONFIG_DIR", (dir_ / "sub").string()); }
  ScopedEnvironment env_;
  ScratchDir scratch_;
  const std::filesystem::path dir_ = scratch_.path();
};

TEST_F(ProfileFiles, FolderFollowsTheEnvironment) {
  EXPECT_EQ(ConfigFolder(), dir_ / "sub");
  EXPECT_EQ(ProfilePath("R7kProg.ini"), dir_ / "sub" / "R7kProg.ini");
  ClearEnvironmentValue("R7K_CONFIG_DIR");
  EXPECT_FALSE(ConfigFolder().empty());
  EXPECT_NE(ConfigFolder(), dir_ / "sub");
}

TEST_F(ProfileFiles, WriteCreatesTheFolderAndReadsBack) {
  EXPECT_EQ(GetProfileString("R7kProg.ini", "Options", "BaudRate", "none"), "none");
  std::string error;
  ASSERT_TRUE(WriteProfileString("R7kProg.ini", "Options", "BaudRate", "921600", &error)) << error;
  ASSERT_TRUE(WriteProfileString("R7kProg.ini", "Options", "Other", "1", &error)) << error;
  EXPECT_EQ(GetProfileString("R7kProg.ini", "Options", "BaudRate"), "921600");
  std::ifstream in(dir_ / "sub" / "R7kProg.ini");
  std::stringstream s;
  s << in.rdbuf();
  EXPECT_EQ(s.str(), "[Options]\nBaudRate=921600\nOther=1\n");
  // Nothing is left beside the file.
  int files = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir_ / "sub")) ++files;
  EXPECT_EQ(files, 1);
}

TEST_F(ProfileFiles, MissingAndEmptyValuesDifferAndDeletionSticks) {
  EXPECT_EQ(ReadProfileValue("registry.ini", "K", "V"), std::nullopt);
  EXPECT_TRUE(DeleteProfileValue("registry.ini", "K", "V"));  // no file: nothing to do
  EXPECT_FALSE(std::filesystem::exists(dir_ / "sub" / "registry.ini"));
  ASSERT_TRUE(WriteProfileString("registry.ini", "K", "V", ""));
  EXPECT_EQ(ReadProfileValue("registry.ini", "K", "V"), "");
  ASSERT_TRUE(DeleteProfileValue("registry.ini", "K", "V"));
  EXPECT_EQ(ReadProfileValue("registry.ini", "K", "V"), std::nullopt);
}

// A line break in a value would add keys of its own to the file.
TEST_F(ProfileFiles, ControlCharactersAreNeverWritten) {
  ASSERT_TRUE(WriteProfileString("registry.ini", "K", "ModuleFile", "/a.r7v"));
  std::string error;
  EXPECT_FALSE(WriteProfileString("registry.ini", "K", "ModuleFile", "/x\nPort1=evil", &error));
  EXPECT_FALSE(WriteProfileString("registry.ini", "K", "Module\rFile", "/x", &error));
  EXPECT_FALSE(WriteProfileString("registry.ini", "K]\n[L", "V", "/x", &error));
  EXPECT_EQ(error, "a control character (such as a line break) cannot be saved");
  EXPECT_EQ(ReadProfileValue("registry.ini", "K", "ModuleFile"), "/a.r7v");
  EXPECT_EQ(ReadProfileValue("registry.ini", "K", "Port1"), std::nullopt);
}

TEST_F(ProfileFiles, WriteFailureIsReported) {
  std::ofstream(dir_ / "sub") << "a file where the folder should be";
  std::string error;
  EXPECT_FALSE(WriteProfileString("R7kProg.ini", "Options", "BaudRate", "1", &error));
  EXPECT_NE(error.find("Cannot write"), std::string::npos);
}

}  // namespace
}  // namespace r7k
