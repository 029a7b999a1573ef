#include "common/sti_bmp.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "common/cut_fixture.h"
#include "common/little_endian.h"
#include "platform/file_io.h"
#include "testing/scratch_folder.h"

namespace r7k {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

std::vector<uint8_t> Block(const std::vector<uint8_t>& cut, uint8_t kind = kStiKindPlain) {
  auto picture = RunsToSti(cut);
  EXPECT_TRUE(picture);
  if (!picture) return {};
  picture->SetKind(kind);
  return {picture->Block().begin(), picture->Block().end()};
}

StiRaster Render(const std::vector<uint8_t>& cut, uint8_t kind = kStiKindPlain) {
  auto raster = StiRender(Block(cut, kind));
  EXPECT_TRUE(raster);
  return raster.value_or(StiRaster{});
}

// One 8 x 8 cell of a raster as text, lowest pixel row first: '#' grid (254), '.' white
// (255), '+' grey (253), other indices as a digit.
std::vector<std::string> CellText(const StiRaster& r, uint32_t cell_x, uint32_t cell_y) {
  std::vector<std::string> rows;
  for (uint32_t y = 0; y < 8; ++y) {
    std::string row;
    for (uint32_t x = 0; x < 8; ++x) {
      const uint8_t v = r.pixels[size_t{cell_y * 8 + y} * r.stride + cell_x * 8 + x];
      row += v == 254 ? '#' : v == 255 ? '.' : v == 253 ? '+' : static_cast<char>('0' + v % 10);
    }
    rows.push_back(row);
  }
  return rows;
}

TEST(StiWriteBmp, P2000File) {
  const auto bmp = StiWriteBmp(Block(kP2000Cut));
  ASSERT_TRUE(bmp);
  ASSERT_EQ(bmp->size(), 1334u);
  EXPECT_EQ((*bmp)[0], 'B');
  EXPECT_EQ((*bmp)[1], 'M');
  // The true file size comes first: strict readers check it. Then planes 1, 8 bits per pixel.
  const std::pair<size_t, uint32_t> fields[] = {
      {2, 1334}, {6, 0},    {10, 1078}, {14, 40},   {18, 16},  {22, 16}, {26, 1 | 8 << 16},
      {30, 0},   {34, 256}, {38, 3780}, {42, 1220}, {46, 256}, {50, 0}};
  for (auto [at, value] : fields) EXPECT_EQ(ReadLe32(*bmp, at), value) << at;
  // Palette entries: blue, green, red, flags.
  auto entry = [&](size_t i) {
    return std::vector<uint8_t>(&(*bmp)[54 + 4 * i], &(*bmp)[58 + 4 * i]);
  };
  EXPECT_THAT(entry(0), ElementsAre(0, 0, 255, 80));  // red, used background
  EXPECT_THAT(entry(7), ElementsAre(0, 255, 0, 16));  // green, used
  EXPECT_THAT(entry(253), ElementsAre(128, 128, 128, 0));
  EXPECT_THAT(entry(254), ElementsAre(0, 0, 0, 0));
  EXPECT_THAT(entry(255), ElementsAre(255, 255, 255, 0));
  // Lowest pixel row: cells 7 and 0 with the bottom row of the V shape.
  EXPECT_THAT(std::vector<uint8_t>(bmp->begin() + 1078, bmp->begin() + 1094),
              ElementsAre(254, 254, 7, 254, 7, 254, 254, 254, 254, 254, 0, 254, 0, 254, 254, 254));
  // Top pixel row: cells 0 and 7 of the second stored row.
  EXPECT_THAT(std::vector<uint8_t>(bmp->end() - 16, bmp->end()),
              ElementsAre(0, 254, 254, 254, 254, 254, 0, 254, 7, 254, 254, 254, 254, 254, 7, 254));
}

TEST(StiWriteBmp, CellSizeFollowsTheLargerSide) {
  const std::tuple<uint32_t, uint32_t, uint32_t> sizes[] = {
      {25, 25, 8}, {10, 26, 4}, {26, 10, 4}, {50, 50, 4}, {10, 51, 2}, {100, 1, 2}, {10, 101, 1}};
  for (auto [rows, stitches, cell] : sizes) EXPECT_EQ(StiCellSize(rows, stitches), cell) << rows;
  const StiRaster r = Render(CutLayoutFilled(26, 10, 1));
  EXPECT_EQ(r.width, 104u);
  EXPECT_EQ(r.height, 40u);
  EXPECT_EQ(r.stride, 104u);
}

TEST(StiWriteBmp, FourPixelCellShape) {
  const StiRaster r = Render(CutLayoutFilled(26, 1, 3));
  auto row = [&](uint32_t y) {
    return std::vector<uint8_t>(&r.pixels[y * r.stride], &r.pixels[y * r.stride + 4]);
  };
  EXPECT_THAT(row(0), ElementsAre(254, 254, 3, 254));
  EXPECT_THAT(row(1), ElementsAre(254, 3, 3, 3));
  EXPECT_THAT(row(2), ElementsAre(254, 3, 254, 3));
  EXPECT_THAT(row(3), ElementsAre(254, 3, 254, 3));
}

TEST(StiWriteBmp, TwoPixelCellsPadOddStitches) {
  const StiRaster r = Render(CutLayoutFilled(51, 3, 5));
  EXPECT_EQ(r.width, 102u);
  EXPECT_EQ(r.height, 6u);
  EXPECT_EQ(r.stride, 104u);
  for (uint32_t y = 0; y < r.height; ++y) {
    const uint8_t* row = &r.pixels[y * r.stride];
    EXPECT_EQ(row[0], y % 2 == 0 ? 5 : 254) << y;
    EXPECT_EQ(row[1], y % 2 == 0 ? 254 : 5) << y;
    EXPECT_EQ(row[102], 0) << y;
    EXPECT_EQ(row[103], 0) << y;
  }
}

TEST(StiWriteBmp, OnePixelCellsHaveNoGridAndAFourByteStride) {
  std::vector<std::vector<uint8_t>> rows(101, std::vector<uint8_t>(30, 2));
  rows[0][29] = 9;
  const auto bmp = StiWriteBmp(Block(CutLayoutFromRows(30, rows)));
  ASSERT_TRUE(bmp);
  EXPECT_EQ(ReadLe32(*bmp, 18), 30u);
  EXPECT_EQ(ReadLe32(*bmp, 22), 101u);
  EXPECT_EQ(ReadLe32(*bmp, 34), 32u * 101);
  EXPECT_EQ(bmp->size(), 1078u + 32 * 101);
  EXPECT_THAT(std::vector<uint8_t>(bmp->begin() + 1078 + 26, bmp->begin() + 1078 + 34),
              ElementsAre(2, 2, 2, 9, 0, 0, 2, 2));
  // Entry 253 is only made grey for 8-pixel cells.
  EXPECT_EQ((*bmp)[54 + 4 * 253], 0);
}

TEST(StiWriteBmp, RefusesBlocksThatAreNotPictures) {
  std::vector<uint8_t> block = Block(kP2000Cut);
  block[1] = 'T';
  EXPECT_FALSE(StiWriteBmp(block));
  EXPECT_FALSE(StiWriteBmp(std::vector<uint8_t>{'S', 't', 'i', 0}));
  block = Block(kP2000Cut);
  block.pop_back();
  EXPECT_FALSE(StiWriteBmp(block));
}

TEST(StiWriteBmp, WritesTheFileOrSaysWhyNot) {
  const ScratchDir scratch;
  const std::filesystem::path& dir = scratch.path();
  const auto path = dir / "Pat.Bmp";
  const std::vector<uint8_t> block = Block(kP2000Cut);
  EXPECT_EQ(StiWriteBmp(path, block), StiWriteResult::kOk);
  EXPECT_THAT(*ReadFileBytes(path, 1 << 20), ElementsAreArray(*StiWriteBmp(block)));
  std::vector<uint8_t> bad = block;
  bad[0] = 0;
  EXPECT_EQ(StiWriteBmp(path, bad), StiWriteResult::kNotAPicture);
  EXPECT_EQ(std::filesystem::file_size(path), 1334u);
  EXPECT_EQ(StiWriteBmp(dir / "missing" / "Pat.Bmp", block), StiWriteResult::kCannotCreate);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
}

TEST(StiWriteBmpFramed, SizesAlwaysUseEightPixelCells) {
  const StiRaster r = Render(CutLayoutFilled(30, 20, 1), kStiKindFramed);
  EXPECT_EQ(r.width, 256u);
  EXPECT_EQ(r.height, 176u);
  EXPECT_EQ(r.stride, 256u);
  const auto wide = StiWriteBmp(Block(CutLayoutFilled(400, 1, 1), kStiKindFramed));
  ASSERT_TRUE(wide);
  EXPECT_EQ(ReadLe32(*wide, 18), 3216u);
  EXPECT_EQ(ReadLe32(*wide, 22), 24u);
  EXPECT_EQ(ReadLe32(*wide, 34), 3216u * 24);
  EXPECT_EQ(ReadLe32(*wide, 2), wide->size());
  // A frame of more cells than a full page holds is not drawn (25,273 x 50 stitches took 84 MB).
  EXPECT_FALSE(StiWriteBmp(Block(CutLayoutFilled(25273, 50, 1), kStiKindFramed)));
  EXPECT_TRUE(StiFramedFits(50, 20000));
  EXPECT_FALSE(StiFramedFits(50, 25273));
  EXPECT_EQ((*wide)[54 + 4 * 253], 128);
}

TEST(StiWriteBmpFramed, TwoByTwoFrame) {
  const StiRaster r = Render(kP2000Cut, kStiKindFramed);
  ASSERT_EQ(r.width, 32u);
  ASSERT_EQ(r.height, 32u);
  const std::vector<std::string> glyph8 = {".......#", ".......#", ".......#", ".......#",
                                           ".......#", ".......#", ".......#", "########"};
  EXPECT_EQ(CellText(r, 0, 0), glyph8);
  EXPECT_EQ(CellText(r, 3, 3), std::vector<std::string>(8, "........"));
  EXPECT_EQ(CellText(r, 3, 0),
            (std::vector<std::string>{"........", "........", "........", "........", "........",
                                      "........", "........", "########"}));
  EXPECT_EQ(CellText(r, 0, 3), std::vector<std::string>(8, ".......#"));
  EXPECT_EQ(CellText(r, 0, 1),
            (std::vector<std::string>{".......#", ".......#", ".......#", ".......#", ".......#",
                                      ".......#", ".......#", "....####"}));
  EXPECT_EQ(CellText(r, 3, 2),
            (std::vector<std::string>{"........", "........", "........", "........", "........",
                                      "........", "........", "####...."}));
  // Pattern cells: stitch 0 of the first stored row is index 7, grey where the grid was.
  EXPECT_EQ(CellText(r, 1, 1),
            (std::vector<std::string>{"++7+7+++", "+77+77++", "777+777+", "777+777+", "777+777+",
                                      "777+777+", "77+++77+", "7+++++7+"}));
  EXPECT_EQ(CellText(r, 2, 1)[0], "++0+0+++");
}

TEST(StiWriteBmpFramed, TicksEveryFifthStitchAndRow) {
  const StiRaster r = Render(CutLayoutFilled(6, 5, 1), kStiKindFramed);
  const std::vector<std::string> glyph7(8, ".......#");
  const std::vector<std::string> glyph5 = {"........", "........", "........", "........",
                                           ".......#", ".......#", ".......#", ".......#"};
  const std::vector<std::string> glyph6 = {".......#", ".......#", ".......#", ".......#",
                                           "........", "........", "........", "........"};
  for (uint32_t column = 1; column <= 6; ++column) {
    EXPECT_EQ(CellText(r, column, 0), column == 5 ? glyph7 : glyph5) << column;
    EXPECT_EQ(CellText(r, column, 6), column == 5 ? glyph7 : glyph6) << column;
  }
  EXPECT_EQ(CellText(r, 0, 4)[7], "....####");
  EXPECT_EQ(CellText(r, 0, 5)[7], "########");  // the fifth row: long ticks both sides
  EXPECT_EQ(CellText(r, 7, 4)[7], "####....");
  EXPECT_EQ(CellText(r, 7, 5)[7], "########");
}

}  // namespace
}  // namespace r7k
