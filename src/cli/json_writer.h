#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// A small streaming JSON writer for `--json` output. Every command follows one rule: the
// items it produced are printed under their item names, and tables as arrays of objects
// keyed by their column names.
namespace r7k::cli {

// The JSON string literal of `text`, quotes included. Valid UTF-8 passes through; every byte
// that is not part of a valid UTF-8 sequence is read as Latin-1 and written as \u00XX, so the
// output is always valid JSON whatever bytes a module holds.
std::string JsonQuote(std::string_view text);

class JsonWriter {
 public:
  // `indent` 0 writes everything on one line.
  explicit JsonWriter(std::ostream& out, int indent = 2) : out_(out), indent_(indent) {}

  void BeginObject() { Open('{'); }
  void EndObject() { Close('}'); }
  void BeginArray() { Open('['); }
  void EndArray() { Close(']'); }
  void Key(std::string_view key);
  void String(std::string_view value);
  void Number(int64_t value);
  void Bool(bool value);
  void Null();

 private:
  void Open(char bracket);
  void Close(char bracket);
  void BeforeValue();
  void NewLine();

  std::ostream& out_;
  int indent_;
  struct Level {
    bool empty = true;
  };
  std::vector<Level> levels_;
  bool after_key_ = false;
};

// A table cell: text or a number.
using Cell = std::variant<std::string, int64_t>;

struct Table {
  std::vector<std::string> columns;
  std::vector<std::vector<Cell>> rows;
};

// The table as an array of objects keyed by the column names.
void WriteJsonTable(JsonWriter& json, const Table& table);

// The cell's text as the display shows it.
std::string CellText(const Cell& cell);

}  // namespace r7k::cli
