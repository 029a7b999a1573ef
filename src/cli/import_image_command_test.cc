// What r7k import-image adds to "Import picture...": its lines, the --reduce hint, the preview
// of a dry run and the exit statuses. The pattern it makes is checked in src/app.

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

// 5 x 3, four colours.
const std::vector<uint32_t> kDrawn = {0xFFFFFF, 0x000000, 0x000000, 0x000000, 0xFFFFFF,  //
                                      0xFF0000, 0xFFFFFF, 0x0000FF, 0xFFFFFF, 0xFF0000,  //
                                      0xFFFFFF, 0xFFFFFF, 0x000000, 0xFFFFFF, 0xFFFFFF};

class ImportImageCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteBytes(module_, BuiltinImage("demo"));
    WriteBytes(png_, TestPng(5, 3, kDrawn));
  }
  ScratchDir dir_;
  std::string module_ = dir_.File("demo.r7v");
  std::string png_ = dir_.File("drawn.png");
};

TEST_F(ImportImageCommand, AddsOrReplacesAndSaysWhatItDid) {
  auto run = RunR7k({"import-image", module_, "P3456", png_});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "added P3456: 4 colours, 5 x 3 stitches, 34 bytes\n");
  EXPECT_NE(RunR7k({"ls", module_}).out.find("FC P3456"), std::string::npos);

  ASSERT_EQ(RunR7k({"new-pattern", module_, "P5001", "60"}).status, 0);
  run = RunR7k({"import-image", module_, "P5001", png_, "--replace"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "replaced P5001: 4 colours, 5 x 3 stitches, 34 bytes\n");
}

TEST_F(ImportImageCommand, RefusalsExitWithFailureAndLeaveTheModuleAsItWas) {
  const auto before = ReadBytes(module_);
  std::vector<uint32_t> five = kDrawn;
  five[0] = 0x00FF00;
  const std::string many = dir_.File("five.png");
  WriteBytes(many, TestPng(5, 3, five));
  auto run = RunR7k({"import-image", module_, "P3456", many});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("The picture has more than 4 colours; a pattern holds at most 4"),
            std::string::npos)
      << run.err;
  EXPECT_TRUE(run.err.ends_with("(--reduce takes the nearest of the 4 most frequent colours)\n"));

  run = RunR7k({"import-image", module_, "P3000", png_});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Import Picture: Pattern P3000 already exists\n");
  run = RunR7k({"import-image", module_, "P34567", png_});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "r7k import-image: the name P34567 is refused: a name has 5 characters "
            "(\"P3...\" to \"P6...\")\n");
  EXPECT_EQ(ReadBytes(module_), before);

  run = RunR7k({"import-image", module_, "P3456", many, "--reduce"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "added P3456: 4 colours (reduced from 5), 5 x 3 stitches, 34 bytes\n");
}

TEST_F(ImportImageCommand, DryRunWritesOnlyThePreview) {
  const auto before = ReadBytes(module_);
  auto run = RunR7k({"import-image", module_, "P3456", png_, "--dry-run"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string preview = dir_.File("P3456-preview.png");
  EXPECT_EQ(run.out,
            "would add P3456: 4 colours, 5 x 3 stitches, 34 bytes\npreview: " + preview + "\n");
  EXPECT_EQ(ReadBytes(preview).at(1), 'P');
  run = RunR7k({"import-image", module_, "P3456", png_, "-n", "--preview", dir_.File("p.bmp")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadBytes(dir_.File("p.bmp")).at(0), 'B');
  EXPECT_EQ(ReadBytes(module_), before);
}

}  // namespace
}  // namespace r7k::cli
