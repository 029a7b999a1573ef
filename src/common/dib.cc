#include "common/dib.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "common/little_endian.h"
#include "platform/file_io.h"

namespace r7k {

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kCoreHeaderSize = 12;
// Larger files are not pictures this program shows on a dialog.
constexpr size_t kMaxFileBytes = size_t{256} << 20;

}  // namespace

std::optional<DibHeader> DibReadHeader(std::span<const uint8_t> dib) {
  if (dib.size() < 4) return std::nullopt;
  DibHeader h;
  h.header_size = ReadLe32(dib, 0);
  if (h.header_size == kInfoHeaderSize && dib.size() >= kInfoHeaderSize) {
    h.width = static_cast<int32_t>(ReadLe32(dib, 4));
    h.height = static_cast<int32_t>(ReadLe32(dib, 8));
    h.bits_per_pixel = ReadLe16(dib, 14);
    h.compression = ReadLe32(dib, 16);
    h.colors_used = ReadLe32(dib, 32);
    return h;
  }
  if (h.header_size == kCoreHeaderSize && dib.size() >= kCoreHeaderSize) {
    h.width = ReadLe16(dib, 4);
    h.height = ReadLe16(dib, 6);
    h.bits_per_pixel = ReadLe16(dib, 10);
    return h;
  }
  return std::nullopt;
}

uint32_t DibColorCount(const DibHeader& header) {
  if (header.header_size == kInfoHeaderSize && header.colors_used != 0) {
    return header.colors_used;
  }
  switch (header.bits_per_pixel) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

uint64_t DibPaletteBytes(const DibHeader& header) {
  return uint64_t{DibColorCount(header)} * (header.header_size == kInfoHeaderSize ? 4 : 3);
}

std::optional<DibImage> DibReadBytes(std::span<const uint8_t> file) {
  if (file.size() < kFileHeaderSize || file[0] != 'B' || file[1] != 'M') return std::nullopt;
  const std::span<const uint8_t> dib = file.subspan(kFileHeaderSize);
  const auto header = DibReadHeader(dib);
  if (!header || header->compression != 0 || header->width <= 0 || header->height == 0 ||
      header->height == INT32_MIN) {
    return std::nullopt;
  }
  const uint32_t bpp = header->bits_per_pixel;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24) return std::nullopt;

  const uint64_t table_at = header->header_size;
  const uint64_t table_bytes = DibPaletteBytes(*header);
  if (table_bytes > dib.size() - table_at) return std::nullopt;
  const uint32_t width = static_cast<uint32_t>(header->width);
  const bool top_down = header->height < 0;
  const uint32_t height = static_cast<uint32_t>(top_down ? -header->height : header->height);
  const uint64_t stride = (uint64_t{width} * bpp + 31) / 32 * 4;
  const uint64_t bits_at = table_at + table_bytes;
  if (stride * height > dib.size() - bits_at) return std::nullopt;

  DibImage image;
  image.width = width;
  image.height = height;
  const uint32_t entry_size = header->header_size == kInfoHeaderSize ? 4 : 3;
  const uint32_t count = DibColorCount(*header);
  image.palette.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const size_t at = static_cast<size_t>(table_at) + size_t{i} * entry_size;
    image.palette.push_back({dib[at + 2], dib[at + 1], dib[at]});
  }

  image.pixels.resize(size_t{width} * height);
  for (uint32_t row = 0; row < height; ++row) {
    const uint8_t* bits = &dib[static_cast<size_t>(bits_at + stride * row)];
    const uint32_t y = top_down ? row : height - 1 - row;
    DibRgb* out = &image.pixels[size_t{y} * width];
    for (uint32_t x = 0; x < width; ++x) {
      if (bpp == 24) {
        out[x] = {bits[3 * x + 2], bits[3 * x + 1], bits[3 * x]};
        continue;
      }
      const uint32_t bit = x * bpp;
      const uint32_t index = (bits[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
      // An index past the end of the table draws black rather than reading beyond it.
      out[x] = index < image.palette.size() ? image.palette[index] : DibRgb{};
    }
  }
  return image;
}

std::optional<DibImage> DibReadFile(const std::filesystem::path& path) {
  if (path.empty()) return std::nullopt;
  const auto bytes = ReadFileBytes(path, kMaxFileBytes);
  if (!bytes) return std::nullopt;
  return DibReadBytes(*bytes);
}

bool BitmapExtensionAccepted(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  std::string ext(name.substr(dot + 1));
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
  return ext == "bmp" || ext == "bpt" || ext == "tmp";
}

std::optional<DibImage> BitmapFromFile(const std::filesystem::path& path) {
  if (!BitmapExtensionAccepted(path.string())) return std::nullopt;
  return DibReadFile(path);
}

}  // namespace r7k
