#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "module/pattern.h"

// Turning a picture a knitter drew (PNG or BMP) into the cells of a pattern: one stitch per
// pixel, at most four colours.
namespace r7k {

// A picture as plain colours 0xRRGGBB, top row first. Transparent parts are laid over white,
// as the picture looks on paper.
struct RgbPicture {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint32_t> pixels;  // width x height
};

// The largest picture file read (larger ones cannot hold a pattern that fits a module).
inline constexpr size_t kMaxPictureFileBytes = size_t{256} << 20;

// Why a picture cannot become a pattern, in words for the user; empty when it can.
struct PictureRefusal {
  std::string text;
  bool too_many_colours = false;  // reading with reduction would take it
};

struct RgbPictureResult {
  std::optional<RgbPicture> picture;
  PictureRefusal refusal;  // when there is no picture
};

// The size checks before any pixel is decoded: not empty, at most kMaxPatternWidth stitches
// and kMaxPatternRows rows, and small enough that even its shortest coding fits a module.
std::optional<PictureRefusal> CheckPictureSize(uint64_t width, uint64_t height);

// Reads PNG (any colour type and depth, with or without transparency) or BMP (as the
// bitmap field reads it: uncompressed 1, 4, 8 or 24 bits per pixel) by its first bytes.
RgbPictureResult ReadPictureBytes(std::span<const uint8_t> bytes);
RgbPictureResult ReadPictureFile(const std::filesystem::path& path);

// A picture's cells as a pattern: index 0 for the most frequent colour, then the others by
// falling frequency (ties: the one met first, reading from the top left).
struct PictureCells {
  PatternGrid grid;            // cell row 0 is the picture's bottom row
  uint8_t colours = 0;         // colours the pattern uses, 1 to 4
  std::vector<uint32_t> inks;  // 0xRRGGBB of each index
  size_t picture_colours = 0;  // distinct colours of the picture itself
};

struct PictureCellsResult {
  std::optional<PictureCells> cells;
  PictureRefusal refusal;  // when there are no cells
};

// At most four colours are taken as they are. More are refused, or with `reduce` each pixel
// takes the nearest (in red, green, blue) of the four most frequent colours.
PictureCellsResult PictureToCells(const RgbPicture& picture, bool reduce);

// ReadPictureBytes, then PictureToCells.
PictureCellsResult ReadPictureCells(std::span<const uint8_t> bytes, bool reduce);

}  // namespace r7k
