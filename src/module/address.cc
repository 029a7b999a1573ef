#include "module/address.h"

namespace r7k {

bool IsImageSize(size_t size) { return size == kRomImageSize || size == kModuleImageSize; }

uint32_t DecodeModuleAddress(std::span<const uint8_t, 3> bytes) {
  return (bytes[0] & 0x0Fu) * kBankSize + (bytes[1] & 0x7Fu) * 0x100u + bytes[2];
}

void EncodeModuleAddress(uint32_t offset, std::span<uint8_t, 3> bytes) {
  bytes[2] = static_cast<uint8_t>(offset & 0xFF);
  bytes[1] = static_cast<uint8_t>(0x80 + ((offset >> 8) & 0x7F));
  bytes[0] = static_cast<uint8_t>(0x80 + (offset >> 15));
}

}  // namespace r7k
