#pragma once

#include <png.h>

#include <cstdint>
#include <cstring>
#include <vector>

// Test fixtures: small pictures as a paint program saves them. Pixels are given top row
// first as 0xRRGGBB (0xAARRGGBB with `alpha`).
namespace r7k {

// A PNG of true colour, or with `indexed` of a colour table (one entry per distinct colour).
inline std::vector<uint8_t> TestPng(uint32_t width, uint32_t height,
                                    const std::vector<uint32_t>& pixels, bool alpha = false,
                                    bool indexed = false) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  const unsigned channels = alpha ? 4 : 3;
  std::vector<uint8_t> samples;
  std::vector<uint8_t> colormap;
  std::vector<uint32_t> table;
  for (uint32_t p : pixels) {
    const uint8_t rgba[4] = {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8),
                             static_cast<uint8_t>(p), static_cast<uint8_t>(p >> 24)};
    if (!indexed) {
      samples.insert(samples.end(), rgba, rgba + channels);
      continue;
    }
    size_t k = 0;
    while (k < table.size() && table[k] != p) ++k;
    if (k == table.size()) {
      table.push_back(p);
      colormap.insert(colormap.end(), rgba, rgba + channels);
    }
    samples.push_back(static_cast<uint8_t>(k));
  }
  image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  if (indexed) {
    image.format |= PNG_FORMAT_FLAG_COLORMAP;
    image.colormap_entries = static_cast<uint32_t>(table.size());
  }
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, samples.data(), 0,
                            indexed ? colormap.data() : nullptr);
  std::vector<uint8_t> out(size);
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, samples.data(), 0,
                                 indexed ? colormap.data() : nullptr)) {
    return {};
  }
  out.resize(size);
  return out;
}

// A 24-bit BMP with a 40-byte header, rows stored bottom-up.
inline std::vector<uint8_t> TestBmp24(uint32_t width, uint32_t height,
                                      const std::vector<uint32_t>& pixels) {
  const uint32_t stride = (width * 3 + 3) / 4 * 4;
  std::vector<uint8_t> b(54 + size_t{stride} * height, 0);
  auto put = [&b](size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  b[0] = 'B';
  b[1] = 'M';
  put(2, static_cast<uint32_t>(b.size()), 4);
  put(10, 54, 4);
  put(14, 40, 4);
  put(18, width, 4);
  put(22, height, 4);
  put(26, 1, 2);
  put(28, 24, 2);
  for (uint32_t y = 0; y < height; ++y) {
    const size_t row = 54 + size_t{stride} * (height - 1 - y);
    for (uint32_t x = 0; x < width; ++x) put(row + 3 * x, pixels[y * width + x], 3);
  }
  return b;
}

}  // namespace r7k
