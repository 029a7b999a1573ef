#include "store/table.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>

#include "support/ascii.h"

namespace r7k {
namespace {

template <typename T>
auto RowOf(T* table, int row) -> decltype(&table->names) {
  if (!table) return nullptr;
  if (row == kRowNames) return &table->names;
  if (row < 0 || static_cast<std::size_t>(row) >= table->rows.size()) return nullptr;
  return &table->rows[row];
}

void FitRow(TableHandle table, std::vector<std::string>& cells) {
  table->cols = std::max(table->cols, cells.size());
  cells.resize(table->cols);
}

// The text at most `length` characters long, stopping at a zero as a C string would.
std::string_view Prefix(const char* text, std::size_t length) {
  if (!text) return {};
  return std::string_view(text, strnlen(text, length));
}

template <typename Match>
int FindRow(const Table* table, int column, int start_row, Match match) {
  if (!table || column < 0) return -1;
  for (std::size_t r = std::max(start_row, 0); r < table->rows.size(); ++r) {
    const auto& cells = table->rows[r];
    if (static_cast<std::size_t>(column) < cells.size() && match(cells[column]))
      return static_cast<int>(r);
  }
  return -1;
}

std::mutex clipboard_mutex;
std::function<void(const std::string&)>& ClipboardSink() {
  static auto* sink = new std::function<void(const std::string&)>;
  return *sink;
}

}  // namespace

std::vector<std::string> SplitRowCells(std::span<const std::uint8_t> data) {
  std::vector<std::string> cells;
  std::string cell;
  for (std::uint8_t byte : data) {
    if (byte == 0) {
      cells.push_back(std::move(cell));
      cell.clear();
    } else {
      cell.push_back(static_cast<char>(byte));
    }
  }
  if (!cell.empty()) cells.push_back(std::move(cell));
  return cells;
}

std::vector<std::uint8_t> JoinRowCells(const std::vector<std::string>& cells) {
  std::vector<std::uint8_t> out;
  for (const auto& cell : cells) {
    out.insert(out.end(), cell.begin(), cell.end());
    out.push_back(0);
  }
  return out;
}

TableHandle TableNew(int columns, int) {
  auto* table = new Table;
  table->cols = static_cast<std::size_t>(std::max(columns, 0));
  table->names.resize(table->cols);
  return table;
}

void TableFree(TableHandle table) { delete table; }

int TableWriteRow(TableHandle table, int row, const void* data, std::size_t size) {
  if (!table || (!data && size > 0)) return -1;
  return TableWriteRow(table, row,
                       SplitRowCells({static_cast<const std::uint8_t*>(data), data ? size : 0}));
}

int TableWriteRow(TableHandle table, int row, const std::vector<std::string>& cells) {
  if (!table) return -1;
  if (row == kRowSetFormat) {
    table->format = cells.empty() ? std::string() : cells.front();
    return row;
  }
  std::vector<std::string> fitted = cells;
  if (row == kRowAppend) {
    FitRow(table, fitted);
    table->rows.push_back(std::move(fitted));
    for (auto& r : table->rows) r.resize(table->cols);
    table->names.resize(table->cols);
    return static_cast<int>(table->rows.size() - 1);
  }
  if (row == kRowSetNames) row = kRowNames;
  std::vector<std::string>* target = RowOf(table, row);
  if (!target) return -1;
  FitRow(table, fitted);
  *target = std::move(fitted);
  for (auto& r : table->rows) r.resize(table->cols);
  table->names.resize(table->cols);
  return row;
}

std::optional<std::string> TableCell(const Table* table, int row, int column) {
  const auto* cells = RowOf(table, row);
  if (!cells || column < 0 || static_cast<std::size_t>(column) >= cells->size())
    return std::nullopt;
  return (*cells)[column];
}

std::size_t TableReadCell(const Table* table, int row, int column, char* buffer, std::size_t size) {
  auto cell = TableCell(table, row, column);
  if (!cell || !buffer || size == 0) return 0;
  const std::size_t n = std::min(cell->size(), size - 1);
  std::memcpy(buffer, cell->data(), n);
  buffer[n] = 0;
  return n + 1;
}

std::size_t TableReadField(const Table* table, int row, int column, char* buffer,
                           std::size_t size) {
  return TableReadCell(table, row, column, buffer, size);
}

bool TableWriteField(TableHandle table, int row, int column, std::string_view text) {
  auto* cells = RowOf(table, row);
  if (!cells || column < 0) return false;
  if (static_cast<std::size_t>(column) >= table->cols) {
    table->cols = column + 1;
    for (auto& r : table->rows) r.resize(table->cols);
    table->names.resize(table->cols);
  }
  (*cells)[column] = std::string(text);
  return true;
}

int TableRows(const Table* table) { return table ? static_cast<int>(table->rows.size()) : 0; }

int TableCols(const Table* table) { return table ? static_cast<int>(table->cols) : 0; }

int TableReadSelection(const Table* table) { return table ? table->selection : -1; }

bool TableWriteSelection(TableHandle table, int row) {
  if (!table || row >= TableRows(table)) return false;
  table->selection = row < 0 ? -1 : row;
  return true;
}

bool TableRemoveRow(TableHandle table, int row) {
  if (!table || row < 0 || row >= TableRows(table)) return false;
  table->rows.erase(table->rows.begin() + row);
  if (table->selection == row)
    table->selection = -1;
  else if (table->selection > row)
    --table->selection;
  return true;
}

int TableMatchAbbrev(const Table* table, const char* text, std::size_t length, int column,
                     int start_row) {
  const std::string_view wanted = Prefix(text, length);
  return FindRow(table, column, start_row, [&](const std::string& cell) {
    return cell.size() >= wanted.size() &&
           EqualsIgnoringCase(std::string_view(cell).substr(0, wanted.size()), wanted);
  });
}

int TableFindField(const Table* table, const char* text, std::size_t length, int column,
                   int start_row) {
  const std::string_view wanted = Prefix(text, length);
  return FindRow(table, column, start_row,
                 [&](const std::string& cell) { return EqualsIgnoringCase(cell, wanted); });
}

std::string TableToText(const Table* table) {
  if (!table) return {};
  std::string text;
  auto add_line = [&](const std::vector<std::string>& cells) {
    for (std::size_t i = 0; i < cells.size(); ++i) {
      if (i) text += '\t';
      text += cells[i];
    }
    text += "\r\n";
  };
  add_line(table->names);
  for (const auto& row : table->rows) add_line(row);
  return text;
}

bool TableCopyToClipboard(const Table* table, int) {
  if (!table) return false;
  std::function<void(const std::string&)> sink;
  {
    std::lock_guard lock(clipboard_mutex);
    sink = ClipboardSink();
  }
  if (!sink) return false;
  sink(TableToText(table));
  return true;
}

void SetClipboardSink(std::function<void(const std::string&)> sink) {
  std::lock_guard lock(clipboard_mutex);
  ClipboardSink() = std::move(sink);
}

}  // namespace r7k
