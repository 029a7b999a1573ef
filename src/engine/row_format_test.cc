#include "engine/row_format.h"

#include <gtest/gtest.h>

#include "engine/view.h"

namespace r7k {
namespace {

TEST(FormatRow, WidthsAlignmentAndOddFormats) {
  EXPECT_EQ(FormatRow("%5s %-5s %-6s %-6s %-5s", {"FC", "T0001", "32768", "32809", "41"}),
            "   FC T0001 32768  32809  41   ");
  EXPECT_EQ(FormatRow("%-10s %s", {"sim"}), "sim        ") << "a missing cell shows empty";
  EXPECT_EQ(FormatRow("%s", {"a", "b"}), "a") << "cells beyond the format are left out";
  EXPECT_EQ(FormatRow("%3s", {"longer"}), "longer") << "never cut";
  EXPECT_EQ(FormatRow("100%% %d %s", {"x"}), "100% %d x") << "only %s takes a cell";
  EXPECT_EQ(FormatRow("%-", {"x"}), "%-");
  EXPECT_EQ(FormatRow("", {"a", "b"}), "a  b");
}

TEST(PlaceNatural, CentredWhenSmallerTheMiddlePartWhenLarger) {
  auto [source, target] = PlaceNatural(300, 200, 100, 50);
  EXPECT_EQ(source, (PixelRect{0, 0, 100, 50}));
  EXPECT_EQ(target, (PixelRect{100, 75, 100, 50}));
  std::tie(source, target) = PlaceNatural(360, 240, 400, 300);
  EXPECT_EQ(source, (PixelRect{20, 30, 360, 240})) << "the middle 360 x 240, unscaled";
  EXPECT_EQ(target, (PixelRect{0, 0, 360, 240}));
  std::tie(source, target) = PlaceNatural(30, 25, 30, 25);
  EXPECT_EQ(target, (PixelRect{0, 0, 30, 25}));
}

}  // namespace
}  // namespace r7k
