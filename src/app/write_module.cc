#include "app/write_module.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "module/hex_text.h"
#include "store/item_store.h"
#include "support/ascii.h"

namespace r7k {
namespace {

constexpr char kStrNoSourceFile[] = "No file Card.Out!";
constexpr char kStrNoDataMemory[] = "Cannot get memory for card data!";
constexpr int kStrBadFileSize = 102;

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

void AppendRow(TableHandle table, const char* word, int block, const char* half,
               const std::string& count) {
  char text[64];
  std::snprintf(text, sizeof text, "%s %02x 00 %s\r", word, unsigned(block) & 0xFF, half);
  TableWriteRow(table, kRowAppend, std::vector<std::string>{text, count});
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
    AppendRow(table, w.c_str(), base_block + i, "00", "256");
    AppendRow(table, w.c_str(), base_block + i, "80", "256");
  }
  if (size % kWriteBlockSize != 0) {
    const std::string count = std::to_string(PartialPages(size));
    AppendRow(table, w.c_str(), base_block + whole, "00", count);
    AppendRow(table, w.c_str(), base_block + whole, "80", count);
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

std::optional<std::string> EraseAnswerMessage(std::string_view answer) {
  const size_t last_space = answer.rfind(' ');
  if (last_space == std::string_view::npos) return std::string("Severe failure!");
  // Line end and prompt.
  const std::string_view cut = answer.substr(0, answer.size() >= 3 ? answer.size() - 3 : 0);
  const std::string_view word = last_space < cut.size() ? cut.substr(last_space + 1) : "";
  if (EqualsIgnoringCase(word, "ok")) return std::nullopt;
  return std::string(cut);
}

namespace {

// A buffer for `size` source bytes, all 0xFF until they are filled in.
std::optional<WriteData> NewWriteData(uintmax_t size, WriteRefusal* refusal) {
  // An empty source would erase the module and write nothing: refuse it like an oversized one.
  if (size == 0 || size > kMaxWriteSize) {
    *refusal = {kStrBadFileSize, kMbIconStop};
    return std::nullopt;
  }
  WriteData data;
  data.size = uint32_t(size);
  data.buffer = PoolBuffer(WriteBufferLength(data.size));
  if (!data.buffer) {
    *refusal = {kStrNoDataMemory, kMbIconInformation};
    return std::nullopt;
  }
  std::fill(data.buffer.data(), data.buffer.data() + data.buffer.size(), 0xFF);
  return data;
}

}  // namespace

std::optional<WriteData> LoadWriteBytes(std::span<const uint8_t> bytes, WriteRefusal* refusal) {
  auto data = NewWriteData(bytes.size(), refusal);
  if (data) std::copy(bytes.begin(), bytes.end(), data->buffer.data());
  return data;
}

std::optional<WriteData> LoadWriteFile(const std::string& path, WriteRefusal* refusal) {
  std::error_code error;
  std::ifstream file(path, std::ios::binary);
  const auto length = std::filesystem::file_size(path, error);
  if (!file || error) {
    *refusal = {kStrNoSourceFile, kMbIconStop};
    return std::nullopt;
  }
  auto data = NewWriteData(length, refusal);
  if (!data) return std::nullopt;
  file.read(reinterpret_cast<char*>(data->buffer.data()), std::streamsize(data->size));
  // A file that shrank since it was sized cannot be written as it was.
  if (file.gcount() != std::streamsize(data->size)) {
    *refusal = {kStrNoSourceFile, kMbIconStop};
    return std::nullopt;
  }
  return data;
}

bool WriteTypeSupported(std::string_view type) { return EqualsIgnoringCase(type, kWriteType); }

}  // namespace r7k
