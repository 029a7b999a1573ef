#include "common/sti_bmp.h"

#include <algorithm>
#include <limits>

#include "common/little_endian.h"
#include "platform/file_io.h"

namespace r7k {

namespace {

// Cell shapes, row 0 the lowest pixel row, bit 7 the leftmost pixel: 1 takes the stitch's
// colour, 0 the grid. Seen on screen the larger two are a V with a grid line beside it.
constexpr uint8_t kShape8[8] = {0b00101000, 0b01101100, 0b11101110, 0b11101110,
                                0b11101110, 0b11101110, 0b11000110, 0b10000010};
constexpr uint8_t kShape4[4] = {0b0010, 0b0111, 0b0101, 0b0101};
constexpr uint8_t kShape2[2] = {0b10, 0b01};

// Frame glyphs 1 to 8, the same way round: 1 draws in the grid colour, 0 stays white.
constexpr uint8_t kGlyphs[9][8] = {
    {},
    {0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x0F},  // 1 left column, short tick
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0},  // 2 right column, short tick
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF},  // 3 right column, long tick
    {0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0xFF},  // 4 left column, long tick
    {0x00, 0x00, 0x00, 0x00, 0x01, 0x01, 0x01, 0x01},  // 5 bottom row, short tick
    {0x01, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00},  // 6 top row, short tick
    {0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01},  // 7 long tick
    {0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0xFF},  // 8 bottom-left corner
};

constexpr uint32_t kFrameCell = 8;

bool ShapeBit(const uint8_t* shape, uint32_t s, uint32_t x, uint32_t y) {
  return (shape[y] >> (s - 1 - x)) & 1;
}

std::array<StiColor, 256> PictureColors(const StiPicture& picture, bool grey_253) {
  std::array<StiColor, 256> palette;
  for (size_t i = 0; i < palette.size(); ++i) palette[i] = picture.Color(static_cast<uint8_t>(i));
  if (grey_253) {
    palette[kStiGreyIndex].blue = palette[kStiGreyIndex].green = palette[kStiGreyIndex].red = 128;
  }
  return palette;
}

// Draws one stitch as an s x s cell with its lower left pixel at (px, py); `gap` fills the
// pixels where the shape has 0.
void DrawCell(StiRaster& out, uint32_t px, uint32_t py, uint32_t s, uint8_t index, uint8_t gap) {
  const uint8_t* shape = s == 8 ? kShape8 : s == 4 ? kShape4 : kShape2;
  for (uint32_t y = 0; y < s; ++y) {
    uint8_t* row = &out.pixels[size_t{py + y} * out.stride + px];
    for (uint32_t x = 0; x < s; ++x) row[x] = (s == 1 || ShapeBit(shape, s, x, y)) ? index : gap;
  }
}

void DrawGlyph(StiRaster& out, uint32_t cell_x, uint32_t cell_y, int glyph) {
  for (uint32_t y = 0; y < kFrameCell; ++y) {
    uint8_t* row = &out.pixels[size_t{cell_y * kFrameCell + y} * out.stride + cell_x * kFrameCell];
    for (uint32_t x = 0; x < kFrameCell; ++x) {
      row[x] = ShapeBit(kGlyphs[glyph], kFrameCell, x, y) ? kStiGridIndex : kStiWhiteIndex;
    }
  }
}

bool Allocate(StiRaster& out, uint64_t width, uint64_t height, uint64_t stride) {
  // The BMP header holds the pixel data size in 32 bits.
  if (stride * height > std::numeric_limits<uint32_t>::max()) return false;
  out.width = static_cast<uint32_t>(width);
  out.height = static_cast<uint32_t>(height);
  out.stride = static_cast<uint32_t>(stride);
  out.pixels.assign(static_cast<size_t>(stride * height), 0);
  return true;
}

std::optional<StiRaster> RenderPlain(const StiPicture& picture) {
  const uint32_t rows = picture.Rows();
  const uint32_t stitches = picture.Stitches();
  const uint32_t s = StiCellSize(rows, stitches);
  uint64_t stride = uint64_t{stitches} * s;
  if (s == 2) stride = 2 * ((uint64_t{stitches} + 1) / 2 * 2);
  if (s == 1) stride = (uint64_t{stitches} + 3) / 4 * 4;
  StiRaster out;
  if (!Allocate(out, uint64_t{stitches} * s, uint64_t{rows} * s, stride)) return std::nullopt;
  out.palette = PictureColors(picture, s == 8);
  for (uint32_t r = 0; r < rows; ++r) {
    for (uint32_t c = 0; c < stitches; ++c) {
      DrawCell(out, c * s, r * s, s, picture.Cell(r, c), kStiGridIndex);
    }
  }
  return out;
}

