#include "gui/row_format.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace r7k
