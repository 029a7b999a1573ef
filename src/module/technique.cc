#include "module/technique.h"

#include "module/address.h"

namespace r7k {

std::optional<TechniqueHeader> ReadTechniqueHeader(std::span<const uint8_t> record) {
  if (record.size() < kTechniqueHeaderSize) return std::nullopt;
  TechniqueHeader h;
  h.size_code = record[0];
  h.number = ReadBe16(record, 1);
  h.flags1 = record[3];
  h.flags2 = record[4];
  h.handle = record[6];
  h.one_time_passes = record[7];
  h.pattern_passes = record[8];
  h.width = record[9];
  h.height = record[10];
  return h;
}

int TechniqueSizeFromCode(uint8_t code) { return ((code >> 4) * 10 + (code & 0x0F)) * 10 - 89; }

std::optional<uint8_t> TechniqueSizeCode(size_t size) {
  if (size < kTechniqueHeaderSize || size % 10 != 1) return std::nullopt;
  const size_t value = (size - kTechniqueHeaderSize) / 10 + 10;
  if (value > 99) return std::nullopt;
  return static_cast<uint8_t>((value / 10) << 4 | value % 10);
}

size_t InstructionLength(uint8_t code) {
  if (code < 0x80) return kKnittingPassSize;
  switch (code) {
    case 0x91:
    case 0x92:
    case 0x93:
    case 0x94:
    case 0x95:
    case 0x96:
    case 0xA8:
    case 0xA9:
    case 0xB0:
    case 0xB1:
    case 0xB2: return 2;
    default: return 1;
  }
}

InstructionList ListInstructions(std::span<const uint8_t> record, size_t from) {
  InstructionList list;
  size_t pos = from;
  while (pos < record.size()) {
    const size_t length = InstructionLength(record[pos]);
    if (length > record.size() - pos) break;
    list.instructions.push_back({pos, record.subspan(pos, length)});
    pos += length;
    if (record[pos - length] == kEndCode) {
      list.ended = true;
      break;
    }
  }
  list.end = pos < record.size() ? pos : record.size();
  return list;
}

std::optional<TechniqueLayout> ReadTechniqueLayout(std::span<const uint8_t> record) {
  const auto header = ReadTechniqueHeader(record);
  if (!header) return std::nullopt;
  const InstructionList list = ListInstructions(record);
  if (!list.ended) return std::nullopt;
  const size_t cells = size_t{header->width} * header->height;
  if (record.size() - list.end < 2 * cells) return std::nullopt;
  TechniqueLayout layout;
  layout.header = *header;
  layout.stream_end = list.end;
  layout.front = record.subspan(list.end, cells);
  layout.back = record.subspan(list.end + cells, cells);
  layout.rest = record.subspan(list.end + 2 * cells);
  return layout;
}

}  // namespace r7k
