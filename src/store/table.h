#pragma once

// Tables: rows of column texts. A row travels as its cells, each ending in a zero byte, one
// after the other ("read 00 00 00\r\0" "256\0"). Row -1 is the column-name row; data rows count
// from 0. A table from TableNew or StoreGetTable belongs to the caller, who frees it with
// TableFree.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace r7k {

constexpr int kRowNames = -1;      // the column-name row
constexpr int kRowAppend = -4;     // TableWriteRow: append a row
constexpr int kRowSetNames = -5;   // TableWriteRow: set the column names
constexpr int kRowSetFormat = -6;  // TableWriteRow: set the display format of the rows

struct Table {
  std::size_t cols = 0;
  std::vector<std::string> names;
  std::vector<std::vector<std::string>> rows;
  std::string format;  // display format of a row, such as "%5s %-5s %-6s %-6s %-5s"
  int selection = -1;
};
using TableHandle = Table*;

// Splits a row's bytes into cells at zero bytes; bytes after the last zero form a last cell.
std::vector<std::string> SplitRowCells(std::span<const std::uint8_t> data);
// Joins cells back into row bytes, each cell with its zero byte.
std::vector<std::uint8_t> JoinRowCells(const std::vector<std::string>& cells);

TableHandle TableNew(int columns, int reserved = 0);
void TableFree(TableHandle table);

// Returns the row written (the new row's index for kRowAppend), or -1 when the row does not
// exist or the arguments are bad. A row with more cells than the table has columns widens the
// table, so nothing written is lost.
int TableWriteRow(TableHandle table, int row, const void* data, std::size_t size);
int TableWriteRow(TableHandle table, int row, const std::vector<std::string>& cells);

// Copies a cell's text with its zero into the buffer (cut to fit, always terminated) and
// returns the bytes delivered; 0 when the cell does not exist.
std::size_t TableReadCell(const Table* table, int row, int column, char* buffer, std::size_t size);
std::size_t TableReadField(const Table* table, int row, int column, char* buffer, std::size_t size);
std::optional<std::string> TableCell(const Table* table, int row, int column);
bool TableWriteField(TableHandle table, int row, int column, std::string_view text);

int TableRows(const Table* table);
int TableCols(const Table* table);
int TableReadSelection(const Table* table);            // negative when none
bool TableWriteSelection(TableHandle table, int row);  // a negative row clears it
bool TableRemoveRow(TableHandle table, int row);

// First row from `start_row` on whose cell in `column` begins with the first `length`
// characters of `text` (any letter case); -1 when none.
int TableMatchAbbrev(const Table* table, const char* text, std::size_t length, int column = 0,
                     int start_row = 0);
// First row from `start_row` on whose cell in `column` equals the first `length` characters
// of `text` (any letter case); -1 when none.
int TableFindField(const Table* table, const char* text, std::size_t length, int column = 0,
                   int start_row = 0);

// The table as text: the column names, then each row; cells separated by tabs, lines ending in
// "\r\n". This is what TableCopyToClipboard hands to the clipboard.
std::string TableToText(const Table* table);
// Puts TableToText on the clipboard through the sink the view installed; false without a sink.
bool TableCopyToClipboard(const Table* table, int format = 4);
// The view sets where clipboard text goes; an empty function removes it.
void SetClipboardSink(std::function<void(const std::string&)> sink);

}  // namespace r7k
