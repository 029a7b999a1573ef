#include <cstddef>
#include <cstdint>
#include <span>

#include "common/sti_picture.h"

// The palette file is the user's: any bytes must load or be refused without touching the
// cells or reading past the file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  r7k::StiPicture picture(1, 1);
  picture.SetCell(0, 0, 9);
  r7k::StiLoadPalette(picture, std::span<const uint8_t>(data, size));
  if (picture.Cell(0, 0) != 9) __builtin_trap();
  return 0;
}
