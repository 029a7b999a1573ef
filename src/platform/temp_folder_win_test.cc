#include <windows.h>

#include <gtest/gtest.h>

#include "platform/environment.h"
#include "platform/temp_folder.h"
#include "testing/scratch_folder.h"

namespace r7k {
namespace {

TEST(PrivateTempFolderWin, IsAFolderInTheUsersTemporaryFolderMadeWhenMissing) {
  ScratchDir scratch;
  const char* old = std::getenv("TMP");
  const std::string saved = old ? old : "";
  SetEnvironmentValue("TMP", scratch.path().string());  // GetTempPath takes %TMP% first
  SetEnvironmentValue("TEMP", scratch.path().string());
  std::string error;
  const auto folder = PrivateTempFolder(&error);
  ASSERT_TRUE(folder) << error;
  EXPECT_EQ(*folder, scratch / "R7kProg");
  EXPECT_TRUE(std::filesystem::is_directory(*folder));
  EXPECT_EQ(PrivateTempFolder(), folder);  // an existing one is taken as it is
  SetEnvironmentValue("TMP", saved);
  SetEnvironmentValue("TEMP", saved);
}

}  // namespace
}  // namespace r7k
