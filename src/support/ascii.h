#pragma once

// Letter case and blanks in plain ASCII: item names, tags and script words are matched
// without regard to case, whatever the locale.

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

namespace r7k {

inline char AsciiLower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

inline bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

inline std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return AsciiLower(x) == AsciiLower(y);
         });
}

// The text with control characters and bytes above 0x7E written as "\xNN", so that a name
// read from a file cannot steer the terminal or pass such bytes on.
inline std::string PrintableText(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F) {
      out += c;
    } else {
      static constexpr char kDigits[] = "0123456789ABCDEF";
      out += {'\\', 'x', kDigits[byte >> 4], kDigits[byte & 0xF]};
    }
  }
  return out;
}

inline std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Words at blanks; double quotes group blanks into a word and are dropped ("" is an empty word).
// Command lines and script lines are split alike.
inline std::vector<std::string> QuotedWords(std::string_view text) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false;
  bool any = false;
  for (const char c : text) {
    if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if (!quoted && IsBlank(c)) {
      if (any) words.push_back(std::move(word));
      word.clear();
      any = false;
    } else {
      word.push_back(c);
      any = true;
    }
  }
  if (any) words.push_back(std::move(word));
  return words;
}

}  // namespace r7k
