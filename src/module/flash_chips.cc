#include "module/flash_chips.h"

#include <algorithm>
#include <cctype>

namespace r7k {

const FlashChip* FindFlashChip(std::string_view code) {
  const auto same = [](char a, char b) {
    return std::toupper(static_cast<unsigned char>(a)) ==
           std::toupper(static_cast<unsigned char>(b));
  };
  for (const FlashChip& chip : kFlashChips)
    if (std::ranges::equal(code, chip.code, same)) return &chip;
  return nullptr;
}

}  // namespace r7k
