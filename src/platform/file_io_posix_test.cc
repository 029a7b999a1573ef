#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include "platform/file_io.h"
#include "testing/scratch_folder.h"

namespace r7k {
namespace {

using ::testing::ElementsAre;

class AtomicFilePosixTest : public ::testing::Test {
 protected:
  ScratchDir scratch_;
  const std::filesystem::path dir_ = scratch_.path();
};

// Editing a module through a symbolic link changes the module, not the link.
TEST_F(AtomicFilePosixTest, WritesThroughSymbolicLinksToTheirTarget) {
  std::filesystem::create_directory(dir_ / "real");
  const auto module = dir_ / "real" / "module.r7v";
  ASSERT_TRUE(WriteFileAtomically(module, std::vector<uint8_t>{1}));
  std::filesystem::create_symlink("real/module.r7v", dir_ / "relative.r7v");
  std::filesystem::create_symlink(dir_ / "relative.r7v", dir_ / "chain.r7v");
  ASSERT_TRUE(WriteFileAtomically(dir_ / "chain.r7v", std::vector<uint8_t>{2}));
  EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "chain.r7v"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "relative.r7v"));
  EXPECT_THAT(*ReadFileBytes(module, 10), ElementsAre(2));
  // No temporary file was left in the link's folder or the target's.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_ / "real"), {}), 1);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 3);
  std::filesystem::create_symlink("loop.r7v", dir_ / "loop.r7v");
  std::string error;
  EXPECT_FALSE(WriteFileAtomically(dir_ / "loop.r7v", std::vector<uint8_t>{3}, &error));
  EXPECT_FALSE(error.empty());
}

// A write that was killed leaves its hidden temporary file beside the target; the next write
// of that target removes it, but never a file of a write still running, a fresh one, or one
// that is not such a file.
TEST_F(AtomicFilePosixTest, RemovesTheStaleTemporaryFilesOfKilledWrites) {
  const auto module = dir_ / "module.r7v";
  auto make = [&](const std::string& name, bool old) {
    const auto path = dir_ / name;
    EXPECT_TRUE(WriteFileAtomically(path, std::vector<uint8_t>{0}));
    if (old) {
      const auto hour_ago = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
      std::filesystem::last_write_time(path, hour_ago);
    }
    return path;
  };
  const auto stale = make(".module.r7v.a1B2c3", true);
  const auto fresh = make(".module.r7v.d4E5f6", false);
  const auto running = make(".module.r7v.g7H8i9", true);
  const auto other_target = make(".other.r7v.a1B2c3", true);
  const auto other_pattern = make(".module.r7v.a1B2c3d", true);
  const auto folder = dir_ / ".module.r7v.j1K2l3";
  std::filesystem::create_directory(folder);
  const int held = open(running.c_str(), O_RDONLY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX), 0);

  ASSERT_TRUE(WriteFileAtomically(module, std::vector<uint8_t>{1}));
  EXPECT_FALSE(std::filesystem::exists(stale));
  for (const auto& kept : {fresh, running, other_target, other_pattern, folder})
    EXPECT_TRUE(std::filesystem::exists(kept)) << kept;
  close(held);

  // Another user's file of the same pattern stays (only root can make one here).
  if (geteuid() == 0) {
    const auto theirs = make(".module.r7v.m4N5o6", true);
    ASSERT_EQ(chown(theirs.c_str(), 65534, 65534), 0);
    ASSERT_TRUE(WriteFileAtomically(module, std::vector<uint8_t>{2}));
    EXPECT_TRUE(std::filesystem::exists(theirs));
    EXPECT_FALSE(std::filesystem::exists(running));
  }
}

TEST(AtomicFilePosix, KeepsTheModeOfTheReplacedFileAndMakesPrivateScratchFolders) {
  ScratchDir dir;
  const auto path = dir / "module.r7v";
  ASSERT_TRUE(WriteFileAtomically(path, std::vector<uint8_t>{1, 2, 3, 4}));
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(WriteFileAtomically(path, std::vector<uint8_t>{9}));
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  ASSERT_EQ(stat(dir.path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

}  // namespace
}  // namespace r7k
