#include "module/cut.h"

#include <gtest/gtest.h>

#include <vector>

#include "module/builtin_records.h"

namespace r7k {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(Cut, BuiltInPatternP2000) {
  const CutFile cut = ConvertPatternToCut(kPatternP2000);
  ASSERT_EQ(cut.code, 0);
  EXPECT_EQ(cut.bytes, (Bytes{0x02, 0x00, 0x02, 0x00, 0x00, 0x00, 0x04, 0x00, 0x02, 0x00, 0x07,
                              0x00, 0x04, 0x00, 0x02, 0x07, 0x00, 0x00}));
  // Bytes after the last row are dropped; no rows give the header alone.
  Bytes record(kPatternP2000.begin(), kPatternP2000.end());
  record.insert(record.end(), {0xAA, 0xBB});
  EXPECT_EQ(ConvertPatternToCut(record).bytes, cut.bytes);
  EXPECT_EQ(ConvertPatternToCut(Bytes{1, 0, 5, 0, 0, 0, 0}).bytes, (Bytes{5, 0, 0, 0, 0, 0}));
}

TEST(Cut, KeepsReservedBytesAndWritesLittleEndian) {
  // 300 stitches, 1 row, reserved bytes 12 34, a row of 5 bytes.
  const Bytes record = {4, 0x01, 0x2C, 0x00, 0x01, 0x12, 0x34, 0x00, 0x05, 0xFF, 1, 0xAD, 1, 0};
  const CutFile cut = ConvertPatternToCut(record);
  ASSERT_EQ(cut.code, 0);
  EXPECT_EQ(cut.bytes,
            (Bytes{0x2C, 0x01, 0x01, 0x00, 0x12, 0x34, 0x05, 0x00, 0xFF, 1, 0xAD, 1, 0}));
}

TEST(Cut, Failures) {
  // A length whose high byte is 3.
  EXPECT_EQ(ConvertPatternToCut(Bytes{1, 0, 1, 0, 1, 0, 0, 0x03, 0x00}).code, kCutBadRowLength);
  // 401 bytes of row data, present in full.
  Bytes longrow = {1, 0, 1, 0, 1, 0, 0, 0x01, 0x91};
  longrow.resize(longrow.size() + 401, 0);
  EXPECT_EQ(ConvertPatternToCut(longrow).code, kCutRowTooLong);
  // Two rows declared, one stored.
  EXPECT_EQ(ConvertPatternToCut(Bytes{1, 0, 1, 0, 2, 0, 0, 0, 2, 0x81, 1}).code, kCutTooFewRows);
  // Fewer rows wins over a long row; a bad length wins over fewer rows.
  Bytes both = longrow;
  both[4] = 2;
  EXPECT_EQ(ConvertPatternToCut(both).code, kCutTooFewRows);
  EXPECT_EQ(ConvertPatternToCut(Bytes{1, 0, 1, 0, 2, 0, 0, 0x03, 0}).code, kCutBadRowLength);
}

TEST(Cut, TruncatedRecordsAreNotReadPastTheirEnd) {
  EXPECT_EQ(ConvertPatternToCut(Bytes{}).code, kCutTooFewRows);
  EXPECT_EQ(ConvertPatternToCut(Bytes{1, 0, 2, 0, 2, 0}).code, kCutTooFewRows);
  // The last row declares 4 bytes but the record stops after 2 of them.
  Bytes record(kPatternP2000.begin(), kPatternP2000.end());
  record.resize(record.size() - 2);
  EXPECT_EQ(ConvertPatternToCut(record).code, kCutTooFewRows);
  // A lone length byte at the end.
  record.resize(14);
  EXPECT_EQ(ConvertPatternToCut(record).code, kCutTooFewRows);
}

}  // namespace
}  // namespace r7k
