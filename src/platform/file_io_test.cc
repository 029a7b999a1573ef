#include "platform/file_io.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "testing/scratch_folder.h"

namespace r7k {
namespace {

using ::testing::ElementsAre;

// A folder of its own: ctest runs the tests of this fixture side by side.
class AtomicFileTest : public ::testing::Test {
 protected:
  ScratchDir scratch_;
  const std::filesystem::path dir_ = scratch_.path();
};

TEST_F(AtomicFileTest, ReplacesContentAndKeepsTheFileAlone) {
  ASSERT_FALSE(dir_.empty());
  const auto path = dir_ / "module.r7v";
  ASSERT_TRUE(WriteFileAtomically(path, std::vector<uint8_t>{1, 2, 3, 4}));
  ASSERT_TRUE(WriteFileAtomically(path, std::vector<uint8_t>{9}));
  EXPECT_THAT(*ReadFileBytes(path, 100), ElementsAre(9));
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
