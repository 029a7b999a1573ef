#include "pattern_gen.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "gen_random.h"

namespace r7k::gen {
namespace {

// 5 × 7 letters as five columns, bit 0 the top row.
struct Glyph {
  char c;
  uint8_t columns[5];
};
constexpr Glyph kFont[] = {
    {'0', {0x3E, 0x51, 0x49, 0x45, 0x3E}}, {'1', {0x00, 0x42, 0x7F, 0x40, 0x00}},
    {'2', {0x42, 0x61, 0x51, 0x49, 0x46}}, {'3', {0x21, 0x41, 0x45, 0x4B, 0x31}},
    {'4', {0x18, 0x14, 0x12, 0x7F, 0x10}}, {'5', {0x27, 0x45, 0x45, 0x45, 0x39}},
    {'6', {0x3C, 0x4A, 0x49, 0x49, 0x30}}, {'7', {0x01, 0x71, 0x09, 0x05, 0x03}},
    {'8', {0x36, 0x49, 0x49, 0x49, 0x36}}, {'9', {0x06, 0x49, 0x49, 0x29, 0x1E}},
    {'A', {0x7C, 0x12, 0x11, 0x12, 0x7C}}, {'B', {0x7F, 0x49, 0x49, 0x49, 0x36}},
    {'C', {0x3E, 0x41, 0x41, 0x41, 0x22}}, {'D', {0x7F, 0x41, 0x41, 0x22, 0x1C}},
    {'E', {0x7F, 0x49, 0x49, 0x49, 0x41}}, {'F', {0x7F, 0x09, 0x09, 0x09, 0x01}},
    {'G', {0x3E, 0x41, 0x49, 0x49, 0x7A}}, {'H', {0x7F, 0x08, 0x08, 0x08, 0x7F}},
    {'I', {0x00, 0x41, 0x7F, 0x41, 0x00}}, {'J', {0x20, 0x40, 0x41, 0x3F, 0x01}},
    {'K', {0x7F, 0x08, 0x14, 0x22, 0x41}}, {'L', {0x7F, 0x40, 0x40, 0x40, 0x40}},
    {'M', {0x7F, 0x02, 0x0C, 0x02, 0x7F}}, {'N', {0x7F, 0x04, 0x08, 0x10, 0x7F}},
    {'O', {0x3E, 0x41, 0x41, 0x41, 0x3E}}, {'P', {0x7F, 0x09, 0x09, 0x09, 0x06}},
    {'Q', {0x3E, 0x41, 0x51, 0x21, 0x5E}}, {'R', {0x7F, 0x09, 0x19, 0x29, 0x46}},
    {'S', {0x46, 0x49, 0x49, 0x49, 0x31}}, {'T', {0x01, 0x01, 0x7F, 0x01, 0x01}},
    {'U', {0x3F, 0x40, 0x40, 0x40, 0x3F}}, {'V', {0x1F, 0x20, 0x40, 0x20, 0x1F}},
    {'W', {0x3F, 0x40, 0x38, 0x40, 0x3F}}, {'X', {0x63, 0x14, 0x08, 0x14, 0x63}},
    {'Y', {0x07, 0x08, 0x70, 0x08, 0x07}}, {'Z', {0x61, 0x51, 0x49, 0x45, 0x43}},
};

bool GlyphPixel(char c, int column, int row_from_top) {
  for (const Glyph& g : kFont) {
    if (g.c == c) return (g.columns[column] >> row_from_top) & 1;
  }
  return false;  // space and anything without a letter
}

using CellFn = std::function<uint8_t(int x, int y)>;

PatternGrid Fill(int width, int rows, const CellFn& cell) {
  PatternGrid grid;
  grid.width = static_cast<uint16_t>(width);
  grid.rows = static_cast<uint16_t>(rows);
  grid.cells.reserve(size_t(width) * rows);
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < width; ++x) grid.cells.push_back(cell(x, y));
  }
  return grid;
}

enum Motif {
  kStripes,
  kBars,
  kChecks,
  kDiagonal,
  kBirdseye,
  kLetter,
  kDiamonds,
  kZigzag,
  kDots,
  kHoundstooth,
  kWord,
  kMotifCount
};

// Colour index k (0-based) of a pattern with `colours` colours: one-colour patterns draw
// with 7 on 0, like the first built-in pattern.
uint8_t Ink(int colours, int k) {
  if (colours == 1) return k == 0 ? 0 : 7;
  return static_cast<uint8_t>(k % colours);
}

struct Size {
  int width;
  int rows;
};

Size PickSize(Motif motif, Random& rng) {
  const int roll = rng.Between(1, 100);
  // Motifs made of long runs may be wide: their rows stay short once run-coded.
  const bool cheap = motif == kStripes || motif == kBars || motif == kChecks;
  if (cheap && roll > 75) return {rng.Between(100, 220), rng.Between(16, 64)};
  if (roll <= 30) return {rng.Between(2, 8), rng.Between(2, 8)};
  if (roll <= 80) return {rng.Between(8, 24), rng.Between(6, 30)};
  return {rng.Between(24, 60), rng.Between(12, 48)};
}

}  // namespace

