#include "app/frame.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "store/table.h"
#include "testing/file_modes.h"

namespace r7k {
namespace {

class Frame : public ::testing::Test {
 protected:
  void SetUp() override {
    TableHandle t = TableNew(3);
    TableWriteRow(t, kRowSetNames, std::vector<std::string>{"Valid", "Name", "Start"});
    TableWriteRow(t, kRowAppend, std::vector<std::string>{"FC", "T0001", "8000"});
    TableWriteRow(t, kRowAppend, std::vector<std::string>{"F0", "P2000", "8123"});
    TableWriteSelection(t, 1);
    StoreSetTable(store_, "Directory", t);
    TableFree(t);
  }
  void TearDown() override { StoreClose(store_); }
  StoreHandle store_ = StoreOpen("appmain:Perm");
};

TEST_F(Frame, SelectionIsPublishedAndNoSelectionDeletesTheItems) {
  ASSERT_TRUE(SelectionToItems(store_, "Directory"));
  EXPECT_EQ(StoreGetString(store_, "Valid"), "F0");
  EXPECT_EQ(StoreGetString(store_, "name"), "P2000");
  EXPECT_EQ(StoreGetString(store_, "Start"), "8123");
  StoreTableSetSelection(store_, "Directory", -1);
  ASSERT_TRUE(SelectionToItems(store_, "Directory"));
  EXPECT_EQ(StoreGetType(store_, "Valid"), kItemNone);
  EXPECT_EQ(StoreGetType(store_, "Name"), kItemNone);
  EXPECT_FALSE(SelectionToItems(store_, "NoSuchTable"));
}

TEST_F(Frame, DeleteTableRowRemovesOneRowAndIgnoresWhatIsMissing) {
  EXPECT_TRUE(DeleteTableRow(store_, "Directory", 0));
  EXPECT_EQ(StoreTableRowCount(store_, "Directory"), 1);
  EXPECT_EQ((*StoreTableGetRow(store_, "Directory", 0))[1], "P2000");
  EXPECT_FALSE(DeleteTableRow(store_, "Directory", 5));
  EXPECT_FALSE(DeleteTableRow(store_, "CmdTable", 0));
  EXPECT_EQ(StoreGetType(store_, "CmdTable"), kItemNone);
}

TEST(HexPairs, FirstDigitHighAndStaysInsideTheText) {
  EXPECT_EQ(HexPairsToBytes("01A4zz", 3), (std::vector<std::uint8_t>{0x01, 0xA4, 0xFF}));
  EXPECT_EQ(HexPairsToBytes("c2ad00", 2), (std::vector<std::uint8_t>{0xC2, 0xAD}));
  EXPECT_EQ(HexPairsToBytes("ABC", 4), (std::vector<std::uint8_t>{0xAB}));
}

TEST(TempPath, IsThePrivateFolder) {
  if (!PosixFileSystem()) GTEST_SKIP() << "links, mode bits and sysfs are POSIX's";
  const std::string path = LongTempPath();
  ASSERT_FALSE(path.empty());
  EXPECT_TRUE(std::filesystem::is_directory(path));
  EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms::owner_all);
}

}  // namespace
}  // namespace r7k