std::optional<StiRaster> RenderFramed(const StiPicture& picture) {
  const uint32_t rows = picture.Rows();
  const uint32_t stitches = picture.Stitches();
  if (!StiFramedFits(rows, stitches)) return std::nullopt;
  const uint64_t width = uint64_t{stitches + 2} * kFrameCell;
  StiRaster out;
  if (!Allocate(out, width, uint64_t{rows + 2} * kFrameCell, width)) return std::nullopt;
  out.palette = PictureColors(picture, true);
  std::fill(out.pixels.begin(), out.pixels.end(), kStiWhiteIndex);
  for (uint32_t r = 0; r < rows; ++r) {
    for (uint32_t c = 0; c < stitches; ++c) {
      DrawCell(out, (c + 1) * kFrameCell, (r + 1) * kFrameCell, kFrameCell, picture.Cell(r, c),
               kStiGreyIndex);
    }
  }
  const uint32_t right = stitches + 1;
  const uint32_t top = rows + 1;
  DrawGlyph(out, 0, 0, 8);
  DrawGlyph(out, right, 0, 3);
  DrawGlyph(out, 0, top, 7);  // the top-right corner stays white
  for (uint32_t c = 0; c < stitches; ++c) {
    const bool fifth = c % 5 == 4;
    DrawGlyph(out, c + 1, 0, fifth ? 7 : 5);
    DrawGlyph(out, c + 1, top, fifth ? 7 : 6);
  }
  for (uint32_t q = 1; q <= rows; ++q) {
    const bool fifth = q % 5 == 0;
    DrawGlyph(out, 0, q, fifth ? 4 : 1);
    DrawGlyph(out, right, q, fifth ? 3 : 2);
  }
  return out;
}

}  // namespace

uint32_t StiCellSize(uint32_t rows, uint32_t stitches) {
  const uint32_t larger = std::max(rows, stitches);
  if (larger <= 25) return 8;
  if (larger <= 50) return 4;
  if (larger <= 100) return 2;
  return 1;
}

bool StiFramedFits(uint32_t rows, uint32_t stitches) {
  return (uint64_t{rows} + 2) * (uint64_t{stitches} + 2) <= kStiMaxFramedCells;
}

std::optional<StiRaster> StiRender(std::span<const uint8_t> block) {
  const auto picture = StiPicture::FromBlock(block);
  if (!picture) return std::nullopt;
  return picture->Kind() == kStiKindFramed ? RenderFramed(*picture) : RenderPlain(*picture);
}

std::optional<std::vector<uint8_t>> StiWriteBmp(std::span<const uint8_t> block) {
  const auto raster = StiRender(block);
  if (!raster) return std::nullopt;
  const size_t data_size = raster->pixels.size();
  std::vector<uint8_t> bmp(kStiBmpPixelOffset, 0);
  bmp[0] = 'B';
  bmp[1] = 'M';
  WriteLe32(bmp, 10, kStiBmpPixelOffset);
  WriteLe32(bmp, 14, 40);
  WriteLe32(bmp, 18, raster->width);
  WriteLe32(bmp, 22, raster->height);
  WriteLe16(bmp, 26, 1);
  WriteLe16(bmp, 28, 8);
  WriteLe32(bmp, 30, 0);
  WriteLe32(bmp, 34, static_cast<uint32_t>(data_size));
  WriteLe32(bmp, 38, 3780);
  WriteLe32(bmp, 42, 1220);
  WriteLe32(bmp, 46, 256);
  WriteLe32(bmp, 50, 0);
  for (size_t i = 0; i < 256; ++i) {
    const StiColor& c = raster->palette[i];
    uint8_t* entry = &bmp[54 + 4 * i];
    entry[0] = c.blue;
    entry[1] = c.green;
    entry[2] = c.red;
    entry[3] = c.flags;
  }
  bmp.insert(bmp.end(), raster->pixels.begin(), raster->pixels.end());
  // Strict readers refuse a file whose header does not give its true size.
  WriteLe32(bmp, 2, static_cast<uint32_t>(bmp.size()));
  return bmp;
}

StiWriteResult StiWriteBmp(const std::filesystem::path& path, std::span<const uint8_t> block) {
  const auto bmp = StiWriteBmp(block);
  if (!bmp) return StiWriteResult::kNotAPicture;
  return WriteFileAtomically(path, *bmp) ? StiWriteResult::kOk : StiWriteResult::kCannotCreate;
}

}  // namespace r7k
