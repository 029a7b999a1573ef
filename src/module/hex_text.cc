#include "module/hex_text.h"

namespace r7k {

uint8_t HexNibble(char c) {
  if (c >= '0' && c <= '9') return static_cast<uint8_t>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<uint8_t>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<uint8_t>(c - 'A' + 10);
  return 15;
}

std::string RenderHexText(std::span<const uint8_t> bytes, size_t max_bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const size_t count = bytes.size() < max_bytes ? bytes.size() : max_bytes;
  std::string text;
  text.reserve(count * 3 + count / kHexBytesPerLine * 2);
  for (size_t i = 0; i < count; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
    text += ' ';
    if ((i + 1) % kHexBytesPerLine == 0) text += "\r\n";
  }
  return text;
}

ParsedHexText ParseHexText(std::string_view text) {
  ParsedHexText parsed;
  const size_t n = text.size();
  size_t p = 0;
  while (p < n) {
    // The pair and its space must all be inside the text: a last byte without its space
    // fails, like any other pair without one.
    if (n - p < 3 || text[p + 2] != ' ') {
      parsed.error = HexTextError::kIncorrectFormat;
      break;
    }
    if (parsed.bytes.size() == kHexParseCapacity) {
      parsed.error = HexTextError::kTooLong;
      break;
    }
    parsed.bytes.push_back(static_cast<uint8_t>(HexNibble(text[p]) << 4 | HexNibble(text[p + 1])));
    p += 3;
    // One line end may follow the space: CR LF as rendered, or the LF a text widget gives
    // back, or a lone CR.
    if (p < n && text[p] == '\r') ++p;
    if (p < n && text[p] == '\n') ++p;
  }
  if (!parsed.ok()) parsed.bytes.clear();
  return parsed;
}

std::string HexTextErrorMessage(HexTextError error) {
  switch (error) {
    case HexTextError::kNone: return {};
    case HexTextError::kIncorrectFormat: return "Incorrect format";
    case HexTextError::kTooLong:
      return "Too much data: the text holds more than " + std::to_string(kHexParseCapacity) +
             " bytes";
  }
  return {};
}

}  // namespace r7k
