#pragma once

// The pictures the program carries, drawn here rather than stored: the help and full-pattern
// symbols of the bitmap buttons ("question.bmp", "full.bmp") and the picture field's resources
// "CORRUPT" (a crossed-out file, 30 x 25) and "NO_FILE" (3 x 3). Names match in any case.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "common/dib.h"

namespace r7k {

std::optional<DibImage> BuiltinPicture(std::string_view name);

// The names above, in a fixed order (for writing them as files).
const std::vector<std::string_view>& BuiltinPictureNames();

// A 24-bit BMP file of the image (bottom-up rows padded to 4 bytes).
std::vector<std::uint8_t> BmpFileBytes(const DibImage& image);

}  // namespace r7k
