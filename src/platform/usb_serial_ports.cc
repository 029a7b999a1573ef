#include "platform/usb_serial_ports.h"

#include <cctype>
#include <charconv>

namespace r7k {

bool DeviceNameLess(std::string_view a, std::string_view b) {
  auto split = [](std::string_view s) {
    size_t digits = s.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(s[digits - 1]))) --digits;
    unsigned long number = 0;
    std::from_chars(s.data() + digits, s.data() + s.size(), number);
    return std::pair{s.substr(0, digits), digits == s.size() ? -1L : long(number)};
  };
  auto [sa, na] = split(a);
  auto [sb, nb] = split(b);
  if (sa != sb) return sa < sb;
  return na < nb;
}

}  // namespace r7k
