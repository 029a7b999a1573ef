#include "module/flash_chips.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

namespace r7k {
namespace {

TEST(FlashChips, EveryRowHasAUniqueCodeAKnownTypeAndAName) {
  const std::set<std::string_view> types = {"29F040", "29F080", "29F016", "29F032",
                                            "29C010", "29C020", "29C040"};
  std::set<std::string> codes;
  for (const FlashChip& chip : kFlashChips) {
    ASSERT_EQ(chip.code.size(), 4u) << chip.name;
    std::string lower;
    for (char c : chip.code) {
      EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(c))) << chip.code;
      lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    EXPECT_TRUE(codes.insert(lower).second) << "twice: " << chip.code;
    EXPECT_TRUE(types.count(chip.type)) << chip.code << " " << chip.type;
    EXPECT_FALSE(chip.name.empty()) << chip.code;
    EXPECT_EQ(FindFlashChip(lower), &chip) << "found by its own code, in either letter case";
  }
  EXPECT_EQ(FindFlashChip("1234"), nullptr);
  EXPECT_EQ(FindFlashChip("20E"), nullptr);
}

}  // namespace
}  // namespace r7k
