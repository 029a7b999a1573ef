#pragma once

// Letter case and blanks in plain ASCII: item names, tags and script words are matched
// without regard to case, whatever the locale.

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

namespace r7k {

inline char AsciiLower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

inline bool IsBlank(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

inline std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

inline std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace r7k
