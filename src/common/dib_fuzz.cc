#include <cstddef>
#include <cstdint>
#include <span>

#include "common/dib.h"

// Picture files on dialogs are whatever the user points at: any bytes must read or be
// refused, and a read image holds exactly its pixels.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto image = r7k::DibReadBytes(std::span<const uint8_t>(data, size));
  if (image && image->pixels.size() != size_t{image->width} * image->height) __builtin_trap();
  return 0;
}
