#include "common/picture_cells.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/picture_fixture.h"

namespace r7k {
namespace {

using ::testing::ElementsAre;
using ::testing::StartsWith;

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kGreen = 0x00A000;

// 4 x 3, top row first: white most often, then red, blue, green.
const std::vector<uint32_t> kFourColours = {kWhite, kRed,   kRed,   kWhite,  //
                                            kBlue,  kWhite, kWhite, kGreen,  //
                                            kWhite, kRed,   kBlue,  kWhite};
// The cells of kFourColours: white 0, red 1, blue 2, green 3; cell row 0 the bottom row.
const std::vector<uint8_t> kFourCells = {0, 1, 2, 0,  //
                                         2, 0, 0, 3,  //
                                         0, 1, 1, 0};

PictureCells Cells(const std::vector<uint8_t>& file, bool reduce = false) {
  PictureCellsResult r = ReadPictureCells(file, reduce);
  EXPECT_TRUE(r.cells) << r.refusal.text;
  return r.cells.value_or(PictureCells{});
}

std::string Refusal(const std::vector<uint8_t>& file, bool reduce = false) {
  PictureCellsResult r = ReadPictureCells(file, reduce);
  EXPECT_FALSE(r.cells);
  return r.refusal.text;
}

TEST(PictureCells, FourColoursByFrequencyTopRowStoredLast) {
  const PictureCells c = Cells(TestPng(4, 3, kFourColours));
  EXPECT_EQ(c.grid, (PatternGrid{4, 3, kFourCells}));
  EXPECT_EQ(c.colours, 4);
  EXPECT_EQ(c.picture_colours, 4u);
  EXPECT_THAT(c.inks, ElementsAre(kWhite, kRed, kBlue, kGreen));
}

TEST(PictureCells, IndexedTransparentAndBmpPicturesGiveTheSameCells) {
  EXPECT_EQ(Cells(TestPng(4, 3, kFourColours, false, true)).grid.cells, kFourCells);
  // Transparent pixels are white on paper; opaque ones keep their colour.
  std::vector<uint32_t> clear = kFourColours;
  for (uint32_t& p : clear) p = p == kWhite ? 0x00123456 : (0xFF000000 | p);
  EXPECT_EQ(Cells(TestPng(4, 3, clear, true)).grid.cells, kFourCells);
  EXPECT_EQ(Cells(TestPng(4, 3, clear, true, true)).grid.cells, kFourCells);
  EXPECT_EQ(Cells(TestBmp24(4, 3, kFourColours)).grid.cells, kFourCells);
  // Pixels placed by the header's offset after a gap are found there.
  std::vector<uint8_t> gap = TestBmp24(4, 3, kFourColours);
  gap.insert(gap.begin() + 54, {0xAA, 0xBB});
  gap[10] = 56;
  EXPECT_EQ(Cells(gap).grid.cells, kFourCells);
}

TEST(PictureCells, FewerColoursAndTies) {
  const PictureCells one = Cells(TestPng(2, 2, {kBlue, kBlue, kBlue, kBlue}));
  EXPECT_EQ(one.colours, 1);
  EXPECT_EQ(one.grid.cells, (std::vector<uint8_t>{0, 0, 0, 0}));
  // Equally frequent: the colour met first from the top left comes first.
  const PictureCells two = Cells(TestPng(2, 2, {kRed, kBlue, kBlue, kRed}));
  EXPECT_THAT(two.inks, ElementsAre(kRed, kBlue));
  EXPECT_EQ(two.grid.cells, (std::vector<uint8_t>{1, 0, 0, 1}));
}

TEST(PictureCells, MoreThanFourColoursAreRefusedOrReduced) {
  // Four clear colours and one pixel of a reddish fifth, nearest to red; it ties with green
  // for the fourth place and loses, being met later.
  std::vector<uint32_t> five = kFourColours;
  five[11] = 0xF01010;
  PictureCellsResult refused = ReadPictureCells(TestPng(4, 3, five), false);
  ASSERT_FALSE(refused.cells);
  EXPECT_EQ(refused.refusal.text, "The picture has more than 4 colours; a pattern holds at most 4");
  EXPECT_TRUE(refused.refusal.too_many_colours);
  const PictureCells reduced = Cells(TestPng(4, 3, five), true);
  EXPECT_EQ(reduced.colours, 4);
  EXPECT_EQ(reduced.picture_colours, 5u);
  EXPECT_THAT(reduced.inks, ElementsAre(kWhite, kRed, kBlue, kGreen));
  std::vector<uint8_t> expected = kFourCells;
  expected[3] = 1;  // the bottom right pixel, stored first: red now
  EXPECT_EQ(reduced.grid.cells, expected);

  // Thousands of colours (counting stops at the fifth without reduction): red 10 times, blue
  // and green 8 times each (blue met first), every other pixel a colour of its own, of which
  // the first met takes the fourth place; in a small picture and in a large one, whose colours
  // are counted differently.
  for (const auto& [width, height] : {std::pair<uint32_t, uint32_t>{64, 64}, {600, 500}}) {
    RgbPicture many{width, height, std::vector<uint32_t>(size_t{width} * height)};
    for (size_t i = 0; i < many.pixels.size(); ++i)
      many.pixels[i] = 0x100000 + static_cast<uint32_t>(i) * 3;
    for (size_t i = 0; i < 26; ++i)
      many.pixels[100 + 7 * i] = i < 10 ? kRed : i % 2 ? kGreen : kBlue;
    EXPECT_TRUE(PictureToCells(many, false).refusal.too_many_colours);
    const PictureCells most = PictureToCells(many, true).cells.value_or(PictureCells{});
    EXPECT_EQ(most.picture_colours, many.pixels.size() - 26 + 3);
    EXPECT_THAT(most.inks, ElementsAre(kRed, kBlue, kGreen, 0x100000u));
    // Cell row 0 is the bottom row: pixel (x, y) is cell (height - 1 - y) * width + x.
    auto cell = [&](size_t pixel) {
      return most.grid.cells.at((height - 1 - pixel / width) * width + pixel % width);
    };
    EXPECT_EQ(cell(0), 3);
    EXPECT_EQ(cell(100), 0);  // red
  }
}

TEST(PictureCells, SizesTheFormatCannotHoldAreRefusedBeforeDecoding) {
  EXPECT_EQ(Refusal(TestPng(25274, 1, std::vector<uint32_t>(25274, kRed))),
            "The picture is 25274 pixels wide; a pattern row holds at most 25273 stitches");
  EXPECT_EQ(Refusal(TestPng(1, 65536, std::vector<uint32_t>(65536, kRed))),
            "The picture is 65536 pixels high; a pattern holds at most 65535 rows");
  EXPECT_TRUE(ReadPictureCells(TestPng(25273, 1, std::vector<uint32_t>(25273, kRed)), false).cells);
  EXPECT_EQ(CheckPictureSize(25273, 3000)->text,
            "The picture is 25273 x 3000 pixels; a pattern that large does not fit in a module");
  EXPECT_EQ(CheckPictureSize(0, 5)->text, "The picture has no pixels");
  EXPECT_FALSE(CheckPictureSize(400, 400));
}

TEST(PictureCells, OtherFilesAreRefusedInWords) {
  EXPECT_EQ(Refusal({'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0, 0, 0}),
            "The file is neither a PNG nor a BMP picture");
  EXPECT_EQ(Refusal({}), "The file is neither a PNG nor a BMP picture");
  std::vector<uint8_t> png = TestPng(4, 3, kFourColours);
  png.resize(png.size() / 2);
  EXPECT_THAT(Refusal(png), StartsWith("The PNG picture cannot be read: "));
  std::vector<uint8_t> bmp = TestBmp24(4, 3, kFourColours);
  bmp.resize(bmp.size() - 1);
  EXPECT_EQ(Refusal(bmp), "The BMP picture is cut short or broken");
  bmp = TestBmp24(4, 3, kFourColours);
  bmp[28] = 32;  // 32 bits per pixel: not a depth the reader takes
  EXPECT_THAT(Refusal(bmp), StartsWith("The BMP picture cannot be read: only uncompressed"));
  EXPECT_FALSE(ReadPictureFile("/nonexistent/picture.png").picture);
}

}  // namespace
}  // namespace r7k
