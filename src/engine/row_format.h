#pragma once

// A list row as the user sees it: the row's cells laid out by the table's display format
// ("%5s %-5s %-6s %-6s %-5s"). Only "%s" with an optional "-" and width, and "%%", are
// understood; anything else in the format is copied as it stands. Cells beyond the format's
// "%s" are left out; a "%s" without a cell shows as empty. Without a format the cells are
// joined with two blanks.

#include <string>
#include <string_view>
#include <vector>

namespace r7k {

std::string FormatRow(std::string_view format, const std::vector<std::string>& cells);

}  // namespace r7k
