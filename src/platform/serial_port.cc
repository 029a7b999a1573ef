#include "platform/serial_port.h"

#include <algorithm>
#include <array>

namespace r7k {

const char* SerialEventName(SerialEvent event) {
  switch (event) {
    case SerialEvent::kReadable: return "readable";
    case SerialEvent::kLineError: return "line error";
    case SerialEvent::kAborted: return "aborted";
    case SerialEvent::kTimeout: return "timeout";
    case SerialEvent::kHangup: return "hangup";
  }
  return "?";
}

bool IsStandardBaud(uint32_t baud) {
  static constexpr std::array<uint32_t, 13> kRates = {
      1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 500000, 921600, 1000000};
  return std::find(kRates.begin(), kRates.end(), baud) != kRates.end();
}

}  // namespace r7k
