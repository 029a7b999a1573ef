#include "platform/temp_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "testing/scoped_environment.h"
#include "testing/scratch_folder.h"

namespace r7k {
namespace {

mode_t Mode(const std::filesystem::path& path) {
  struct stat st {};
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

class TempFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.Clear("XDG_RUNTIME_DIR");
    env_.Set("TMPDIR", root_.string());
    own_ = root_ / ("r7kprog-" + std::to_string(geteuid()));
  }
  ScopedEnvironment env_;
  ScratchDir scratch_;
  std::filesystem::path root_ = scratch_.path(), own_;
};

TEST_F(TempFolder, RuntimeFolderFirstThenAPrivateFolderInTmpdir) {
  // The runtime folder is taken only when it is the user's private folder.
  env_.Set("XDG_RUNTIME_DIR", root_.string());
  EXPECT_EQ(PrivateTempFolder(), root_ / "r7kprog");
  EXPECT_EQ(Mode(root_ / "r7kprog"), 0700u);
  std::filesystem::create_directory(root_ / "shared");
  chmod((root_ / "shared").c_str(), 0755);
  env_.Set("XDG_RUNTIME_DIR", (root_ / "shared").string());
  EXPECT_EQ(PrivateTempFolder(), own_);
  EXPECT_EQ(Mode(own_), 0700u);
  // An existing folder of the user's that others could reach is made private again.
  chmod(own_.c_str(), 0777);
  EXPECT_EQ(PrivateTempFolder(), own_);
  EXPECT_EQ(Mode(own_), 0700u);
}

TEST_F(TempFolder, RefusesALinkOrAnotherUsersFolderInItsPlace) {
  std::filesystem::create_directory(root_ / "elsewhere");
  std::filesystem::create_directory_symlink(root_ / "elsewhere", own_);
  std::string error;
  EXPECT_EQ(PrivateTempFolder(&error), std::nullopt);
  EXPECT_EQ(error, own_.string() + ": not a folder");
  std::filesystem::remove(own_);
  if (geteuid() != 0) return;  // only root can give a folder to another user here
  std::filesystem::create_directory(own_);
  ASSERT_EQ(chown(own_.c_str(), 65534, 65534), 0);
  EXPECT_EQ(PrivateTempFolder(&error), std::nullopt);
  EXPECT_EQ(error, own_.string() + " belongs to another user");
}

}  // namespace
}  // namespace r7k
