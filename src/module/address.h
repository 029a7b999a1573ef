#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Virtual module images and their banked addresses. An image is a run of 32 KiB banks; the
// directory stores positions as three bytes: the bank in the low nibble of the first byte,
// then the position within the bank with bit 15 set (the console sees each bank through a
// window at 0x8000..0xFFFF).
namespace r7k {

inline constexpr size_t kBankSize = 0x8000;
inline constexpr size_t kRomImageSize = 0x30000;     // 196,608 bytes, 6 banks
inline constexpr size_t kModuleImageSize = 0x80000;  // 524,288 bytes, 16 banks

// True for the two sizes a virtual module file may have.
bool IsImageSize(size_t size);

// File offset of a banked address. The upper nibble of the first byte and bit 7 of the
// second are not part of the address.
uint32_t DecodeModuleAddress(std::span<const uint8_t, 3> bytes);

// Writes the banked address of `offset` in place, with the upper nibble 0x8 that this program
// writes into new entries.
void EncodeModuleAddress(uint32_t offset, std::span<uint8_t, 3> bytes);

// Big-endian 16-bit number at `pos`; the caller has checked that two bytes are there.
inline uint16_t ReadBe16(std::span<const uint8_t> bytes, size_t pos) {
  return static_cast<uint16_t>(bytes[pos] << 8 | bytes[pos + 1]);
}

inline void WriteBe16(std::span<uint8_t> bytes, size_t pos, uint16_t value) {
  bytes[pos] = static_cast<uint8_t>(value >> 8);
  bytes[pos + 1] = static_cast<uint8_t>(value);
}

}  // namespace r7k
