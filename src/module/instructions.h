#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "module/technique.h"

// A technique in words: its header fields as the technique view shows them, and its
// instruction stream as rows of code, instruction name and comment. The names and comments
// are the console's own German (with English additions), kept in code page 1252 and handed
// out as UTF-8.
namespace r7k {

// The header of a technique record, ready for display.
struct TechniqueHeaderView {
  int size = 0;  // from the BCD size code: (10 × d1 + d0) × 10 − 89
  int number = 0;
  std::string byte3;  // flag lines, each ending in "\r\n"
  std::string byte4;
  std::string handle;        // "up", "at right", ...
  std::string handle_state;  // "hidden" and/or " + 0x%02x"
  int one_time_passes = 0;
  int pattern_passes = 0;
  int width = 0;
  int height = 0;
  bool operator==(const TechniqueHeaderView&) const = default;
};

// Nothing when the record is shorter than the header.
std::optional<TechniqueHeaderView> DescribeTechniqueHeader(std::span<const uint8_t> record);

// The flag lines of header byte 3 and byte 4: one line per set bit, highest bit first.
std::string TechniqueFlags1Text(uint8_t flags);
std::string TechniqueFlags2Text(uint8_t flags);
// The handle position (bits 4 to 6) and state (bit 7, bits 0 to 3) of header byte 6.
std::string HandleText(uint8_t handle);
std::string HandleStateText(uint8_t handle);

inline constexpr std::array<const char*, 3> kInstructionColumns = {"Code", "Instr", "Comment"};

struct InstructionRow {
  std::string code;
  std::string instr;
  std::string comment;
  bool operator==(const InstructionRow&) const = default;
};

struct InstructionListing {
  std::vector<InstructionRow> rows;
  // False when the record ends before the end code; the last row then says so, with the
  // bytes of an instruction cut short in its "Code" column.
  bool ended = false;
};

// One row per instruction from `from` up to and including the end code 0xEF. Never reads
// beyond the record.
InstructionListing DecodeInstructionRows(std::span<const uint8_t> record,
                                         size_t from = kTechniqueHeaderSize);

// A row as the instruction page lays it out: "%-10s %-10s %s".
std::string FormatInstructionRow(const InstructionRow& row);

// Windows code page 1252 text as UTF-8.
std::string Cp1252ToUtf8(std::string_view text);

}  // namespace r7k
