#include "support/edit_distance.h"

#include <gtest/gtest.h>

namespace r7k {
namespace {

TEST(EditDistance, CountsEachKindOfEdit) {
  EXPECT_EQ(EditDistance("", ""), 0u);
  EXPECT_EQ(EditDistance("", "abc"), 3u);
  EXPECT_EQ(EditDistance("abc", ""), 3u);
  EXPECT_EQ(EditDistance("CB_Lgo", "CB_Log"), 2u);  // a swap is two replacements
  EXPECT_EQ(EditDistance("buildin", "builtin"), 1u);
  EXPECT_EQ(EditDistance("ls", "lsx"), 1u);
  EXPECT_EQ(EditDistance("kitten", "sitting"), 3u);
}

TEST(EditDistance, LetterCaseCountsOnlyWhenAsked) {
  EXPECT_EQ(EditDistance("LS", "ls"), 2u);
  EXPECT_EQ(EditDistance("LS", "ls", LetterCase::kIgnored), 0u);
  EXPECT_EQ(EditDistance("cb_LOGx", "CB_Log", LetterCase::kIgnored), 1u);
}

}  // namespace
}  // namespace r7k
