#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/flash_image.h"

namespace r7k {

// What the simulated box says about itself.
struct BoxConfig {
  std::string version = "R7kProg 2.10";
  int revision = 2;          // model revision 0 to 3; 2 and up reads in binary
  bool sixteen_bit = false;  // "bits" answers 16
  bool card_present = true;
  std::string chip = "20E200";  // maker, device and sector-0 status as hex digits (a 29F040)
  uint16_t rep_value = 0x0210;  // the word "rep 00 00 02" gives
  int erase_ms = 100;           // how long "erase40" works
};

// The answer to one command: echo, answer, prompt. When the box has work to do (an erase), it
// sends the first work_at bytes, works for work_ms, then sends the rest.
struct BoxReply {
  std::string bytes;
  size_t work_at = 0;
  int work_ms = 0;
  bool flash_changed = false;
  bool is_erase = false;
};

// Cuts received bytes into commands at each "\r". Line feeds and zero bytes between commands
// are skipped; a line longer than any command is cut at kMaxCommand bytes.
class CommandSplitter {
 public:
  static constexpr size_t kMaxCommand = 1024;
  std::vector<std::string> Feed(std::span<const uint8_t> bytes);

 private:
  std::string line_;
};

// The box firmware: executes one command (without its "\r") against the flash and composes the
// answer with every field at the offsets the host reads.
class BoxCore {
 public:
  static constexpr size_t kBinaryAnswerSize = 275;
  static constexpr size_t kTextReadAnswerSize = 573;
  static constexpr size_t kPieceSize = 128;

  BoxCore(BoxConfig config, FlashImage* flash) : config_(std::move(config)), flash_(flash) {}

  BoxReply Execute(std::string_view command);
  const BoxConfig& config() const { return config_; }

 private:
  BoxReply TextRead(std::string_view command, uint32_t address);
  BoxReply BinaryRead(std::string_view command, uint32_t address);
  BoxReply WritePiece(std::string_view command);
  BoxReply Erase(std::string_view command);

  BoxConfig config_;
  FlashImage* flash_;
};

}  // namespace r7k
