#include "sim/box_core.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <optional>

namespace r7k {
namespace {

constexpr std::string_view kEnd = "\r\n?";

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::optional<int> HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return std::nullopt;
}

// Two hex digits at text[at], at text[at + 1].
std::optional<uint8_t> HexByte(std::string_view text, size_t at) {
  if (at + 2 > text.size()) return std::nullopt;
  auto hi = HexDigit(text[at]);
  auto lo = HexDigit(text[at + 1]);
  if (!hi || !lo) return std::nullopt;
  return uint8_t(*hi * 16 + *lo);
}

// " HH HH HH" right after a command word of `word_size` characters: the module address, the
// first byte being the 64 KiB block.
std::optional<uint32_t> AddressAfter(std::string_view command, size_t word_size) {
  uint32_t address = 0;
  for (size_t i = 0; i < 3; ++i) {
    size_t at = word_size + 3 * i;
    if (at >= command.size() || command[at] != ' ') return std::nullopt;
    auto b = HexByte(command, at + 1);
    if (!b) return std::nullopt;
    address = address << 8 | *b;
  }
  return address;
}

std::string Echo(std::string_view command) { return std::string(command); }

BoxReply Plain(std::string_view command, std::string_view answer) {
  BoxReply r;
  r.bytes = Echo(command);
  if (!answer.empty()) {
    r.bytes += "\r\n";
    r.bytes += answer;
  }
  r.bytes += kEnd;
  return r;
}

BoxReply Error(std::string_view command, std::string_view why) {
  return Plain(command, "Error: " + std::string(why));
}

}  // namespace

std::vector<std::string> CommandSplitter::Feed(std::span<const uint8_t> bytes) {
  std::vector<std::string> done;
  for (uint8_t b : bytes) {
    if (b == '\r') {
      done.push_back(std::move(line_));
      line_.clear();
    } else if ((b == '\n' || b == 0) && line_.empty()) {
      continue;
    } else if (line_.size() < kMaxCommand) {
      line_.push_back(char(b));
    }
  }
  return done;
}

BoxReply BoxCore::Execute(std::string_view command) {
  size_t space = command.find(' ');
  std::string word = Lower(command.substr(0, space));

  // Commands with an address have one fixed form, so the echo and every field stand where the
  // host looks for them.
  auto addressed = [&](size_t count) -> std::optional<uint32_t> {
    if (command.size() != word.size() + 9) return std::nullopt;
    auto address = AddressAfter(command, word.size());
    if (!address || !FlashImage::InRange(*address, count)) return std::nullopt;
    return address;
  };

  if (command.empty()) return Plain(command, "");
  if (word == "version" && command.size() == word.size()) return Plain(command, config_.version);
  if (word == "model" && command.size() == word.size()) {
    // The digit stands at offset 22: 7 characters of echo and line end, then 15 of text.
    return Plain(command, "Model revision " + std::to_string(config_.revision));
  }
  if (word == "bits" && command.size() == word.size()) {
    return Plain(command, config_.sixteen_bit ? "16" : "08");
  }
  if (word == "cd" && command.size() == word.size()) {
    return Plain(command, config_.card_present ? "Present" : "Not Present");
  }
  if (word == "id2" && command.size() == word.size()) {
    BoxReply r;
    r.bytes = Echo(command) + (config_.card_present ? config_.chip : std::string("FFFFFF"));
    r.bytes += kEnd;
    return r;
  }
  if (word == "rep") {
    if (command.size() != 12 || !AddressAfter(command, 3)) return Error(command, "bad address");
    uint32_t reg = *AddressAfter(command, 3);
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04X", reg == 2 ? config_.rep_value : 0u);
    BoxReply r;
    r.bytes = Echo(command) + digits;
    r.bytes += kEnd;
    return r;
  }
  if (word == "read") {
    auto address = addressed(256);
    if (!address) return Error(command, "bad address");
    return TextRead(command, *address);
  }
  if (word == "binread" || word == "b16read") {
    auto address = addressed(256);
    if (!address) return Error(command, "bad address");
    return BinaryRead(command, *address);
  }
  if (word == "ws40") return WritePiece(command);
  if (word == "erase40" && command.size() == word.size()) return Erase(command);
  if (word == "led") return Plain(command, "");
  if (word.size() == 4 && word.starts_with("set")) return Plain(command, "");
  return Error(command, "unknown command");
}

BoxReply BoxCore::TextRead(std::string_view command, uint32_t address) {
  // Echo (13), line end, "ADDR xxxxxx" and line end: the data lines begin at offset 28.
  char head[24];
  std::snprintf(head, sizeof head, "\r\nADDR %06X\r\n", unsigned(address));
  BoxReply r;
  r.bytes = Echo(command) + head;
  std::span<const uint8_t> data = flash_->Read(address, 256);
  for (size_t line = 0; line < 16; ++line) {
    for (size_t i = 0; i < 16; ++i) {
      char hex[3];
      uint8_t b = config_.card_present ? data[line * 16 + i] : 0xFF;
      std::snprintf(hex, sizeof hex, "%02X", b);
      r.bytes += hex;
    }
    r.bytes += "\r\n";
  }
  r.bytes += '?';
  return r;
}

BoxReply BoxCore::BinaryRead(std::string_view command, uint32_t address) {
  BoxReply r;
  r.bytes = Echo(command);
  std::span<const uint8_t> data = flash_->Read(address, 256);
  for (uint8_t b : data) r.bytes.push_back(char(config_.card_present ? b : 0xFF));
  r.bytes += kEnd;
  return r;
}

BoxReply BoxCore::WritePiece(std::string_view command) {
  // "ws40 BB PP LL" and 128 times " hh".
  constexpr size_t kHead = 13;
  if (command.size() != kHead + 3 * kPieceSize) return Error(command, "bad data length");
  auto address = AddressAfter(command, 4);
  if (!address || !FlashImage::InRange(*address, kPieceSize)) {
    return Error(command, "bad address");
  }
  std::array<uint8_t, kPieceSize> data;
  for (size_t i = 0; i < kPieceSize; ++i) {
    size_t at = kHead + 3 * i;
    auto b = command[at] == ' ' ? HexByte(command, at + 1) : std::nullopt;
    if (!b) return Error(command, "bad data");
    data[i] = *b;
  }
  if (!config_.card_present) return Error(command, "no card");
  flash_->Program(*address, data);
  BoxReply r = Plain(command, "");
  r.flash_changed = true;
  return r;
}

BoxReply BoxCore::Erase(std::string_view command) {
  BoxReply r;
  r.is_erase = true;
  r.bytes = Echo(command) + "\r\n";
  r.work_at = r.bytes.size();
  if (!config_.card_present) {
    r.bytes += "Erase failed: no card";
  } else {
    flash_->Erase();
    r.flash_changed = true;
    r.work_ms = config_.erase_ms;
    r.bytes += "Erase ok";
  }
  r.bytes += kEnd;
  return r;
}

}  // namespace r7k
