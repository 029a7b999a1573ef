#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "module/pattern_runs.h"

// The pattern record: colours, width, rows, two reserved bytes, then one row record per row
// (a big-endian length L of at most 400 and L bytes of runs with their terminator).
namespace r7k {

inline constexpr size_t kPatternHeaderSize = 7;
inline constexpr size_t kMaxPatternRowBytes = 400;
inline constexpr uint8_t kMaxPatternColours = 4;

struct PatternHeader {
  uint8_t colours = 0;
  uint16_t width = 0;
  uint16_t rows = 0;
  uint16_t reserved = 0;  // bytes 5 and 6, 0 in every stored pattern
  bool operator==(const PatternHeader&) const = default;
};

// Nothing when the record is shorter than the header.
std::optional<PatternHeader> ReadPatternHeader(std::span<const uint8_t> record);

// The data of each row record (the L bytes after each length), first stored row first.
// Nothing when a length exceeds 400 or the record ends before the declared rows.
std::optional<std::vector<std::span<const uint8_t>>> ReadPatternRows(
    std::span<const uint8_t> record);

// Colour indices, one byte per stitch; cell row 0 is the first stored row (the lowest row of
// the picture), each row from stitch 0 (the left).
struct PatternGrid {
  uint16_t width = 0;
  uint16_t rows = 0;
  std::vector<uint8_t> cells;  // rows × width

  uint8_t At(size_t stitch, size_t row) const { return cells[row * width + stitch]; }
  std::span<const uint8_t> Row(size_t row) const {
    return std::span<const uint8_t>(cells).subspan(row * width, width);
  }
  bool operator==(const PatternGrid&) const = default;
};

// Decodes every row. Nothing when the header or a row is broken, the reserved bytes are not
// 0, or a row's runs and terminator do not fill its length exactly.
std::optional<PatternGrid> DecodePattern(std::span<const uint8_t> record);

// The widest row any coding holds: 399 bytes of two-byte repeat runs of 127 stitches each.
inline constexpr size_t kMaxPatternWidth = (kMaxPatternRowBytes - 1) / 2 * kMaxRunCount;
inline constexpr size_t kMaxPatternRows = 0xFFFF;

// The smallest record a pattern of that size can have: each row as few repeat runs as
// its width allows.
uint64_t MinPatternRecordSize(uint64_t width, uint64_t rows);

// The first cell row (0 = first stored) whose coding is longer than 400 bytes, or nothing.
std::optional<size_t> FirstLongPatternRow(const PatternGrid& grid);

// Builds a pattern record (header with `colours`, reserved bytes 0, rows run-coded). Nothing
// when a row's coding would exceed 400 bytes.
std::optional<std::vector<uint8_t>> EncodePattern(uint8_t colours, const PatternGrid& grid);

}  // namespace r7k
