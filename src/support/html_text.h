#pragma once

#include <string>
#include <string_view>

namespace r7k {

// Names and texts on our pages come from module bytes: markup characters in them must stay text.
inline std::string HtmlText(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace r7k
