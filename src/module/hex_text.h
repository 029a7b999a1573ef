#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The hexadecimal text of an entity as the user sees and edits it: "%02X " per byte, a
// carriage return and line feed after every 16th byte.
namespace r7k {

inline constexpr size_t kHexBytesPerLine = 16;
inline constexpr size_t kHexShownBytes = 1000;     // the most bytes the Hex dialog shows
inline constexpr size_t kHexParseCapacity = 1024;  // the most bytes a text may give back

// 0 to 15 for "0"-"9", "a"-"f", "A"-"F"; 15 for any other character.
uint8_t HexNibble(char c);

// The text of the first `max_bytes` bytes at most.
std::string RenderHexText(std::span<const uint8_t> bytes, size_t max_bytes = kHexShownBytes);

enum class HexTextError {
  kNone,
  kIncorrectFormat,  // a pair is not followed by a space
  kTooLong,          // more bytes than kHexParseCapacity
};

struct ParsedHexText {
  HexTextError error = HexTextError::kNone;
  std::vector<uint8_t> bytes;  // empty unless error is kNone
  bool ok() const { return error == HexTextError::kNone; }
};

// Reads the text back: each byte is two digits (HexNibble, so "G1" is 0xF1) and a space,
// optionally followed by one line end (CR LF, LF or CR). The text as rendered, and as a text
// widget hands it back, parses back to the same bytes. A text giving more than kHexParseCapacity
// bytes is refused whole rather than cut.
ParsedHexText ParseHexText(std::string_view text);

// The message for the user: "Incorrect format", or the limit for kTooLong.
std::string HexTextErrorMessage(HexTextError error);

}  // namespace r7k
