#include "module/validate.h"

#include <gtest/gtest.h>

#include <vector>

#include "module/builtin_records.h"

namespace r7k {
namespace {

using Bytes = std::vector<uint8_t>;

// A technique record of `size` bytes with the right size code and an end code.
Bytes Technique(size_t size, uint8_t code) {
  Bytes t(size, 0);
  t[0] = code;
  if (size > 11) t[11] = 0xEF;
  return t;
}

// A sector record S0012: number 12, technique 7 at both places, an end code at 200; cut
// to `size` bytes.
Bytes Sector12(size_t size = 355) {
  Bytes s(355, 0);
  s[0] = 0x64;
  s[1] = 0x00;
  s[2] = 0x0C;
  s[44] = 0x00;
  s[45] = 0x07;
  s[251] = 0x00;
  s[252] = 0x07;
  s[200] = 0xEF;
  s.resize(size);
  return s;
}

TEST(Validate, BuiltInTechniqueAndSizeCodes) {
  EXPECT_EQ(ValidateTechnique(Bytes(kTechniqueT0001.begin(), kTechniqueT0001.end())), 0);
  EXPECT_EQ(ValidateTechnique(Technique(21, 0x11)), 0);
  EXPECT_EQ(ValidateTechnique(Technique(201, 0x29)), 0);
  EXPECT_EQ(ValidateTechnique(Technique(121, 0x21)), 0);
  EXPECT_EQ(ValidateTechnique(Technique(201, 0x1D)), kValidBadSizeCode);  // binary, not BCD
  EXPECT_EQ(ValidateTechnique(Technique(40, 0x13)), kValidBadSizeCode);
  EXPECT_EQ(ValidateTechnique(Technique(41, 0x14)), kValidBadSizeCode);
  EXPECT_EQ(ValidateTechnique(Technique(1, 0x09)), kValidBadSizeCode);
  EXPECT_EQ(ValidateTechnique(Bytes{}), kValidBadSizeCode);
}

TEST(Validate, TechniqueWithoutEndCodeFailsAfterTheSizeCheck) {
  Bytes t = Technique(21, 0x11);
  t[11] = 0;
  EXPECT_EQ(ValidateTechnique(t), kValidNoEndCode);
  t[20] = 0xEF;  // anywhere in the record counts
  EXPECT_EQ(ValidateTechnique(t), 0);
  t.push_back(0);  // both wrong: the size check comes first
  t[20] = 0;
  EXPECT_EQ(ValidateTechnique(t), kValidBadSizeCode);
}

TEST(Validate, PatternColours) {
  EXPECT_EQ(ValidatePattern(Bytes(kPatternP2000.begin(), kPatternP2000.end())), 0);
  EXPECT_EQ(ValidatePattern(Bytes{4}), 0);
  EXPECT_EQ(ValidatePattern(Bytes{5, 0, 2}), kValidTooManyColours);
  EXPECT_EQ(ValidatePattern(Bytes{}), kValidTooManyColours);
}

TEST(Validate, SectorS0012) {
  EXPECT_EQ(ValidateSector("S0012", Sector12()), 0);
  EXPECT_EQ(ValidateSector("S12", Sector12()), 0);
  EXPECT_EQ(ValidateSector("S0012", Sector12(253)), 0);  // the numbers are all there
  EXPECT_EQ(ValidateSector("S0013", Sector12()), kValidNumberMismatch);
  EXPECT_EQ(ValidateSector("S00x2", Sector12()), kValidNumberMismatch);  // reads "00" = 0
  Bytes s = Sector12();
  s[252] = 8;
  EXPECT_EQ(ValidateSector("S0012", s), kValidNumberMismatch);
  s = Sector12();
  s[200] = 0;
  s[201] = 0xEF;  // beyond the first 201 bytes
  EXPECT_EQ(ValidateSector("S0012", s), kValidNoEndCode);
  s = Sector12();
  s[0] = 0x65;
  EXPECT_EQ(ValidateSector("S0012", s), kValidNotSector);
  // The checks run in the order 5, 3, 4.
  s = Sector12();
  s[200] = 0;
  s[2] = 0x0D;
  EXPECT_EQ(ValidateSector("S0012", s), kValidNumberMismatch);
  s[0] = 0;
  EXPECT_EQ(ValidateSector("S0012", s), kValidNotSector);
  // Short records are not read past their end.
  EXPECT_EQ(ValidateSector("S0012", Bytes{}), kValidNotSector);
  EXPECT_EQ(ValidateSector("S0012", Bytes{0x64}), kValidNumberMismatch);
  EXPECT_EQ(ValidateSector("S0012", Sector12(252)), kValidNumberMismatch);
}

TEST(Validate, EntityPicksByFirstCharacter) {
  const Bytes junk = {0xAA, 0xBB};
  EXPECT_EQ(ValidateEntity("P2000", junk), kValidTooManyColours);
  EXPECT_EQ(ValidateEntity("T0001", junk), kValidBadSizeCode);
  EXPECT_EQ(ValidateEntity("S0001", junk), kValidNotSector);
  EXPECT_EQ(ValidateEntity("_0000", junk), 0);
  EXPECT_EQ(ValidateEntity("", junk), 0);
}

}  // namespace
}  // namespace r7k
