#include "cli/box_verify.h"

#include <gtest/gtest.h>

#include <vector>

#include "cli/cli_test_util.h"

namespace r7k::cli {
namespace {

TEST(FirstDifference, OverTheFileOnly) {
  std::vector<uint8_t> file(196608, 0x11), module(524288, 0xFF);
  std::copy(file.begin(), file.end(), module.begin());
  EXPECT_EQ(FirstDifference(file, module), std::nullopt) << "the rest of the module was not written";
  module[0x1A2B3] = 0x10;
  EXPECT_EQ(FirstDifference(file, module), 0x1A2B3u);
  EXPECT_EQ(FirstDifference(file, std::span(module).first(100)), 100u);
}

TEST(CompareWithModule, SaysWhereAndWhat) {
  testing::TempDir dir;
  std::vector<uint8_t> file(524288, 0x5A), module = file;
  testing::WriteBytes(dir.File("a.r7v"), file);
  testing::WriteBytes(dir.File("b.r7v"), module);
  VerifyResult result = CompareWithModule(dir.File("a.r7v"), dir.File("b.r7v"));
  EXPECT_TRUE(result.equal);
  EXPECT_EQ(result.message, "Verified: the module holds the file's 524288 bytes.");
  module[0x7FFFF] = 0xFF;
  testing::WriteBytes(dir.File("b.r7v"), module);
  result = CompareWithModule(dir.File("a.r7v"), dir.File("b.r7v"));
  EXPECT_FALSE(result.equal);
  EXPECT_EQ(result.message,
            "Verify failed: first difference at address 0x07FFFF (file 0x5A, module 0xFF).");
  EXPECT_FALSE(CompareWithModule(dir.File("a.r7v"), dir.File("none.r7v")).equal);
}

}  // namespace
}  // namespace r7k::cli
