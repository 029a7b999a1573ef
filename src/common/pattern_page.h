#pragma once

#include <string>
#include <string_view>

// The full pattern page.
namespace r7k {

inline constexpr char kPatternPageFile[] = "Pattern.htm";
inline constexpr char kPatternFullBmpFile[] = "PatternFull.Bmp";

// The page presenting "PatternFull.Bmp": 24 lines, each ended by a line feed. The title
// shows the whole name, the caption and the picture's alternative text the part after its
// last backslash.
std::string PatternPageHtml(std::string_view name, unsigned rows, unsigned stitches);
}  // namespace r7k
