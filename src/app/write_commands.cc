#include "app/write_commands.h"

#include <algorithm>
#include <cstdio>

#include "app/module_ops.h"
#include "module/hex_text.h"
#include "store/item_store.h"
#include "support/ascii.h"

namespace r7k {
namespace {

void AppendRow(TableHandle table, const std::string& word, int block, const char* half,
               const std::string& count) {
  char address[16];
  std::snprintf(address, sizeof address, " %02x 00 %s\r", unsigned(block) & 0xFF, half);
  AppendCommandRow(table, word + address, count);
}

// Pages of a partial last block that the block rows send: one more than the whole pages.
uint32_t PartialPages(uint32_t size) { return (size / kWritePageSize) % 256 + 1; }

}  // namespace

void AppendBlockRows(StoreHandle app_store, TableHandle table, int first_block, int base_block,
                     std::string_view word) {
  const int64_t stored = StoreGetNumeric(app_store, "CardSize");
  const uint32_t size = uint32_t(std::clamp<int64_t>(stored, 0, kMaxWriteSize));
  const std::string w(word);
  const int whole = int(size / kWriteBlockSize);
  for (int i = first_block; i < whole; ++i) {
    AppendRow(table, w, base_block + i, "00", "256");
    AppendRow(table, w, base_block + i, "80", "256");
  }
  if (size % kWriteBlockSize != 0) {
    const std::string count = std::to_string(PartialPages(size));
    AppendRow(table, w, base_block + whole, "00", count);
    AppendRow(table, w, base_block + whole, "80", count);
  }
}

uint32_t WriteBufferLength(uint32_t size) {
  if (size % kWriteBlockSize == 0) return size;
  return size / kWriteBlockSize * kWriteBlockSize + PartialPages(size) * kWritePageSize;
}

bool PieceIsErased(std::span<const uint8_t> data, uint32_t address) {
  if (address > data.size() || data.size() - address < kWritePieceSize) return false;
  const auto piece = data.subspan(address, kWritePieceSize);
  return std::all_of(piece.begin(), piece.end(), [](uint8_t b) { return b == 0xFF; });
}

std::optional<uint32_t> DataRowAddress(std::string_view row) {
  if (row.size() < 13) return std::nullopt;
  uint32_t address = 0;
  for (size_t at : {5, 6, 8, 9, 11, 12}) address = address * 16 + HexNibble(row[at]);
  return address;
}

bool PatchDataRowIndex(std::string& row, uint32_t k) {
  if (row.size() < 13) return false;
  char digits[3];
  std::snprintf(digits, sizeof digits, "%02x", unsigned(k) & 0xFF);
  row[8] = digits[0];
  row[9] = digits[1];
  return true;
}

std::optional<std::string> DataCommand(std::string_view row, std::span<const uint8_t> data) {
  const auto address = DataRowAddress(row);
  if (!address || *address > data.size() || data.size() - *address < kWritePieceSize) {
    return std::nullopt;
  }
  std::string command(row.substr(0, row.find('\r')));
  command.reserve(command.size() + 3 * kWritePieceSize + 1);
  static constexpr char kDigits[] = "0123456789abcdef";
  for (uint8_t b : data.subspan(*address, kWritePieceSize)) {
    command += ' ';
    command += kDigits[b >> 4];
    command += kDigits[b & 15];
  }
  command += '\r';
  return command;
}

std::optional<DataPiece> NextDataPiece(std::string_view row, uint32_t count, uint32_t counter,
                                       bool send_erased, std::span<const uint8_t> data) {
  DataPiece piece;
  piece.row = std::string(row);
  piece.counter = counter;
  // A row without a count is sent once, as repetition 0.
  const uint32_t total = std::max<uint32_t>(count, 1);
  if (piece.counter >= total) piece.counter = total - 1;
  for (;;) {
    piece.k = total - piece.counter - 1;
    if (!PatchDataRowIndex(piece.row, piece.k)) return std::nullopt;
    const auto address = DataRowAddress(piece.row);
    if (!address) return std::nullopt;
    piece.address = *address;
    if (piece.counter == 0 || send_erased || !PieceIsErased(data, piece.address)) return piece;
    --piece.counter;
    ++piece.skipped;
  }
}

bool IsDataRow(std::string_view row) { return StartsWithIgnoringCase(row, "ws"); }

bool IsEraseText(std::string_view text) {
  return StartsWithIgnoringCase(text, "erase") || StartsWithIgnoringCase(text, "xrase");
}

}  // namespace r7k
