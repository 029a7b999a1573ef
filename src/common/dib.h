#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

// Reading Windows BMP files: a 14-byte file header "BM", an info header of 40 bytes or the
// old 12-byte form, the colour table, then uncompressed pixel bits of 1, 4, 8 or 24 bits,
// rows bottom-up. The pixel bits are taken to follow the colour table directly.
namespace r7k {

struct DibRgb {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  friend bool operator==(const DibRgb&, const DibRgb&) = default;
};

// The fields of the info header that reading needs.
struct DibHeader {
  uint32_t header_size = 0;  // 40 or 12
  int32_t width = 0;
  int32_t height = 0;  // negative: rows stored top-down
  uint16_t bits_per_pixel = 0;
  uint32_t compression = 0;
  uint32_t colors_used = 0;  // 40-byte header only
};

struct DibImage {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<DibRgb> palette;  // the colour table; empty when the file has none
  std::vector<DibRgb> pixels;   // width x height, top row first
  DibRgb At(uint32_t x, uint32_t y) const { return pixels[size_t{y} * width + x]; }
  friend bool operator==(const DibImage&, const DibImage&) = default;
};

// Parses the info header that follows the file header (`dib` starts at file offset 14).
std::optional<DibHeader> DibReadHeader(std::span<const uint8_t> dib);

// Number of colour table entries: a 40-byte header's own count when not 0, else 2, 16 or
// 256 for 1, 4 or 8 bits per pixel, else none.
uint32_t DibColorCount(const DibHeader& header);
// Size of the colour table: 4 bytes per entry after a 40-byte header, 3 after a 12-byte one.
uint64_t DibPaletteBytes(const DibHeader& header);

// Decodes a whole BMP file; nothing when it is not one this reader takes or is cut short.
std::optional<DibImage> DibReadBytes(std::span<const uint8_t> file);
// Reads and decodes a file; nothing for an empty name or an unreadable file.
std::optional<DibImage> DibReadFile(const std::filesystem::path& path);

// True when the text after the name's last "." is "bmp", "bpt" or "tmp" in any case.
bool BitmapExtensionAccepted(std::string_view name);
// DibReadFile for names with an accepted extension; nothing for others.
std::optional<DibImage> BitmapFromFile(const std::filesystem::path& path);

}  // namespace r7k
