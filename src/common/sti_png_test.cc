#include "common/sti_png.h"

#include <gtest/gtest.h>

#include "common/cut_fixture.h"
#include "platform/png_codec.h"

namespace r7k {
namespace {

// Read back through the system's codec, as a picture program would.
PngPicture ReadPng(const std::optional<std::vector<uint8_t>>& png) {
  EXPECT_TRUE(png);
  if (!png) return {};
  return DecodePng(*png, [](uint32_t, uint32_t) { return true; }).picture.value_or(PngPicture{});
}

uint32_t At(const PngPicture& p, uint32_t x, uint32_t y) {
  return p.pixels.at(size_t{y} * p.width + x);
}

std::vector<uint8_t> Block(const std::vector<uint8_t>& cut, uint8_t kind) {
  auto picture = RunsToSti(cut);
  picture->SetKind(kind);
  return {picture->Block().begin(), picture->Block().end()};
}

TEST(StiWritePng, ShowsWhatTheBmpShowsTopRowFirst) {
  const PngPicture d = ReadPng(StiWritePng(Block(kP2000Cut, kStiKindPlain)));
  ASSERT_EQ(d.width, 16u);
  ASSERT_EQ(d.height, 16u);
  EXPECT_EQ(At(d, 0, 0), 0xFF0000u);   // index 0 at the top left
  EXPECT_EQ(At(d, 1, 0), 0u);          // grid
  EXPECT_EQ(At(d, 2, 15), 0x00FF00u);  // index 7 at the bottom left
}

TEST(StiWritePng, FramedPictureKeepsItsFrame) {
  const PngPicture d = ReadPng(StiWritePng(Block(kP2000Cut, kStiKindFramed)));
  ASSERT_EQ(d.width, 32u);
  EXPECT_EQ(At(d, 31, 0), 0xFFFFFFu);  // top-right corner cell is white
  EXPECT_EQ(At(d, 7, 31), 0u);         // glyph 8's line at the bottom left
  EXPECT_EQ(At(d, 8, 23), 0x808080u);  // grey between pattern cells
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
