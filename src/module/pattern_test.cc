#include "module/pattern.h"

#include <gtest/gtest.h>

#include <vector>

#include "module/builtin_records.h"

namespace r7k {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(Pattern, DecodesP2000FirstStoredRowAsRowZero) {
  EXPECT_EQ(ReadPatternHeader(kPatternP2000), (PatternHeader{1, 2, 2, 0}));
  EXPECT_EQ(DecodePattern(kPatternP2000), (PatternGrid{2, 2, {7, 0, 0, 7}}));
}

TEST(Pattern, EncodesP2000ByteForByte) {
  PatternGrid grid{2, 2, {7, 0, 0, 7}};
  const auto record = EncodePattern(1, grid);
  ASSERT_TRUE(record);
  EXPECT_EQ(*record, Bytes(kPatternP2000.begin(), kPatternP2000.end()));
}

TEST(Pattern, RowsLongerThan400BytesCannotBeEncoded) {
  PatternGrid grid;
  grid.width = 400;
  grid.rows = 1;
  for (size_t s = 0; s < 400; ++s) grid.cells.push_back(s % 2);  // literal runs only
  EXPECT_FALSE(EncodePattern(2, grid));
  EXPECT_FALSE(EncodePattern(1, PatternGrid{2, 2, {1, 2, 3}}));  // cells do not match the size
}

TEST(Pattern, BrokenRecordsDoNotDecode) {
  Bytes record(kPatternP2000.begin(), kPatternP2000.end());
  EXPECT_FALSE(DecodePattern(Bytes(record.begin(), record.end() - 1)));  // truncated
  EXPECT_FALSE(ReadPatternRows(Bytes(record.begin(), record.end() - 1)));
  EXPECT_FALSE(DecodePattern(Bytes(record.begin(), record.begin() + 6)));  // inside the header
  Bytes reserved = record;
  reserved[6] = 1;
  EXPECT_FALSE(DecodePattern(reserved));
  Bytes count0 = record;
  count0[9] = 0x80;  // repeat run of count 0
  EXPECT_FALSE(DecodePattern(count0));
  Bytes slack = record;  // a row length one longer than its runs
  slack[8] = 5;
  slack.insert(slack.begin() + 13, 0);
  EXPECT_TRUE(ReadPatternRows(slack));
  EXPECT_FALSE(DecodePattern(slack));
  Bytes too_long = {1, 0, 1, 0, 1, 0, 0, 0x01, 0x91};
  too_long.resize(too_long.size() + 401, 0);
  EXPECT_FALSE(ReadPatternRows(too_long));
}

TEST(Pattern, SizeLimitsOfTheFormat) {
  EXPECT_EQ(kMaxPatternWidth, 25273u);
  // A row of the widest width, one colour: 199 repeat runs and the terminator, 399 bytes.
  PatternGrid widest{static_cast<uint16_t>(kMaxPatternWidth), 1, Bytes(kMaxPatternWidth, 3)};
  const auto record = EncodePattern(1, widest);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->size(), MinPatternRecordSize(kMaxPatternWidth, 1));
  EXPECT_EQ(record->size(), kPatternHeaderSize + 2 + 399);
  PatternGrid wider{static_cast<uint16_t>(kMaxPatternWidth + 1), 1, Bytes(kMaxPatternWidth + 1, 3)};
  EXPECT_FALSE(EncodePattern(1, wider));
  EXPECT_EQ(FirstLongPatternRow(wider), 0u);
  EXPECT_EQ(MinPatternRecordSize(2, 2), 17u);  // two rows of one repeat run and terminator
  // The first row that cannot be coded is named; good rows before it are not.
  PatternGrid grid{400, 3, Bytes(1200, 1)};
  for (size_t s = 0; s < 400; ++s) grid.cells[800 + s] = s % 2;
  EXPECT_EQ(FirstLongPatternRow(grid), 2u);
  EXPECT_FALSE(FirstLongPatternRow(PatternGrid{2, 2, {7, 0, 0, 7}}));
}

}  // namespace
}  // namespace r7k
