#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Little-endian numbers of the picture formats (cut layout, stitch picture block, BMP); the
// caller has checked that the bytes are there.
namespace r7k {

inline uint16_t ReadLe16(std::span<const uint8_t> bytes, size_t pos) {
  return static_cast<uint16_t>(bytes[pos] | bytes[pos + 1] << 8);
}

inline uint32_t ReadLe32(std::span<const uint8_t> bytes, size_t pos) {
  return ReadLe16(bytes, pos) | uint32_t{ReadLe16(bytes, pos + 2)} << 16;
}

inline void WriteLe16(std::span<uint8_t> bytes, size_t pos, uint16_t value) {
  bytes[pos] = static_cast<uint8_t>(value);
  bytes[pos + 1] = static_cast<uint8_t>(value >> 8);
}

inline void WriteLe32(std::span<uint8_t> bytes, size_t pos, uint32_t value) {
  WriteLe16(bytes, pos, static_cast<uint16_t>(value));
  WriteLe16(bytes, pos + 2, static_cast<uint16_t>(value >> 16));
}

}  // namespace r7k
