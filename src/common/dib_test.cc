#include "common/dib.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/cut_fixture.h"
#include "common/sti_bmp.h"
#include "platform/file_io.h"
#include "testing/scratch_folder.h"

namespace r7k {
namespace {

using ::testing::ElementsAre;

void Put(std::vector<uint8_t>& b, size_t at, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A BMP with a 40-byte header: `table` entries of 4 bytes, then `bits`.
std::vector<uint8_t> Bmp40(int32_t width, int32_t height, uint16_t bpp, uint32_t colors_used,
                           const std::vector<uint8_t>& table, const std::vector<uint8_t>& bits) {
  std::vector<uint8_t> b(54, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put(b, 10, 999, 4);  // the offset field is not used
  Put(b, 14, 40, 4);
  Put(b, 18, static_cast<uint32_t>(width), 4);
  Put(b, 22, static_cast<uint32_t>(height), 4);
  Put(b, 26, 1, 2);
  Put(b, 28, bpp, 2);
  Put(b, 46, colors_used, 4);
  b.insert(b.end(), table.begin(), table.end());
  b.insert(b.end(), bits.begin(), bits.end());
  return b;
}

std::vector<uint8_t> Table4(size_t entries) {
  std::vector<uint8_t> t;
  for (size_t i = 0; i < entries; ++i) {
    t.insert(t.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(i + 1),
                       static_cast<uint8_t>(i + 2), 0});
  }
  return t;
}

TEST(DibReadBytes, TwentyFourBitsHaveNoPalette) {
  // 2 x 2, rows bottom-up, 6 bytes of blue/green/red padded to 8.
  const auto image = DibReadBytes(Bmp40(2, 2, 24, 0, {},
                                        {1, 2, 3, 4, 5, 6, 0, 0,  //
                                         7, 8, 9, 10, 11, 12, 0, 0}));
  // The first stored row is the bottom one.
  EXPECT_EQ(image, (DibImage{2, 2, {}, {{9, 8, 7}, {12, 11, 10}, {3, 2, 1}, {6, 5, 4}}}));
}

TEST(DibReadBytes, EightBitsWithColourCountZeroGet256Entries) {
  const auto image = DibReadBytes(Bmp40(3, 1, 8, 0, Table4(256), {0, 200, 255, 0}));
  ASSERT_TRUE(image);
  ASSERT_EQ(image->palette.size(), 256u);
  EXPECT_EQ(image->palette[200], (DibRgb{202, 201, 200}));
  EXPECT_THAT(image->pixels,
              ElementsAre(DibRgb{2, 1, 0}, DibRgb{202, 201, 200}, DibRgb{1, 0, 255}));
}

TEST(DibReadBytes, ColourCountAndSmallDepths) {
  DibHeader h;
  h.header_size = 40;
  h.bits_per_pixel = 4;
  EXPECT_EQ(DibColorCount(h), 16u);
  EXPECT_EQ(DibPaletteBytes(h), 64u);
  h.colors_used = 3;
  EXPECT_EQ(DibColorCount(h), 3u);
  h.bits_per_pixel = 24;
  h.colors_used = 0;
  EXPECT_EQ(DibColorCount(h), 0u);
  h.header_size = 12;
  h.bits_per_pixel = 1;
  h.colors_used = 7;  // not part of the old header
  EXPECT_EQ(DibColorCount(h), 2u);
  EXPECT_EQ(DibPaletteBytes(h), 6u);

  // 4 bits, a table of 3: pixel 5 lies past the table and draws black.
  const auto four = DibReadBytes(Bmp40(3, 1, 4, 3, Table4(3), {0x12, 0x50, 0, 0}));
  ASSERT_TRUE(four);
  EXPECT_THAT(four->pixels, ElementsAre(DibRgb{3, 2, 1}, DibRgb{4, 3, 2}, DibRgb{0, 0, 0}));
  // 1 bit, 10 pixels wide, top-down (negative height).
  const auto one =
      DibReadBytes(Bmp40(10, -2, 1, 0, Table4(2), {0x80, 0x40, 0, 0, 0x00, 0x00, 0, 0}));
  ASSERT_TRUE(one);
  EXPECT_EQ(one->At(0, 0), (DibRgb{3, 2, 1}));
  EXPECT_EQ(one->At(1, 0), (DibRgb{2, 1, 0}));
  EXPECT_EQ(one->At(9, 0), (DibRgb{3, 2, 1}));
  EXPECT_EQ(one->At(0, 1), (DibRgb{2, 1, 0}));
}

TEST(DibReadBytes, TwelveByteHeaderHasThreeByteEntries) {
  std::vector<uint8_t> b(26, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put(b, 14, 12, 4);
  Put(b, 18, 2, 2);
  Put(b, 20, 1, 2);
  Put(b, 22, 1, 2);
  Put(b, 24, 4, 2);
  for (int i = 0; i < 16; ++i) b.insert(b.end(), {static_cast<uint8_t>(i), 0x10, 0x20});
  b.insert(b.end(), {0xF1, 0, 0, 0});
  const auto image = DibReadBytes(b);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->palette.size(), 16u);
  EXPECT_THAT(image->pixels, ElementsAre(DibRgb{0x20, 0x10, 15}, DibRgb{0x20, 0x10, 1}));
}

TEST(DibReadBytes, RefusesWhatItCannotRead) {
  const std::vector<uint8_t> good = Bmp40(3, 2, 8, 2, Table4(2), std::vector<uint8_t>(8, 1));
  ASSERT_TRUE(DibReadBytes(good));
  for (size_t n = 0; n < good.size(); ++n) {
    EXPECT_FALSE(DibReadBytes(std::span(good).first(n))) << n;
  }
  auto changed = [&](size_t at, uint32_t v, int bytes) {
    std::vector<uint8_t> b = good;
    Put(b, at, v, bytes);
    return b;
  };
  EXPECT_FALSE(DibReadBytes(changed(0, 'B' | ('A' << 8), 2)));
  EXPECT_FALSE(DibReadBytes(changed(14, 108, 4)));         // larger headers are not read
  EXPECT_FALSE(DibReadBytes(changed(30, 1, 4)));           // compressed
  EXPECT_FALSE(DibReadBytes(changed(28, 16, 2)));          // 16 bits per pixel
  EXPECT_FALSE(DibReadBytes(changed(18, 0, 4)));           // no width
  EXPECT_FALSE(DibReadBytes(changed(22, 0, 4)));           // no height
  EXPECT_FALSE(DibReadBytes(changed(46, 0xFFFFFFFF, 4)));  // table beyond the file
  EXPECT_FALSE(DibReadBytes(changed(18, 0x7FFFFFFF, 4)));  // bits beyond the file
}

TEST(DibReadBytes, ReadsStitchPictureFiles) {
  const auto picture = RunsToSti(kP2000Cut);
  const auto bmp = StiWriteBmp(picture->Block());
  const auto image = DibReadBytes(*bmp);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 16u);
  EXPECT_EQ(image->palette.size(), 256u);
  EXPECT_EQ(image->At(0, 0), (DibRgb{255, 0, 0}));   // index 0, top left
  EXPECT_EQ(image->At(2, 15), (DibRgb{0, 255, 0}));  // index 7, bottom left
}

TEST(BitmapFromFile, AcceptsThreeExtensions) {
  for (const char* name : {"question.bmp", "C:\\x\\FULL.BMP", "a.Bpt", "a.tmp"})
    EXPECT_TRUE(BitmapExtensionAccepted(name)) << name;
  for (const char* name : {"a.gif", "bmp", "a.bmp.gif"})
    EXPECT_FALSE(BitmapExtensionAccepted(name));
  const ScratchDir scratch;
  const std::filesystem::path& dir = scratch.path();
  const auto bmp = Bmp40(1, 1, 24, 0, {}, {1, 2, 3, 0});
  ASSERT_TRUE(WriteFileAtomically(dir / "full.bmp", bmp));
  ASSERT_TRUE(WriteFileAtomically(dir / "full.gif", bmp));
  EXPECT_TRUE(BitmapFromFile(dir / "full.bmp"));
  EXPECT_FALSE(BitmapFromFile(dir / "full.gif"));
  EXPECT_TRUE(DibReadFile(dir / "full.gif"));
  EXPECT_FALSE(BitmapFromFile(dir / "missing.bmp"));
  EXPECT_FALSE(DibReadFile(""));
}

}  // namespace
}  // namespace r7k
