#include "platform/posix_termios.h"

#include <array>
#include <utility>

namespace r7k {
namespace {

constexpr std::array<std::pair<uint32_t, speed_t>, 13> kRates = {{
    {1200, B1200},
    {2400, B2400},
    {4800, B4800},
    {9600, B9600},
    {19200, B19200},
    {38400, B38400},
    {57600, B57600},
    {115200, B115200},
    {230400, B230400},
    {460800, B460800},
    {500000, B500000},
    {921600, B921600},
    {1000000, B1000000},
}};

}  // namespace

std::optional<speed_t> BaudToSpeed(uint32_t baud) {
  for (const auto& [rate, code] : kRates) {
    if (rate == baud) return code;
  }
  return std::nullopt;
}

std::optional<uint32_t> SpeedToBaud(speed_t speed) {
  for (const auto& [rate, code] : kRates) {
    if (code == speed) return rate;
  }
  return std::nullopt;
}

void MakeRawTermios(termios* t) {
  cfmakeraw(t);
  t->c_iflag &= ~(BRKINT | IGNPAR | ISTRIP | IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR);
  t->c_iflag |= IGNBRK | INPCK | PARMRK;
  t->c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
  t->c_cflag |= CS8 | CREAD | CLOCAL;
  // Reads are non-blocking anyway; VMIN 1 makes an empty read EAGAIN rather than 0 bytes,
  // which stays the sign of a hang-up.
  t->c_cc[VMIN] = 1;
  t->c_cc[VTIME] = 0;
}

size_t ParmrkDecoder::Decode(std::span<const uint8_t> in, std::vector<uint8_t>* out) {
  size_t errors = 0;
  for (uint8_t b : in) {
    switch (state_) {
      case State::kData:
        if (b == 0xFF) {
          state_ = State::kAfterMark;
        } else {
          out->push_back(b);
        }
        break;
      case State::kAfterMark:
        if (b == 0x00) {
          state_ = State::kAfterMarkZero;
        } else {
          // 0xFF 0xFF is a data 0xFF; anything else cannot come from the line discipline, so
          // keep both bytes rather than lose data.
          out->push_back(0xFF);
          if (b != 0xFF) out->push_back(b);
          state_ = State::kData;
        }
        break;
      case State::kAfterMarkZero:
        // The damaged byte itself is dropped: its value is not to be trusted.
        ++errors;
        state_ = State::kData;
        break;
    }
  }
  return errors;
}

}  // namespace r7k
