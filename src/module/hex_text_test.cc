#include "module/hex_text.h"

#include <gtest/gtest.h>

#include <numeric>

namespace r7k {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Sequence(size_t n) {
  Bytes b(n);
  std::iota(b.begin(), b.end(), uint8_t{0});
  return b;
}

TEST(HexText, RendersSixteenBytesALine) {
  EXPECT_EQ(RenderHexText(Bytes{}), "");
  EXPECT_EQ(RenderHexText(Bytes{0x13, 0x00, 0xAB}), "13 00 AB ");
  const std::string two_lines = RenderHexText(Sequence(17));
  EXPECT_EQ(two_lines,
            "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F \r\n"
            "10 ");
  EXPECT_EQ(RenderHexText(Sequence(16)).substr(45), "0F \r\n");
}

TEST(HexText, ShowsAtMostTheGivenNumberOfBytes) {
  const Bytes big(1001, 0x5A);
  const std::string shown = RenderHexText(big);
  EXPECT_EQ(ParseHexText(shown).bytes, Bytes(1000, 0x5A));
  EXPECT_EQ(RenderHexText(big, 2), "5A 5A ");
}

TEST(HexText, RoundTripsWhatItRenders) {
  for (size_t n : {size_t{0}, size_t{1}, size_t{15}, size_t{16}, size_t{32}, size_t{1000}}) {
    Bytes b = Sequence(n);
    for (auto& x : b) x = static_cast<uint8_t>(x * 37 + 11);
    const ParsedHexText parsed = ParseHexText(RenderHexText(b));
    ASSERT_TRUE(parsed.ok()) << n;
    EXPECT_EQ(parsed.bytes, b) << n;
  }
}

TEST(HexText, ReadsAnyCharacterAsADigit) {
  EXPECT_EQ(ParseHexText("ab cD ").bytes, (Bytes{0xAB, 0xCD}));
  EXPECT_EQ(ParseHexText("G1 ").bytes, (Bytes{0xF1}));
  EXPECT_EQ(ParseHexText("1\n ").bytes, (Bytes{0x1F}));
}

TEST(HexText, ALineEndAfterASpaceMayBeCrLfLfOrCr) {
  // A text widget hands back LF line ends, other editors CR LF or CR: all read alike.
  for (const char* text : {"01 \r\n02 ", "01 \n02 ", "01 \r02 "})
    EXPECT_EQ(ParseHexText(text).bytes, (Bytes{0x01, 0x02})) << text;
  for (const char* text : {"01 \r\n", "01 \n", "01 \r"})
    EXPECT_EQ(ParseHexText(text).bytes, (Bytes{0x01})) << text;
  std::string edited = RenderHexText(Sequence(40));
  for (auto pos = edited.find("\r\n"); pos != std::string::npos; pos = edited.find("\r\n"))
    edited.erase(pos, 1);
  EXPECT_EQ(ParseHexText(edited).bytes, Sequence(40));
  // One line end only: a blank line or a line end before the space breaks the pairs.
  for (const char* bad : {"01 \n\n02 ", "01 \r\r02 ", "01\n 02 "})
    EXPECT_EQ(ParseHexText(bad).error, HexTextError::kIncorrectFormat) << bad;
}

TEST(HexText, RefusesTextOutOfForm) {
  for (const char* bad : {"0", "01", "0102 ", "01 02", "01  02 ", "01 \r\n\r\n", " 01 "}) {
    const ParsedHexText parsed = ParseHexText(bad);
    EXPECT_EQ(parsed.error, HexTextError::kIncorrectFormat) << bad;
    EXPECT_TRUE(parsed.bytes.empty()) << bad;
  }
  EXPECT_EQ(HexTextErrorMessage(HexTextError::kIncorrectFormat), "Incorrect format");
  EXPECT_TRUE(ParseHexText("").ok());
}

TEST(HexText, RefusesMoreThanTheBufferHolds) {
  const Bytes full(kHexParseCapacity, 0x11);
  const ParsedHexText fits = ParseHexText(RenderHexText(full, full.size()));
  EXPECT_TRUE(fits.ok());
  EXPECT_EQ(fits.bytes, full);

  const ParsedHexText over = ParseHexText(RenderHexText(Bytes(1025, 0x11), 1025));
  EXPECT_EQ(over.error, HexTextError::kTooLong);
  EXPECT_TRUE(over.bytes.empty());
  EXPECT_EQ(HexTextErrorMessage(over.error), "Too much data: the text holds more than 1024 bytes");
}

}  // namespace
}  // namespace r7k
