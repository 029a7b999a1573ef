#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The technique record: an 11-byte header, an instruction stream closed by the end code
// 0xEF, then the front and back cell grids (height rows of width cells each).
namespace r7k {

inline constexpr size_t kTechniqueHeaderSize = 11;
inline constexpr uint8_t kEndCode = 0xEF;
inline constexpr size_t kKnittingPassSize = 3;

struct TechniqueHeader {
  uint8_t size_code = 0;
  uint16_t number = 0;
  uint8_t flags1 = 0;  // byte 3
  uint8_t flags2 = 0;  // byte 4
  uint8_t handle = 0;  // bit 7 hidden, bits 4-6 position, bits 0-3 extra value
  uint8_t one_time_passes = 0;
  uint8_t pattern_passes = 0;
  uint8_t width = 0;
  uint8_t height = 0;
};

// Nothing when the record is shorter than the header.
std::optional<TechniqueHeader> ReadTechniqueHeader(std::span<const uint8_t> record);

// The record size a size code stands for: its two BCD digits read as a number, × 10 − 89.
int TechniqueSizeFromCode(uint8_t code);

// The size code of a record of `size` bytes, or nothing when no code fits (size below 11,
// not 11 + 10k, or beyond two BCD digits).
std::optional<uint8_t> TechniqueSizeCode(size_t size);

// Length of the instruction that starts with `code`: 3 for a knitting pass (below 0x80), 2 for
// a code with an operand byte, else 1.
size_t InstructionLength(uint8_t code);

struct Instruction {
  size_t offset = 0;               // record offset of the first byte
  std::span<const uint8_t> bytes;  // the whole instruction
};

struct InstructionList {
  std::vector<Instruction> instructions;
  bool ended = false;  // the end code was reached within the record
  size_t end = 0;      // record offset just past the last whole instruction
};

// Splits the stream that begins at `from` into instructions up to and including the end
// code; an operand or pass byte of 0xEF does not end it. Stops at the record's end when an
// instruction would run past it.
InstructionList ListInstructions(std::span<const uint8_t> record,
                                 size_t from = kTechniqueHeaderSize);

struct TechniqueLayout {
  TechniqueHeader header;
  size_t stream_end = 0;           // record offset just past the end code
  std::span<const uint8_t> front;  // width × height cells, row after row
  std::span<const uint8_t> back;
  std::span<const uint8_t> rest;  // trailing bytes, not interpreted
};

// Header, stream and grids of a record; nothing when the header is incomplete, the stream
// does not reach its end code, or the grids do not fit behind it.
std::optional<TechniqueLayout> ReadTechniqueLayout(std::span<const uint8_t> record);

}  // namespace r7k
