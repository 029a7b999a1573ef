#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

#include "common/sti_bmp.h"

// The picture a stitch picture's BMP shows, as an 8-bit indexed PNG (easier to share).
namespace r7k {

// PNG bytes of a drawn picture; nothing for an empty picture or when encoding fails.
std::optional<std::vector<uint8_t>> RasterToPng(const StiRaster& raster);

// PNG bytes of a picture block (plain or framed, as its BMP), or nothing when the block is
// not a picture.
std::optional<std::vector<uint8_t>> StiWritePng(std::span<const uint8_t> block);

// Writes the PNG of a picture block to `path`, replacing it atomically.
StiWriteResult StiWritePng(const std::filesystem::path& path, std::span<const uint8_t> block);

}  // namespace r7k
