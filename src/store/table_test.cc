#include "store/table.h"

#include <gtest/gtest.h>

#include <cstring>

namespace r7k {
namespace {

// A command-table row: the command with its "\r" and zero, then the repeat count and zero.
const char kReadRow[] =
    "read 00 00 00\r\0"
    "256";  // sizeof includes the final zero

TEST(Table, RowsAreCellsSplitAtZeroBytes) {
  TableHandle t = TableNew(2, 0);
  EXPECT_EQ(TableWriteRow(t, kRowAppend, kReadRow, sizeof kReadRow), 0);
  EXPECT_EQ(TableWriteRow(t, kRowAppend, "erase40\r\0", 10), 1);  // empty count = once
  EXPECT_EQ(TableRows(t), 2);
  EXPECT_EQ(TableCols(t), 2);
  EXPECT_EQ(TableCell(t, 0, 0), "read 00 00 00\r");
  EXPECT_EQ(TableCell(t, 0, 1), "256");
  EXPECT_EQ(TableCell(t, 1, 1), "");
  EXPECT_EQ(TableCell(t, 2, 0), std::nullopt);
  EXPECT_EQ(TableCell(t, 0, 2), std::nullopt);
  EXPECT_EQ(JoinRowCells(t->rows[0]),
            std::vector<std::uint8_t>(kReadRow, kReadRow + sizeof kReadRow));
  TableFree(t);
}

TEST(Table, NamesFormatRewriteAndWidening) {
  TableHandle t = TableNew(2, 0);
  EXPECT_EQ(TableWriteRow(t, kRowSetNames, std::vector<std::string>{"Name", "Size"}), kRowNames);
  EXPECT_EQ(TableWriteRow(t, kRowSetFormat, std::vector<std::string>{"%5s %-5s"}), kRowSetFormat);
  EXPECT_EQ(t->format, "%5s %-5s");
  TableWriteRow(t, kRowAppend, std::vector<std::string>{"T0001", "20"});
  EXPECT_EQ(TableWriteRow(t, 0, std::vector<std::string>{"T0002"}), 0);  // missing cells empty
  EXPECT_EQ(TableCell(t, 0, 1), "");
  EXPECT_EQ(TableWriteRow(t, 5, std::vector<std::string>{"x"}), -1);  // no such row
  // A row wider than the table keeps all its cells.
  TableWriteRow(t, kRowAppend, std::vector<std::string>{"a", "b", "c"});
  EXPECT_EQ(TableCols(t), 3);
  EXPECT_EQ(TableCell(t, 0, 2), "");
  EXPECT_EQ(TableCell(t, kRowNames, 0), "Name");
  EXPECT_TRUE(TableWriteField(t, 1, 1, "B"));
  EXPECT_EQ(TableCell(t, 1, 1), "B");
  EXPECT_FALSE(TableWriteField(t, 9, 0, "x"));
  TableFree(t);
}

TEST(Table, ReadCellStaysInsideTheBuffer) {
  TableHandle t = TableNew(1, 0);
  TableWriteRow(t, kRowAppend, std::vector<std::string>{"ttyUSB0"});
  char buf[4];
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(TableReadCell(t, 0, 0, buf, sizeof buf), 4u);
  EXPECT_STREQ(buf, "tty");
  char big[16];
  EXPECT_EQ(TableReadField(t, 0, 0, big, sizeof big), 8u);
  EXPECT_STREQ(big, "ttyUSB0");
  EXPECT_EQ(TableReadCell(t, 0, 0, big, 0), 0u);
  EXPECT_EQ(TableReadCell(nullptr, 0, 0, big, sizeof big), 0u);
  TableFree(t);
}

TEST(Table, SelectionFollowsRemovedRows) {
  TableHandle t = TableNew(1, 0);
  for (const char* name : {"a", "b", "c"})
    TableWriteRow(t, kRowAppend, std::vector<std::string>{name});
  EXPECT_LT(TableReadSelection(t), 0);
  EXPECT_TRUE(TableWriteSelection(t, 2));
  EXPECT_FALSE(TableWriteSelection(t, 3));
  EXPECT_TRUE(TableRemoveRow(t, 0));
  EXPECT_EQ(TableReadSelection(t), 1);  // still "c"
  EXPECT_TRUE(TableRemoveRow(t, 1));
  EXPECT_LT(TableReadSelection(t), 0);  // the selected row went
  EXPECT_FALSE(TableRemoveRow(t, 5));
  EXPECT_EQ(TableRows(t), 1);
  TableFree(t);
}

TEST(Table, AbbreviationAndExactMatchIgnoreCase) {
  TableHandle t = TableNew(2, 0);
  for (const char* name : {"Simple", "Com1", "Com10", "Com3"})
    TableWriteRow(t, kRowAppend, std::vector<std::string>{name, ""});
  EXPECT_EQ(TableMatchAbbrev(t, "com3", 4), 3);
  EXPECT_EQ(TableMatchAbbrev(t, "com1", 4), 1);  // the first match wins
  EXPECT_EQ(TableMatchAbbrev(t, "COM", 3, 0, 2), 2);
  EXPECT_EQ(TableMatchAbbrev(t, "com9", 4), -1);
  EXPECT_EQ(TableMatchAbbrev(t, "com3xyz", 4), 3);  // only `length` characters count
  EXPECT_EQ(TableFindField(t, "COM10", 5), 2);
  EXPECT_EQ(TableFindField(t, "Com", 3), -1);
  EXPECT_EQ(TableFindField(t, "x", 1, 7), -1);  // no such column
  TableFree(t);
}

TEST(Table, ClipboardGetsTabSeparatedTextWithNamesFirst) {
  TableHandle t = TableNew(2, 0);
  TableWriteRow(t, kRowSetNames, std::vector<std::string>{"Name", "Size"});
  TableWriteRow(t, kRowAppend, std::vector<std::string>{"T0001", "20"});
  TableWriteRow(t, kRowAppend, std::vector<std::string>{"P2000", ""});
  EXPECT_FALSE(TableCopyToClipboard(t, 4));  // nobody listens yet
  std::string clip;
  SetClipboardSink([&](const std::string& text) { clip = text; });
  EXPECT_TRUE(TableCopyToClipboard(t, 4));
  EXPECT_EQ(clip, "Name\tSize\r\nT0001\t20\r\nP2000\t\r\n");
  SetClipboardSink(nullptr);
  TableFree(t);
}

}  // namespace
}  // namespace r7k
