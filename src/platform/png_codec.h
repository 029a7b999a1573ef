#pragma once

// PNG through the system's codec: libpng on Linux, the Windows Imaging Component on Windows.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace r7k {

struct PngPicture {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint32_t> pixels;  // 0xRRGGBB, rows top-down, transparency laid over white
};

struct PngDecodeResult {
  std::optional<PngPicture> picture;
  std::string error;          // why it could not be read, when it was the codec that refused
  bool refused_size = false;  // `check_size` said no; its own refusal stands
};

// Decodes a PNG file's bytes into one pixel array (no second copy of a picture that may be
// large). `check_size` sees the dimensions before any pixel memory is taken; false stops the
// decoding with refused_size set.
PngDecodeResult DecodePng(std::span<const uint8_t> bytes,
                          const std::function<bool(uint32_t width, uint32_t height)>& check_size);

// An 8-bit indexed PNG of `width` × `height` pixels; `rows_bottom_up` holds the rows bottom
// row first, `stride` bytes apart. Nothing when encoding fails.
std::optional<std::vector<uint8_t>> EncodeIndexedPng(
    uint32_t width, uint32_t height, const std::array<std::array<uint8_t, 3>, 256>& palette,
    std::span<const uint8_t> rows_bottom_up, uint32_t stride);

}  // namespace r7k
