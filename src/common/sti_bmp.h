#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

#include "common/sti_picture.h"

// The 8-bit picture file of a stitch picture: each stitch a square cell of s x s pixels with
// grid lines in palette index 254, or, for a picture of the framed kind, 8 x 8 cells inside
// a frame with ruler ticks every fifth stitch and row.
namespace r7k {

inline constexpr uint8_t kStiGridIndex = 254;
inline constexpr uint8_t kStiGreyIndex = 253;
inline constexpr uint8_t kStiWhiteIndex = 255;
inline constexpr uint32_t kStiBmpPixelOffset = 1078;

// The drawn picture: palette indices, rows bottom-up, each padded to `stride` bytes.
struct StiRaster {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t stride = 0;
  std::vector<uint8_t> pixels;
  std::array<StiColor, 256> palette{};
};

// The framed picture draws every stitch at 8 x 8 pixels; it holds at most this many cells,
// frame included (64 MiB of pixels), so that a huge pattern cannot take gigabytes.
inline constexpr uint64_t kStiMaxFramedCells = uint64_t{1} << 20;
bool StiFramedFits(uint32_t rows, uint32_t stitches);

// Cell size in pixels for a plain picture: 8 up to 25 rows and stitches, 4 up to 50, 2 up
// to 100, else 1.
uint32_t StiCellSize(uint32_t rows, uint32_t stitches);

// Draws a picture block (plain, or framed for kind 0x40). Nothing for a block without the
// tag or too short for its cells, or a framed one that does not fit.
std::optional<StiRaster> StiRender(std::span<const uint8_t> block);

// The BMP file bytes of a picture block, or nothing when it is not a picture.
std::optional<std::vector<uint8_t>> StiWriteBmp(std::span<const uint8_t> block);

enum class StiWriteResult { kOk, kCannotCreate, kNotAPicture };

// Writes the BMP file of a picture block to `path`, replacing it atomically.
StiWriteResult StiWriteBmp(const std::filesystem::path& path, std::span<const uint8_t> block);

}  // namespace r7k
