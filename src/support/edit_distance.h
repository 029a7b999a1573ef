#pragma once

#include <cstddef>
#include <string_view>

namespace r7k {

enum class LetterCase { kSensitive, kIgnored };

// The number of single-letter insertions, deletions and replacements that turn a into b;
// how far a mistyped name is from a known one.
std::size_t EditDistance(std::string_view a, std::string_view b,
                         LetterCase letter_case = LetterCase::kSensitive);

}  // namespace r7k
