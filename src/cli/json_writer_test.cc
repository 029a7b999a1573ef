#include "cli/json_writer.h"

#include <gtest/gtest.h>

#include <sstream>

namespace r7k::cli {
namespace {

// What JSON requires is escaped; UTF-8 is kept, and stray bytes (code page text, sequences
// cut short, overlong or surrogate) are escaped as Latin-1.
TEST(JsonQuote, EscapesWhatJsonRequiresAndKeepsUtf8) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain", "\"plain\""},
      {"a\"b\\c", "\"a\\\"b\\\\c\""},
      {"\n\r\t\b\f", "\"\\n\\r\\t\\b\\f\""},
      {std::string("\x01\x1f\x7f", 3), "\"\\u0001\\u001f\x7f\""},
      {std::string("a\0b", 3), "\"a\\u0000b\""},
      {"", "\"\""},
      {"Gr\xC3\xB6\xC3\x9F"
       "e",
       "\"Gr\xC3\xB6\xC3\x9F"
       "e\""},
      {"\xE2\x82\xAC", "\"\xE2\x82\xAC\""},
      {"\xF0\x9F\x98\x80", "\"\xF0\x9F\x98\x80\""},
      {"Gr\xF6\xDF"
       "e",
       "\"Gr\\u00f6\\u00dfe\""},
      {"\xC3", "\"\\u00c3\""},
      {"\xC0\xAF", "\"\\u00c0\\u00af\""},
      {"\xED\xA0\x80", "\"\\u00ed\\u00a0\\u0080\""},
      {"\xFF", "\"\\u00ff\""},
  };
  for (const auto& [text, quoted] : cases) EXPECT_EQ(JsonQuote(text), quoted) << quoted;
}

TEST(JsonWriter, NestsWithCommasAndIndent) {
  std::ostringstream out;
  JsonWriter json(out);
  json.BeginObject();
  json.Key("Name");
  json.String("T0001");
  json.Key("Rows");
  json.BeginArray();
  json.Number(1);
  json.Number(-2);
  json.EndArray();
  json.Key("Empty");
  json.BeginArray();
  json.EndArray();
  json.Key("Ok");
  json.Bool(true);
  json.Key("None");
  json.Null();
  json.EndObject();
  EXPECT_EQ(out.str(),
            "{\n  \"Name\": \"T0001\",\n  \"Rows\": [\n    1,\n    -2\n  ],\n  \"Empty\": [],\n"
            "  \"Ok\": true,\n  \"None\": null\n}\n");
}

TEST(JsonWriter, TablesAreArraysOfObjectsKeyedByColumn) {
  Table table;
  table.columns = {"Valid", "Name", "Size"};
  table.rows.push_back({std::string("FC"), std::string("T0001"), int64_t{41}});
  table.rows.push_back({std::string("F0"), std::string("P\"1"), int64_t{-3}});
  std::ostringstream out;
  JsonWriter json(out, 0);
  WriteJsonTable(json, table);
  EXPECT_EQ(out.str(),
            "[{\"Valid\":\"FC\",\"Name\":\"T0001\",\"Size\":41},"
            "{\"Valid\":\"F0\",\"Name\":\"P\\\"1\",\"Size\":-3}]");
  EXPECT_EQ(CellText(table.rows[0][2]), "41");
  EXPECT_EQ(CellText(table.rows[1][1]), "P\"1");
  std::ostringstream empty;
  JsonWriter json2(empty, 0);
  WriteJsonTable(json2, Table{{"A"}, {}});
  EXPECT_EQ(empty.str(), "[]");
}

}  // namespace
}  // namespace r7k::cli
