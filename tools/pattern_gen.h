#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "module/pattern.h"

// Pattern records for the generated images: recognisable motifs (stripes, checks, diagonals,
// birdseye, letters, diamonds, zigzags, dots, houndstooth) in 1 to 4 colours and sizes from a
// few stitches to a few hundred.
namespace r7k::gen {

struct GeneratedPattern {
  uint8_t colours = 1;
  PatternGrid grid;
  std::vector<uint8_t> record;
};

// The pattern with this number; the same number always gives the same pattern.
GeneratedPattern MakePattern(unsigned number);

// A word in the 5 × 7 letters (A-Z, 0-9, space) scaled by `scale`, with a margin of `margin`
// stitches, foreground index `fg` on index 0.
PatternGrid WordGrid(std::string_view word, int scale, int margin, uint8_t fg);

}  // namespace r7k::gen
