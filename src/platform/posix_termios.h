#pragma once

#include <termios.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace r7k {

// Rates the serial code knows, as numbers and as termios speed codes.
std::optional<speed_t> BaudToSpeed(uint32_t baud);
std::optional<uint32_t> SpeedToBaud(speed_t speed);

// Raw 8N1 without flow control or break handling; line errors marked in the input (PARMRK),
// so that a valid 0xFF arrives as 0xFF 0xFF and a damaged byte as 0xFF 0x00 X.
void MakeRawTermios(termios* t);

// Undoes the PARMRK marking of received bytes. Keeps its state between calls, so a marking
// split across two reads is still understood.
class ParmrkDecoder {
 public:
  // Appends the received data bytes to *out; returns how many line errors the input marked.
  size_t Decode(std::span<const uint8_t> in, std::vector<uint8_t>* out);
  void Reset() { state_ = State::kData; }

 private:
  enum class State { kData, kAfterMark, kAfterMarkZero };
  State state_ = State::kData;
};

}  // namespace r7k
