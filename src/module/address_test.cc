#include "module/address.h"

#include <gtest/gtest.h>

#include <array>

namespace r7k {
namespace {

uint32_t Decode(uint8_t b0, uint8_t b1, uint8_t b2) {
  const std::array<uint8_t, 3> bytes = {b0, b1, b2};
  return DecodeModuleAddress(bytes);
}

std::array<uint8_t, 3> Encode(uint32_t offset) {
  std::array<uint8_t, 3> bytes{};
  EncodeModuleAddress(offset, bytes);
  return bytes;
}

TEST(ModuleAddress, DecodesIgnoringTheMarkerBits) {
  EXPECT_EQ(Decode(0x41, 0x80, 0x00), 0x8000u);
  EXPECT_EQ(Decode(0x81, 0x80, 0x00), 0x8000u);
  EXPECT_EQ(Decode(0x41, 0x80, 0x29), 0x8029u);
  EXPECT_EQ(Decode(0x81, 0x80, 0x29), 0x8029u);
  EXPECT_EQ(Decode(0x45, 0xE7, 0x72), 0x2E772u);
  EXPECT_EQ(Decode(0x05, 0x67, 0x72), 0x2E772u);  // bit 7 of the middle byte is ignored too
  EXPECT_EQ(Decode(0x8F, 0xFF, 0xFF), 0x7FFFFu);  // last byte of a module image
}

TEST(ModuleAddress, EncodesWithTheProgramsMarker) {
  EXPECT_EQ(Encode(0x10000), (std::array<uint8_t, 3>{0x82, 0x80, 0x00}));
  EXPECT_EQ(Encode(0x8029), (std::array<uint8_t, 3>{0x81, 0x80, 0x29}));
  EXPECT_EQ(Encode(0x2E772), (std::array<uint8_t, 3>{0x85, 0xE7, 0x72}));
  for (uint32_t offset : {0u, 0x7FFFu, 0x8000u, 0xFFF0u, 0x10010u, 0x7FFFFu, 0x80000u}) {
    EXPECT_EQ(DecodeModuleAddress(Encode(offset)), offset & 0x7FFFFu) << offset;
  }
}

}  // namespace
}  // namespace r7k
