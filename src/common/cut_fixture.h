#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "module/pattern_runs.h"

// Test fixtures: the cut layout of a pattern given as its stored rows (first stored row
// first), each row run-coded and written last row first with little-endian lengths.
namespace r7k {

inline std::vector<uint8_t> CutLayoutFromRows(uint16_t stitches,
                                              const std::vector<std::vector<uint8_t>>& rows) {
  std::vector<uint8_t> cut = {static_cast<uint8_t>(stitches),
                              static_cast<uint8_t>(stitches >> 8),
                              static_cast<uint8_t>(rows.size()),
                              static_cast<uint8_t>(rows.size() >> 8),
                              0,
                              0};
  for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
    const std::vector<uint8_t> runs = EncodeRowRuns(*row);
    cut.push_back(static_cast<uint8_t>(runs.size()));
    cut.push_back(static_cast<uint8_t>(runs.size() >> 8));
    cut.insert(cut.end(), runs.begin(), runs.end());
  }
  return cut;
}

// A pattern of `rows` rows of `stitches` stitches, every cell `index`.
inline std::vector<uint8_t> CutLayoutFilled(uint16_t stitches, uint16_t rows, uint8_t index) {
  return CutLayoutFromRows(
      stitches, std::vector<std::vector<uint8_t>>(rows, std::vector<uint8_t>(stitches, index)));
}

// The cut file of the built-in pattern P2000: 2 stitches, 2 rows, second row first.
inline const std::vector<uint8_t> kP2000Cut = {0x02, 0x00, 0x02, 0x00, 0x00, 0x00,
                                               0x04, 0x00, 0x02, 0x00, 0x07, 0x00,
                                               0x04, 0x00, 0x02, 0x07, 0x00, 0x00};

}  // namespace r7k
