#include "module/sector.h"

#include <gtest/gtest.h>

#include <vector>

#include "module/validate.h"

namespace r7k {
namespace {

using Bytes = std::vector<uint8_t>;

SectorRecord SampleSector() {
  SectorRecord s;
  s.number = 12;
  s.colours = 2;
  s.feeders = {1, 2, 3, 4};
  s.feeder_colours = {5, 6, 7, 8};
  s.invert = true;
  s.front_repeats = {3, 4, 1};
  s.back_repeats = {0x0102, 0x0304, 0x0506};
  s.technique[0] = 0x11;
  s.technique[2] = 7;
  s.technique[11] = 0xEF;
  s.technique_source = kSourceRom;
  s.technique_number = 7;
  s.front = {false, kSourceModule, 3000, 1, 17, "P3000", 2, 40, 60};
  s.back.empty = true;
  return s;
}

TEST(Sector, WritesEveryFieldAtItsOffset) {
  Bytes record(400, 0);
  ASSERT_TRUE(WriteSectorRecord(SampleSector(), record));
  // Kind, number, colours, feeders, their colours, invert; front vertical and horizontal
  // repeat, to right/left; back repeats (high byte first); the embedded technique number; the
  // front reference: index, colours, width, rows.
  const std::pair<size_t, uint8_t> fields[] = {
      {0, 0x64}, {2, 12},  {7, 2},         {11, 4},       {17, 8},        {20, 1},       {25, 3},
      {27, 4},   {31, 1},  {35, 1},        {38, 4},       {42, 6},        {45, 7},       {250, 12},
      {252, 7},  {257, 8}, {257 + 12, 17}, {257 + 43, 2}, {257 + 45, 40}, {257 + 47, 60}};
  for (auto [at, value] : fields) EXPECT_EQ(record[at], value) << at;
  EXPECT_EQ(std::string(record.begin() + 257 + 32, record.begin() + 257 + 37), "P3000");
  EXPECT_EQ(Bytes(record.begin() + 307, record.begin() + 312),
            (Bytes{0x1C, 0x7F, 0xFF, 0x7F, 0xFF}));
  EXPECT_EQ(ValidateSector("S0012", record), 0);
}

TEST(Sector, ReadsBackWhatWasWritten) {
  Bytes record(355, 0);
  ASSERT_TRUE(WriteSectorRecord(SampleSector(), record));
  EXPECT_EQ(ReadSectorRecord(record), SampleSector());
}

TEST(Sector, ShortRecordsAndReferences) {
  EXPECT_FALSE(ReadSectorRecord(Bytes(354, 0x64)));
  EXPECT_FALSE(WriteSectorRecord(SampleSector(), std::span<uint8_t>()));
  EXPECT_FALSE(ReadPatternReference(Bytes(47, 0)));
  EXPECT_TRUE(ReadPatternReference(Bytes(48, 0)));  // the back reference of a 355-byte record
  Bytes ref(50, 0);
  ref[0] = 0x1C;
  ref[1] = 0x7F;
  ref[2] = 0xFF;
  ref[3] = 0x7F;
  EXPECT_FALSE(ReadPatternReference(ref)->empty);  // four bytes of the mark are not enough
  ref[4] = 0xFF;
  EXPECT_TRUE(ReadPatternReference(ref)->empty);
}

}  // namespace
}  // namespace r7k
