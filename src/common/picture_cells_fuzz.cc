#include <cstddef>
#include <cstdint>
#include <span>

#include "common/picture_cells.h"
#include "common/picture_fixture.h"
#include "common/sti_png.h"
#include "module/cut.h"
#include "testing/fuzz_seeds.h"

// Pictures to import are whatever the user points at: any bytes must give cells or a
// refusal, and cells always fill the grid with indices below the colour count.
// Seeds: a few built-in patterns one stitch per pixel (PNG true colour, indexed, with
// transparency, and BMP), and as the pattern view draws them (PNG and BMP with grid lines).
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  r7k::fuzz::WriteSeedsIfAsked([] {
    constexpr uint32_t kInk[] = {0xFFFFFF, 0x000000, 0xC00000, 0x0000C0};
    std::vector<r7k::fuzz::Bytes> seeds;
    for (const r7k::fuzz::Bytes& record : r7k::fuzz::BuiltinRecords('P')) {
      if (seeds.size() >= 24) break;
      const auto grid = r7k::DecodePattern(record);
      if (!grid || size_t{grid->width} * grid->rows > 4096) continue;
      std::vector<uint32_t> pixels;
      for (size_t y = grid->rows; y-- > 0;) {
        for (size_t x = 0; x < grid->width; ++x) pixels.push_back(kInk[grid->At(x, y) % 4]);
      }
      seeds.push_back(r7k::TestPng(grid->width, grid->rows, pixels));
      seeds.push_back(r7k::TestPng(grid->width, grid->rows, pixels, false, true));
      for (uint32_t& p : pixels) p |= p == kInk[0] ? 0 : 0xFF000000;
      seeds.push_back(r7k::TestPng(grid->width, grid->rows, pixels, true));
      seeds.push_back(r7k::TestBmp24(grid->width, grid->rows, pixels));
      if (auto picture = r7k::RunsToSti(r7k::ConvertPatternToCut(record).bytes)) {
        if (auto png = r7k::StiWritePng(picture->Block())) seeds.push_back(std::move(*png));
        if (auto bmp = r7k::StiWriteBmp(picture->Block())) seeds.push_back(std::move(*bmp));
      }
    }
    return seeds;
  });
  return 0;
}

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
