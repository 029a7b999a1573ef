#include "module/pattern.h"

#include "module/address.h"
#include "module/pattern_runs.h"

namespace r7k {

std::optional<PatternHeader> ReadPatternHeader(std::span<const uint8_t> record) {
  if (record.size() < kPatternHeaderSize) return std::nullopt;
  PatternHeader h;
  h.colours = record[0];
  h.width = ReadBe16(record, 1);
  h.rows = ReadBe16(record, 3);
  h.reserved = ReadBe16(record, 5);
  return h;
}

std::optional<std::vector<std::span<const uint8_t>>> ReadPatternRows(
    std::span<const uint8_t> record) {
  const auto header = ReadPatternHeader(record);
  if (!header) return std::nullopt;
  std::vector<std::span<const uint8_t>> rows;
  rows.reserve(header->rows);
  size_t pos = kPatternHeaderSize;
  for (size_t row = 0; row < header->rows; ++row) {
    if (record.size() - pos < 2) return std::nullopt;
    const size_t length = ReadBe16(record, pos);
    pos += 2;
    if (length > kMaxPatternRowBytes || length > record.size() - pos) return std::nullopt;
    rows.push_back(record.subspan(pos, length));
    pos += length;
  }
  return rows;
}

std::optional<PatternGrid> DecodePattern(std::span<const uint8_t> record) {
  const auto header = ReadPatternHeader(record);
  if (!header || header->reserved != 0) return std::nullopt;
  const auto rows = ReadPatternRows(record);
  if (!rows) return std::nullopt;
  PatternGrid grid;
  grid.width = header->width;
  grid.rows = header->rows;
  grid.cells.assign(size_t{grid.width} * grid.rows, 0);
  for (size_t r = 0; r < rows->size(); ++r) {
    const std::span<uint8_t> out(grid.cells.data() + r * grid.width, grid.width);
    const auto used = DecodeRowRuns((*rows)[r], out);
    if (!used || *used != (*rows)[r].size()) return std::nullopt;
  }
  return grid;
}

uint64_t MinPatternRecordSize(uint64_t width, uint64_t rows) {
  const uint64_t runs = (width + kMaxRunCount - 1) / kMaxRunCount;
  return kPatternHeaderSize + rows * (2 + 2 * runs + 1);
}

std::optional<size_t> FirstLongPatternRow(const PatternGrid& grid) {
  if (grid.cells.size() != size_t{grid.width} * grid.rows) return std::nullopt;
  for (size_t r = 0; r < grid.rows; ++r)
    if (EncodeRowRuns(grid.Row(r)).size() > kMaxPatternRowBytes) return r;
  return std::nullopt;
}

std::optional<std::vector<uint8_t>> EncodePattern(uint8_t colours, const PatternGrid& grid) {
  if (grid.cells.size() != size_t{grid.width} * grid.rows) return std::nullopt;
  std::vector<uint8_t> record(kPatternHeaderSize, 0);
  record[0] = colours;
  WriteBe16(record, 1, grid.width);
  WriteBe16(record, 3, grid.rows);
  for (size_t r = 0; r < grid.rows; ++r) {
    const std::vector<uint8_t> runs = EncodeRowRuns(grid.Row(r));
    if (runs.size() > kMaxPatternRowBytes) return std::nullopt;
    const size_t pos = record.size();
    record.resize(pos + 2);
    WriteBe16(record, pos, static_cast<uint16_t>(runs.size()));
    record.insert(record.end(), runs.begin(), runs.end());
  }
  return record;
}

}  // namespace r7k
