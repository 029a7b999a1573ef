#include <cstddef>
#include <cstdint>
#include <span>

#include "common/sti_picture.h"
#include "testing/fuzz_seeds.h"

// The palette file is the user's: any bytes must load or be refused without touching the
// cells or reading past the file.
// Seeds: palette files of the three sizes that matter (the least accepted, one block, all 256
// records), their records counting up.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  r7k::fuzz::WriteSeedsIfAsked([] {
    std::vector<r7k::fuzz::Bytes> seeds;
    for (size_t size : {136, 512, 1584}) {
      r7k::fuzz::Bytes file(size);
      for (size_t i = 0; i < size; ++i) file[i] = static_cast<uint8_t>(i * 7);
      file[0] = 'A', file[1] = 'H', file[2] = 0xE3;
      seeds.push_back(std::move(file));
    }
    return seeds;
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  r7k::StiPicture picture(1, 1);
  picture.SetCell(0, 0, 9);
  r7k::StiLoadPalette(picture, std::span<const uint8_t>(data, size));
  if (picture.Cell(0, 0) != 9) __builtin_trap();
  return 0;
}
