#include "module/cut.h"

#include <algorithm>

#include "module/address.h"
#include "module/pattern.h"

namespace r7k {

CutFile ConvertPatternToCut(std::span<const uint8_t> record) {
  const auto header = ReadPatternHeader(record);
  if (!header) return {kCutTooFewRows, {}};

  // Walk the rows first: their lengths decide the used part of the record.
  struct Row {
    size_t pos;  // offset of the length field
    size_t length;
  };
  std::vector<Row> rows;
  size_t pos = kPatternHeaderSize;
  while (rows.size() < header->rows && record.size() - pos >= 2) {
    if (record[pos] > 2) return {kCutBadRowLength, {}};
    const size_t length = ReadBe16(record, pos);
    if (length > record.size() - pos - 2) break;  // the last row runs past the record
    rows.push_back({pos, length});
    pos += 2 + length;
  }
  if (rows.size() < header->rows) return {kCutTooFewRows, {}};

  CutFile cut;
  cut.bytes.resize(pos - 1);
  cut.bytes[0] = static_cast<uint8_t>(header->width);
  cut.bytes[1] = static_cast<uint8_t>(header->width >> 8);
  cut.bytes[2] = static_cast<uint8_t>(header->rows);
  cut.bytes[3] = static_cast<uint8_t>(header->rows >> 8);
  cut.bytes[4] = record[5];
  cut.bytes[5] = record[6];
  // The first row ends at the file's end; each later row ends where the previous one began.
  size_t end = cut.bytes.size();
  for (const Row& row : rows) {
    if (row.length > kMaxPatternRowBytes) return {kCutRowTooLong, {}};
    const size_t begin = end - 2 - row.length;
    cut.bytes[begin] = static_cast<uint8_t>(row.length);
    cut.bytes[begin + 1] = static_cast<uint8_t>(row.length >> 8);
    std::copy_n(record.begin() + row.pos + 2, row.length, cut.bytes.begin() + begin + 2);
    end = begin;
  }
  return cut;
}

}  // namespace r7k
