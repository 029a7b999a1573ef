#pragma once

#include <cstdint>
#include <vector>

#include "gen_random.h"

// Technique records for the generated images: a header, an instruction stream in the style
// of the console's own techniques (cast-on section, pattern passes, end code) and small front
// and back cell grids.
namespace r7k::gen {

// A valid technique record (size code right, 0xEF reached under the instruction lengths, both
// grids behind it) of at most `max_size` bytes. The only 0xEF byte after the header is the
// end code, so a plain search for it finds the grids too.
std::vector<uint8_t> MakeTechnique(uint16_t number, Random& rng, size_t max_size = 201);

}  // namespace r7k::gen