PatternGrid WordGrid(std::string_view word, int scale, int margin, uint8_t fg) {
  const int letters = static_cast<int>(word.size());
  const int width = 2 * margin + letters * 6 * scale - scale;
  const int rows = 2 * margin + 7 * scale;
  return Fill(width, rows, [&](int x, int y) -> uint8_t {
    const int gx = x - margin;
    const int gy = rows - 1 - margin - y;  // picture row 0 is the bottom
    if (gx < 0 || gy < 0 || gy >= 7 * scale) return 0;
    const int letter = gx / (6 * scale);
    const int column = (gx % (6 * scale)) / scale;
    if (letter >= letters || column >= 5) return 0;
    return GlyphPixel(word[letter], column, gy / scale) ? fg : 0;
  });
}

GeneratedPattern MakePattern(unsigned number) {
  Random rng(0x5EED0000u + number);
  GeneratedPattern p;
  const auto motif = static_cast<Motif>(number % kMotifCount);
  p.colours = static_cast<uint8_t>(rng.Between(1, 4));
  const int c = p.colours;
  const Size size = PickSize(motif, rng);
  const int w = size.width;
  const int h = size.rows;
  // Wide patterns get wide features, so that their rows stay a few runs long.
  const bool wide = w >= 100;
  const int band = wide ? rng.Between(3, 8) : rng.Between(1, 6);
  const int block = wide ? rng.Between(3, 10) : rng.Between(1, std::max(1, std::min(w, h) / 3));
  switch (motif) {
    case kStripes:
      p.grid = Fill(w, h, [&](int, int y) { return Ink(c, (y / band) % (c == 1 ? 2 : c)); });
      break;
    case kBars:
      p.grid = Fill(w, h, [&](int x, int) { return Ink(c, (x / band) % (c == 1 ? 2 : c)); });
      break;
    case kChecks:
      p.grid = Fill(w, h, [&](int x, int y) { return Ink(c, (x / block + y / block) % 2); });
      break;
    case kDiagonal:
      p.grid =
          Fill(w, h, [&](int x, int y) { return Ink(c, ((x + y) / band) % (c == 1 ? 2 : c)); });
      break;
    case kBirdseye:
      p.grid = Fill(w, h, [&](int x, int y) { return Ink(c, (x + y) % 2 ? 1 : (c > 2 ? 2 : 0)); });
      break;
    case kLetter: {
      const char letter = static_cast<char>('A' + (number / kMotifCount) % 26);
      const int scale = rng.Between(1, 3);
      p.grid = WordGrid(std::string_view(&letter, 1), scale, rng.Between(0, 3), Ink(c, 1));
      break;
    }
    case kDiamonds: {
      const int r = std::max(2, block);
      p.grid = Fill(w, h, [&](int x, int y) {
        const int dx = std::abs(x % (2 * r) - r);
        const int dy = std::abs(y % (2 * r) - r);
        return Ink(c, dx + dy <= r ? 1 : (c > 2 && dx + dy == r + 1 ? 2 : 0));
      });
      break;
    }
    case kZigzag: {
      const int amp = std::max(2, block);
      p.grid = Fill(w, h, [&](int x, int y) {
        const int phase = std::abs(x % (2 * amp) - amp);
        return Ink(c, ((y + phase) / band) % 2);
      });
      break;
    }
    case kDots: {
      const int gap = rng.Between(3, 6);
      p.grid = Fill(w, h, [&](int x, int y) {
        const bool dot = x % gap == 0 && (y + (x / gap % 2) * (gap / 2)) % gap == 0;
        return Ink(c, dot ? 1 + (x / gap) % std::max(1, c - 1) : 0);
      });
      break;
    }
    case kHoundstooth: {
      // The classic broken check: a tile of 8 × 8 with its teeth along the diagonal.
      constexpr const char* kTile[8] = {"11110001", "11110011", "11110111", "11111110",
                                        "00001110", "00011100", "00111000", "01110000"};
      p.grid = Fill(w, h, [&](int x, int y) { return Ink(c, kTile[7 - y % 8][x % 8] == '1'); });
      break;
    }
    default: {  // kWord
      constexpr const char* kWords[] = {"R7000", "KNIT", "WOOL",  "ABC",  "1234",
                                        "LOVE",  "SNOW", "HELLO", "2024", "XOXO"};
      const char* word = rng.Pick(kWords);
      p.grid = WordGrid(word, rng.Between(1, 3), rng.Between(1, 4), Ink(c, 1));
      break;
    }
  }
  auto record = EncodePattern(p.colours, p.grid);
  if (!record) {
    std::fprintf(stderr, "image generator: pattern %u has a row over 400 bytes\n", number);
    std::exit(1);
  }
  p.record = std::move(*record);
  return p;
}

}  // namespace r7k::gen
