#include "support/file_io.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

namespace r7k {
namespace {

using ::testing::ElementsAre;

class AtomicFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A folder of its own: ctest runs the tests of this fixture side by side.
    std::string pattern = (std::filesystem::temp_directory_path() / "r7k_atomic_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(AtomicFileTest, ReplacesContentAndKeepsTheMode) {
  const auto path = dir_ / "module.r7v";
  ASSERT_TRUE(WriteFileAtomically(path, std::vector<uint8_t>{1, 2, 3, 4}));
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(WriteFileAtomically(path, std::vector<uint8_t>{9}));
  EXPECT_THAT(*ReadFileBytes(path, 100), ElementsAre(9));
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
}

TEST_F(AtomicFileTest, FailureLeavesNothingBehind) {
  EXPECT_FALSE(WriteFileAtomically(dir_ / "no" / "file", std::vector<uint8_t>{1}));
  EXPECT_FALSE(ReadFileBytes(dir_ / "missing", 100));
  ASSERT_TRUE(WriteFileAtomically(dir_ / "big", std::vector<uint8_t>(101, 7)));
  EXPECT_FALSE(ReadFileBytes(dir_ / "big", 100));
  EXPECT_EQ(ReadFileBytes(dir_ / "big", 101)->size(), 101u);
}

}  // namespace
}  // namespace r7k
