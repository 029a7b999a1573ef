#include "module/technique.h"

#include <gtest/gtest.h>

#include <vector>

#include "module/builtin_records.h"

namespace r7k {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(Technique, SizeCodes) {
  EXPECT_EQ(TechniqueSizeFromCode(0x21), 121);
  EXPECT_EQ(TechniqueSizeCode(11), 0x10);
  EXPECT_EQ(TechniqueSizeCode(901), 0x99);
  EXPECT_FALSE(TechniqueSizeCode(911));
  EXPECT_FALSE(TechniqueSizeCode(40));
  EXPECT_FALSE(TechniqueSizeCode(1));
}

TEST(Technique, InstructionLengths) {
  // The bounds of each length's range.
  const std::vector<std::pair<uint8_t, size_t>> cases = {
      {0x00, 3}, {0x7F, 3}, {0x80, 1}, {0x90, 1}, {0x91, 2}, {0x96, 2}, {0x97, 1}, {0xA7, 1},
      {0xA8, 2}, {0xA9, 2}, {0xAA, 1}, {0xB0, 2}, {0xB2, 2}, {0xB3, 1}, {0xFF, 1}};
  for (const auto& [code, length] : cases) EXPECT_EQ(InstructionLength(code), length) << int{code};
}

TEST(Technique, LayoutOfT0001) {
  const std::span<const uint8_t> record(kTechniqueT0001);
  const auto list = ListInstructions(record);
  EXPECT_TRUE(list.ended);
  ASSERT_EQ(list.instructions.size(), 12u);
  EXPECT_EQ(list.instructions[2].offset, 13u);
  EXPECT_EQ(Bytes(list.instructions[2].bytes.begin(), list.instructions[2].bytes.end()),
            (Bytes{0x02, 0x02, 0x01}));
  EXPECT_EQ(list.end, 31u);
  const auto layout = ReadTechniqueLayout(record);
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->stream_end, 31u);
  EXPECT_EQ(Bytes(layout->front.begin(), layout->front.end()), (Bytes{0x00, 0x01}));
  EXPECT_EQ(Bytes(layout->back.begin(), layout->back.end()), (Bytes{0x01, 0x00}));
  EXPECT_EQ(layout->rest.size(), 6u);
}

TEST(Technique, OperandsAndPassBytesOfEndCodeDoNotEndTheStream) {
  // B0 EF (colour operand), a pass whose value is EF, then the real end code.
  const Bytes record = {0x11, 0,    2,    0,    0,    0,    0, 1, 1, 1, 1,
                        0xB0, 0xEF, 0x01, 0x07, 0xEF, 0xEF, 3, 4, 0, 0, 0};
  const auto list = ListInstructions(record);
  EXPECT_TRUE(list.ended);
  EXPECT_EQ(list.instructions.size(), 3u);
  EXPECT_EQ(list.end, 17u);
  const auto layout = ReadTechniqueLayout(record);
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->front[0], 3);
  EXPECT_EQ(layout->back[0], 4);
}

TEST(Technique, TruncatedStreamsAndGridsAreRefused) {
  // The stream ends in the middle of a pass.
  const Bytes cut = {0x11, 0, 2, 0, 0, 0, 0, 1, 1, 1, 1, 0xC0, 0x01, 0x07};
  const auto list = ListInstructions(cut);
  EXPECT_FALSE(list.ended);
  EXPECT_EQ(list.instructions.size(), 1u);
  EXPECT_EQ(list.end, 12u);
  EXPECT_FALSE(ReadTechniqueLayout(cut));
  // The end code is there but the 3 × 2 grids are not.
  const Bytes small = {0x11, 0, 2, 0, 0, 0, 0, 1, 1, 3, 2, 0xEF, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  EXPECT_TRUE(ListInstructions(small).ended);
  EXPECT_FALSE(ReadTechniqueLayout(small));
  EXPECT_FALSE(ReadTechniqueLayout(Bytes(5, 0)));
  EXPECT_FALSE(ListInstructions(Bytes(5, 0), 11).ended);
}

}  // namespace
}  // namespace r7k
