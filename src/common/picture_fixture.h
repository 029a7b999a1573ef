#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

// Test fixtures: small pictures as a paint program saves them. Pixels are given top row
// first as 0xRRGGBB (0xAARRGGBB with `alpha`).
namespace r7k {

namespace png_fixture {

inline uint32_t Crc(const uint8_t* data, size_t size, uint32_t crc = 0xFFFFFFFF) {
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return crc;
}

inline void Be32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

inline void Chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  Be32(out, static_cast<uint32_t>(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  Be32(out, Crc(out.data() + start, out.size() - start) ^ 0xFFFFFFFF);
}

// A zlib stream of stored (uncompressed) blocks.
inline std::vector<uint8_t> Stored(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> z = {0x78, 0x01};
  size_t at = 0;
  do {
    const size_t n = std::min<size_t>(raw.size() - at, 65535);
    z.push_back(at + n == raw.size() ? 1 : 0);
    z.push_back(static_cast<uint8_t>(n));
    z.push_back(static_cast<uint8_t>(n >> 8));
    z.push_back(static_cast<uint8_t>(~n));
    z.push_back(static_cast<uint8_t>(~n >> 8));
    z.insert(z.end(), raw.begin() + static_cast<ptrdiff_t>(at),
             raw.begin() + static_cast<ptrdiff_t>(at + n));
    at += n;
  } while (at < raw.size());
  uint32_t a = 1, b = 0;
  for (uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  Be32(z, b << 16 | a);
  return z;
}

}  // namespace png_fixture

// A PNG of true colour, or with `indexed` of a colour table (one entry per distinct colour,
// transparency in a tRNS chunk), written plainly (stored deflate blocks) so that any reader
// takes it.
inline std::vector<uint8_t> TestPng(uint32_t width, uint32_t height,
                                    const std::vector<uint32_t>& pixels, bool alpha = false,
                                    bool indexed = false) {
  using namespace png_fixture;
  const unsigned channels = indexed ? 1 : alpha ? 4 : 3;
  std::vector<uint8_t> raw;
  std::vector<uint8_t> palette, transparency;
  std::vector<uint32_t> table;
  for (uint32_t y = 0; y < height; ++y) {
    raw.push_back(0);  // filter: none
    for (uint32_t x = 0; x < width; ++x) {
      const uint32_t p = pixels[size_t{y} * width + x];
      const uint8_t rgba[4] = {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8),
                               static_cast<uint8_t>(p), static_cast<uint8_t>(p >> 24)};
      if (!indexed) {
        raw.insert(raw.end(), rgba, rgba + channels);
        continue;
      }
      size_t k = 0;
      while (k < table.size() && table[k] != p) ++k;
      if (k == table.size()) {
        table.push_back(p);
        palette.insert(palette.end(), rgba, rgba + 3);
        transparency.push_back(alpha ? rgba[3] : 255);
      }
      raw.push_back(static_cast<uint8_t>(k));
    }
  }
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::vector<uint8_t> header;
  Be32(header, width);
  Be32(header, height);
  header.push_back(8);
  header.push_back(indexed ? 3 : alpha ? 6 : 2);
  header.insert(header.end(), {0, 0, 0});
  Chunk(out, "IHDR", header);
  if (indexed) Chunk(out, "PLTE", palette);
  if (indexed && alpha) Chunk(out, "tRNS", transparency);
  Chunk(out, "IDAT", Stored(raw));
  Chunk(out, "IEND", {});
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
