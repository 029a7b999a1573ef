#include "module/pattern_runs.h"

#include <gtest/gtest.h>

#include <random>

namespace r7k {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(PatternRuns, DecodesLiteralAndRepeatRuns) {
  // A literal pair then four stitches of index 3, terminator, and a trailing byte left over.
  const Bytes in = {0x02, 0x07, 0x00, 0x84, 0x03, 0x00, 0x55};
  Bytes out(6);
  EXPECT_EQ(DecodeRowRuns(in, out), 6u);
  EXPECT_EQ(out, (Bytes{7, 0, 3, 3, 3, 3}));
}

TEST(PatternRuns, RefusesBrokenRows) {
  Bytes out(2);
  EXPECT_FALSE(DecodeRowRuns(Bytes{0x80, 0x01, 0x00}, out));        // count 0
  EXPECT_FALSE(DecodeRowRuns(Bytes{0x83, 0x01, 0x00}, out));        // passes the row's end
  EXPECT_FALSE(DecodeRowRuns(Bytes{0x02, 0x01, 0x01, 0x01}, out));  // dirty terminator
  EXPECT_FALSE(DecodeRowRuns(Bytes{0x02, 0x01}, out));              // literal cut short
  EXPECT_FALSE(DecodeRowRuns(Bytes{0x02, 0x01, 0x01}, out));        // no terminator
  EXPECT_FALSE(DecodeRowRuns(Bytes{}, out));
  EXPECT_TRUE(DecodeRowRuns(Bytes{0x02, 0x01, 0x01, 0x80}, out));  // bit 7 of the end is free
}

// Runs of at most 127; a stretch's tail of one or two joins the literal run, since no repeat
// run is shorter than three.
TEST(PatternRuns, EncodesRepeatsLiteralsAndLongStretches) {
  auto row = [](std::initializer_list<std::pair<size_t, uint8_t>> stretches) {
    Bytes r;
    for (auto [n, v] : stretches) r.insert(r.end(), n, v);
    return r;
  };
  const std::vector<std::pair<Bytes, Bytes>> cases = {
      {{7, 0}, {0x02, 0x07, 0x00, 0x00}},
      {{1, 1, 1, 2}, {0x83, 0x01, 0x01, 0x02, 0x00}},
      {{}, {0x00}},
      {row({{300, 5}}), {0xFF, 5, 0xFF, 5, 0xAE, 5, 0x00}},
      {row({{128, 5}}), {0xFF, 5, 0x01, 5, 0x00}},
      {row({{129, 5}}), {0xFF, 5, 0x02, 5, 5, 0x00}},
      {row({{130, 5}}), {0xFF, 5, 0x83, 5, 0x00}},
      {row({{128, 5}, {1, 1}, {1, 2}}), {0xFF, 5, 0x03, 5, 1, 2, 0x00}},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(EncodeRowRuns(in), out) << in.size();
}

// Checks the coding rules on an encoded row: counts 1 to 127, repeat runs of three or more,
// no three equal stitches inside a literal run, one 0x00 terminator at the end.
void ExpectWellFormed(const Bytes& enc) {
  ASSERT_FALSE(enc.empty());
  EXPECT_EQ(enc.back(), 0x00);
  size_t pos = 0;
  while (pos + 1 < enc.size()) {
    const size_t count = enc[pos] & 0x7F;
    ASSERT_GE(count, 1u);
    if (enc[pos] & 0x80) {
      EXPECT_GE(count, 3u);
      pos += 2;
    } else {
      ASSERT_LE(pos + 1 + count, enc.size() - 1);
      for (size_t k = pos + 3; k < pos + 1 + count; ++k)
        EXPECT_FALSE(enc[k] == enc[k - 1] && enc[k] == enc[k - 2]) << "at " << k;
      pos += 1 + count;
    }
  }
  EXPECT_EQ(pos, enc.size() - 1);
}

TEST(PatternRuns, RoundTripsRandomRows) {
  std::mt19937 rng(7);
  for (int t = 0; t < 500; ++t) {
    Bytes row(1 + rng() % 400);
    const unsigned colours = 1 + rng() % 4;
    for (auto& c : row)
      c = static_cast<uint8_t>(rng() % (t % 2 ? 3 : 150) == 0 ? rng() % colours
                                                              : (&c == row.data() ? 0 : *(&c - 1)));
    const Bytes enc = EncodeRowRuns(row);
    Bytes back(row.size());
    ASSERT_EQ(DecodeRowRuns(enc, back), enc.size());
    ASSERT_EQ(back, row);
    ExpectWellFormed(enc);
    // Never longer than the row as literal runs only.
    EXPECT_LE(enc.size(), row.size() + (row.size() + kMaxRunCount - 1) / kMaxRunCount + 1);
  }
}

}  // namespace
}  // namespace r7k
