#include "common/sti_png.h"

#include <gtest/gtest.h>

#include "common/cut_fixture.h"
#include "platform/png_codec.h"

namespace r7k {
namespace {

struct Decoded {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> rgb;  // top row first
  std::array<uint8_t, 3> At(uint32_t x, uint32_t y) const {
    const size_t i = 3 * (size_t{y} * width + x);
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
  }
};

// Read back through the system's codec, as a picture program would.
Decoded ReadPng(const std::vector<uint8_t>& png) {
  PngDecodeResult read = DecodePng(png, [](uint32_t, uint32_t) { return true; });
  if (!read.picture) return {};
  Decoded out{read.picture->width, read.picture->height, {}};
  for (uint32_t p : read.picture->pixels)
    out.rgb.insert(out.rgb.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)});
  return out;
}

std::vector<uint8_t> Block(const std::vector<uint8_t>& cut, uint8_t kind) {
  auto picture = RunsToSti(cut);
  picture->SetKind(kind);
  return {picture->Block().begin(), picture->Block().end()};
}

using Rgb = std::array<uint8_t, 3>;

TEST(StiWritePng, ShowsWhatTheBmpShowsTopRowFirst) {
  const auto png = StiWritePng(Block(kP2000Cut, kStiKindPlain));
  ASSERT_TRUE(png);
  const Decoded d = ReadPng(*png);
  ASSERT_EQ(d.width, 16u);
  ASSERT_EQ(d.height, 16u);
  EXPECT_EQ(d.At(0, 0), (Rgb{255, 0, 0}));   // index 0 at the top left
  EXPECT_EQ(d.At(1, 0), (Rgb{0, 0, 0}));     // grid
  EXPECT_EQ(d.At(2, 15), (Rgb{0, 255, 0}));  // index 7 at the bottom left
}

TEST(StiWritePng, FramedPictureKeepsItsFrame) {
  const auto png = StiWritePng(Block(kP2000Cut, kStiKindFramed));
  ASSERT_TRUE(png);
  const Decoded d = ReadPng(*png);
  ASSERT_EQ(d.width, 32u);
  EXPECT_EQ(d.At(31, 0), (Rgb{255, 255, 255}));  // top-right corner cell is white
  EXPECT_EQ(d.At(7, 31), (Rgb{0, 0, 0}));        // glyph 8's line at the bottom left
  EXPECT_EQ(d.At(8, 23), (Rgb{128, 128, 128}));  // grey between pattern cells
}

TEST(StiWritePng, RefusesWhatIsNotAPicture) {
  std::vector<uint8_t> block = Block(kP2000Cut, kStiKindPlain);
  block[2] = 'x';
  EXPECT_FALSE(StiWritePng(block));
  EXPECT_EQ(StiWritePng(std::filesystem::temp_directory_path() / "r7k_never.png", block),
            StiWriteResult::kNotAPicture);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::temp_directory_path() / "r7k_never.png"));
  // An empty pattern has nothing to draw.
  EXPECT_FALSE(StiWritePng(Block(CutLayoutFromRows(0, {{}}), kStiKindPlain)));
}

}  // namespace
}  // namespace r7k
