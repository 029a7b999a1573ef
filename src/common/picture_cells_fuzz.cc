#include <cstddef>
#include <cstdint>
#include <span>

#include "common/picture_cells.h"

// Pictures to import are whatever the user points at: any bytes must give cells or a
// refusal, and cells always fill the grid with indices below the colour count.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  for (bool reduce : {false, true}) {
    const r7k::PictureCellsResult r = r7k::ReadPictureCells(bytes, reduce);
    if (!r.cells) {
      if (r.refusal.text.empty()) __builtin_trap();
      continue;
    }
    const r7k::PatternGrid& g = r.cells->grid;
    if (g.cells.size() != size_t{g.width} * g.rows || g.cells.empty()) __builtin_trap();
    for (uint8_t c : g.cells) {
      if (c >= r.cells->colours || r.cells->colours > 4) __builtin_trap();
    }
  }
  return 0;
}
