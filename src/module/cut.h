#pragma once

#include <cstdint>
#include <span>
#include <vector>

// The cut pattern file: width, rows and the reserved bytes as a little-endian header, then the
// rows last stored row first, each with a little-endian length.
namespace r7k {

inline constexpr int kCutBadRowLength = -1;  // a row length's high byte is above 2
inline constexpr int kCutRowTooLong = -2;    // a row is longer than 400 bytes
inline constexpr int kCutTooFewRows = -3;    // the record ends before its declared rows

struct CutFile {
  int code = 0;                // 0, or one of the negative codes above
  std::vector<uint8_t> bytes;  // the file when code is 0
};

// A record that ends inside its header, inside a length, or inside a row's declared data gets
// kCutTooFewRows: the row it ends in is not there.
CutFile ConvertPatternToCut(std::span<const uint8_t> record);

}  // namespace r7k
