#include "engine/row_format.h"

#include <cctype>

namespace r7k {

std::string FormatRow(std::string_view format, const std::vector<std::string>& cells) {
  std::string out;
  if (format.empty()) {
    for (std::size_t i = 0; i < cells.size(); ++i) out += (i ? "  " : "") + cells[i];
    return out;
  }
  std::size_t cell = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      out.push_back(format[i]);
      continue;
    }
    std::size_t j = i + 1;
    if (j < format.size() && format[j] == '%') {
      out.push_back('%');
      i = j;
      continue;
    }
    const bool left = j < format.size() && format[j] == '-';
    if (left) ++j;
    std::size_t width = 0;
    while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j])) && width < 1000)
      width = width * 10 + static_cast<std::size_t>(format[j++] - '0');
    if (j >= format.size() || format[j] != 's') {  // not ours: copy it as it stands
      out.append(format.substr(i, j - i));
      i = j - 1;
      continue;
    }
    const std::string& text = cell < cells.size() ? cells[cell] : std::string();
    ++cell;
    const std::string pad(text.size() < width ? width - text.size() : 0, ' ');
    out += left ? text + pad : pad + text;
    i = j;
  }
  return out;
}

}  // namespace r7k
