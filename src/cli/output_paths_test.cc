// What the commands may write over: never one of their own inputs, and an existing virtual
// module or entity file only with --yes.

#include <gtest/gtest.h>

#include <filesystem>

#include "cli/cli_fixture.h"
#include "common/picture_fixture.h"
#include "module/builtin_images.h"

namespace r7k::cli {
namespace {

using testing::ReadBytes;
using testing::RunR7k;
using testing::WriteBytes;

class OutputPaths : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = dir_.File("a.r7v");
    WriteBytes(module_, BuiltinImage("demo"));
    demo_ = ReadBytes(module_);
    picture_ = dir_.File("drawn.png");
    WriteBytes(picture_, TestPng(2, 1, {0xFFFFFF, 0}));
  }
  void ExpectRefused(const std::vector<std::string>& args, int status, const std::string& why) {
    const auto run = RunR7k(args);
    EXPECT_EQ(run.status, status) << args[0] << ": " << run.err;
    EXPECT_NE(run.err.find(why), std::string::npos) << args[0] << ": " << run.err;
  }
  ScratchDir dir_;
  std::string module_, picture_;
  std::vector<uint8_t> demo_;
};

TEST_F(OutputPaths, NoCommandWritesOverItsOwnInput) {
  const std::string input = " is one of the files being read";
  ExpectRefused({"picture", module_, "P3000", "-o", module_}, 2, module_ + input);
  std::filesystem::create_symlink(module_, dir_.File("link.bmp"));
  ExpectRefused({"picture", module_, "P3000", "-o", dir_.File("link.bmp")}, 2, input);
  ExpectRefused({"import-image", module_, "P3001", picture_, "--dry-run", "--preview", module_}, 2,
                input);
  ExpectRefused({"import-image", module_, "P3001", picture_, "-n", "--preview", picture_, "--yes"},
                2, input);
  // A module saved under an entity file's name is not replaced by that entity.
  const std::string named = dir_.File("P3000.r7k");
  std::filesystem::copy_file(module_, named);
  ExpectRefused({"export", named, "P3000", "--yes"}, 2, input);
  EXPECT_EQ(ReadBytes(named), demo_);
  EXPECT_EQ(ReadBytes(module_), demo_);
  EXPECT_EQ(ReadBytes(picture_), TestPng(2, 1, {0xFFFFFF, 0}));
  ExpectRefused({"picture", module_, "P3000", "-o", dir_.path().string()}, 2, " is a folder");
}

TEST_F(OutputPaths, ReplacingAModuleOrAnEntityFileNeedsYes) {
  const std::string copy = dir_.File("copy.bin");  // a module by its size
  WriteBytes(copy, demo_);
  ExpectRefused({"builtin", "R7kRom", "-o", copy}, 1,
                copy + " exists and is a virtual module; --yes replaces it");
  EXPECT_EQ(ReadBytes(copy), demo_);
  EXPECT_EQ(RunR7k({"builtin", "R7kRom", "-o", copy, "--yes"}).status, 0);
  EXPECT_EQ(ReadBytes(copy).size(), 196608u);

  // An exported entity file that was edited since is not exported over.
  ASSERT_EQ(RunR7k({"export", module_, "P3000"}).status, 0);
  const std::string entity = dir_.File("P3000.r7k");
  WriteBytes(entity, std::vector<uint8_t>{1, 2, 3});
  ExpectRefused({"export", module_, "P3000"}, 1, entity + " exists and is an entity file");
  EXPECT_EQ(ReadBytes(entity), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(RunR7k({"export", module_, "P3000", "--yes"}).status, 0);
  EXPECT_GT(ReadBytes(entity).size(), 3u);
  // Pictures replace pictures freely.
  EXPECT_EQ(RunR7k({"picture", module_, "P3000", "-o", dir_.File("p.bmp")}).status, 0);
  EXPECT_EQ(RunR7k({"picture", module_, "P3000", "-o", dir_.File("p.bmp")}).status, 0);
}

}  // namespace
}  // namespace r7k::cli
