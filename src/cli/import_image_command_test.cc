#include <gtest/gtest.h>

#include <filesystem>

#include "app/pattern_view.h"
#include "cli/cli_fixture.h"
#include "common/picture_fixture.h"
#include "module/builtin_images.h"
#include "module/directory.h"
#include "module/pattern.h"

namespace r7k::cli {
namespace {

using testing::ReadBytes;
using testing::RunR7k;
using testing::WriteBytes;

// 5 x 3, top row first, four colours: white most often, then black, red, blue.
const std::vector<uint32_t> kDrawn = {0xFFFFFF, 0x000000, 0x000000, 0x000000, 0xFFFFFF,  //
                                      0xFF0000, 0xFFFFFF, 0x0000FF, 0xFFFFFF, 0xFF0000,  //
                                      0xFFFFFF, 0xFFFFFF, 0x000000, 0xFFFFFF, 0xFFFFFF};

class ImportImageCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = dir_.File("demo.r7v");
    WriteBytes(module_, BuiltinImage("demo"));
    png_ = Picture("drawn.png", TestPng(5, 3, kDrawn));
  }
  std::string Picture(const std::string& name, const std::vector<uint8_t>& bytes) {
    WriteBytes(dir_.File(name), bytes);
    return dir_.File(name);
  }
  std::optional<PatternGrid> Decoded(const std::string& name) {
    const auto image = ReadBytes(module_);
    for (const DirectoryEntry& e : ReadDirectory(image).directory.entries) {
      if (e.state != kEntryValid || e.name != name) continue;
      const auto bytes = EntityBytes(image, e);
      if (bytes) return DecodePattern(*bytes);
    }
    return std::nullopt;
  }

  ScratchDir dir_;
  std::string module_;
  std::string png_;
};

TEST_F(ImportImageCommand, AddsThePictureAsAPatternEntry) {
  auto run = RunR7k({"import-image", module_, "P3456", png_});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "added P3456: 4 colours, 5 x 3 stitches, 34 bytes\n");
  const auto grid = Decoded("P3456");
  ASSERT_TRUE(grid);
  // White 0, black 1, red 2, blue 3; the first stored row is the picture's bottom row.
  EXPECT_EQ(grid->cells, (std::vector<uint8_t>{0, 0, 1, 0, 0,  //
                                               2, 0, 3, 0, 2,  //
                                               0, 1, 1, 1, 0}));
  run = RunR7k({"ls", module_});
  EXPECT_NE(run.out.find("FC P3456"), std::string::npos) << run.out;
}

TEST_F(ImportImageCommand, RefusalsSayWhyAndLeaveTheModuleAsItWas) {
  const auto before = ReadBytes(module_);
  std::vector<uint32_t> five = kDrawn;
  five[0] = 0x00FF00;
  const std::string many = Picture("five.png", TestPng(5, 3, five));
  auto run = RunR7k({"import-image", module_, "P3456", many});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("The picture has more than 4 colours; a pattern holds at most 4"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("--reduce"), std::string::npos);

  run = RunR7k({"import-image", module_, "P3000", png_});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Import Picture: Pattern P3000 already exists\n");

  run = RunR7k({"import-image", module_, "P3456",
                Picture("wide.png", TestPng(26000, 1, std::vector<uint32_t>(26000)))});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "Import Picture: The picture is 26000 pixels wide; a pattern row holds at most 25273 "
            "stitches\n");
  run = RunR7k({"import-image", module_, "P3456",
                Picture("high.bmp", TestBmp24(1, 70000, std::vector<uint32_t>(70000)))});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "Import Picture: The picture is 70000 pixels high; a pattern holds at most 65535 "
            "rows\n");
  run = RunR7k({"import-image", module_, "P2456", png_});
  EXPECT_EQ(run.err, "Import Picture: Incorrect pattern name: P2456\n");
  run = RunR7k({"import-image", module_, "P3456", dir_.File("missing.png")});
  EXPECT_EQ(run.err, "Import Picture: Cannot read the picture " + dir_.File("missing.png") + "\n");
  EXPECT_EQ(ReadBytes(module_), before);

  run = RunR7k({"import-image", module_, "P3456", many, "--reduce"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "added P3456: 4 colours (reduced from 5), 5 x 3 stitches, 34 bytes\n");
}

TEST_F(ImportImageCommand, DryRunWritesOnlyThePreview) {
  const auto before = ReadBytes(module_);
  const auto shown = PictureFile(kPatBmpFile);
  std::filesystem::remove(shown);
  auto run = RunR7k({"import-image", module_, "P3456", png_, "--dry-run"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string preview = dir_.File("P3456-preview.png");
  EXPECT_EQ(run.out,
            "would add P3456: 4 colours, 5 x 3 stitches, 34 bytes\npreview: " + preview + "\n");
  const auto png = ReadBytes(preview);
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(png[1], 'P');
  run = RunR7k({"import-image", module_, "P3456", png_, "-n", "--preview", dir_.File("p.bmp")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadBytes(dir_.File("p.bmp"))[0], 'B');
  EXPECT_EQ(ReadBytes(module_), before);
  EXPECT_FALSE(std::filesystem::exists(shown));
}

TEST_F(ImportImageCommand, ReplacePutsThePictureInAnEntryThatHoldsIt) {
  ASSERT_EQ(RunR7k({"new-pattern", module_, "P5001", "60"}).status, 0);
  auto run = RunR7k({"import-image", module_, "P5001", png_, "--replace"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "replaced P5001: 4 colours, 5 x 3 stitches, 34 bytes\n");
  const auto grid = Decoded("P5001");
  ASSERT_TRUE(grid);
  EXPECT_EQ(grid->width, 5);
  ASSERT_EQ(RunR7k({"new-pattern", module_, "P5002", "20"}).status, 0);
  run = RunR7k({"import-image", module_, "P5002", png_, "--replace"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(
      run.err,
      "Import Picture: Pattern P5002 holds 20 bytes; the picture needs 34; nothing changed\n");
}

}  // namespace
}  // namespace r7k::cli
