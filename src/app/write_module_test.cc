#include "app/write_module.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "store/item_store.h"

namespace r7k {
namespace {

std::vector<std::vector<std::string>> BlockRows(uint32_t size, int first = 0, int base = 0) {
  StoreHandle store = StoreOpen("WriteModuleTest");
  StoreSetNumeric(store, "CardSize", size);
  TableHandle table = TableNew(2);
  AppendBlockRows(store, table, first, base, "ws40");
  auto rows = table->rows;
  TableFree(table);
  StoreClose(store);
  return rows;
}

TEST(BlockRows, WholeBlocksGiveALowerAndAnUpperRowEach) {
  const auto rows = BlockRows(196608);
  ASSERT_EQ(rows.size(), 6u);
  const char* texts[] = {"ws40 00 00 00\r", "ws40 00 00 80\r", "ws40 01 00 00\r",
                         "ws40 01 00 80\r", "ws40 02 00 00\r", "ws40 02 00 80\r"};
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i], (std::vector<std::string>{texts[i], "256"})) << i;
    // Stored as the text, its zero, "256" and its zero: the text length + 5.
    EXPECT_EQ(JoinRowCells(rows[i]).size(), rows[i][0].size() + 5);
  }
  const auto full = BlockRows(524288);
  ASSERT_EQ(full.size(), 16u);
  EXPECT_EQ(full[15][0], "ws40 07 00 80\r");
  EXPECT_EQ(BlockRows(524288, 6, 0).size(), 4u);
  EXPECT_EQ(BlockRows(65536, 0, 0x10)[1][0], "ws40 10 00 80\r");
}

TEST(BlockRows, APartialBlockCountsThePagesItTouchesAndTheBufferCoversThem) {
  // 300 bytes into block 1: page 0 and page 1 (which holds bytes 256 to 299).
  auto rows = BlockRows(65536 + 300);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[2], (std::vector<std::string>{"ws40 01 00 00\r", "2"}));
  EXPECT_EQ(rows[3], (std::vector<std::string>{"ws40 01 00 80\r", "2"}));
  EXPECT_EQ(JoinRowCells(rows[3]).size(), rows[3][0].size() + 1 + 2);
  EXPECT_EQ(WriteBufferLength(65536 + 300), 65536u + 512);
  // A length on a page boundary still gets one page more, past the data.
  EXPECT_EQ(BlockRows(512)[0][1], "3");
  EXPECT_EQ(WriteBufferLength(512), 768u);
  EXPECT_EQ(WriteBufferLength(196608), 196608u);
  EXPECT_EQ(WriteBufferLength(1), 256u);
  EXPECT_TRUE(BlockRows(0).empty());
}

TEST(DataCommand, CarriesThe128BytesAtTheRowsAddressAsLowerCaseHex) {
  std::vector<uint8_t> data(196608);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i);
  data[0xAB] = 0xAB;
  // k = 0 of the upper-half row of block 00: file offsets 0x80 to 0xFF.
  const auto command = DataCommand("ws40 00 00 80\r", data);
  ASSERT_TRUE(command);
  ASSERT_EQ(command->size(), kDataCommandSize);
  EXPECT_EQ(command->substr(0, 22), "ws40 00 00 80 80 81 82");
  EXPECT_EQ(command->substr(13 + 3 * 0x2B, 3), " ab");
  EXPECT_EQ(command->substr(command->size() - 4), " ff\r");

  EXPECT_EQ(DataRowAddress("ws40 02 1f 80\r"), 0x21F80u);
  EXPECT_EQ(DataRowAddress("ws40 02 1F 80"), 0x21F80u);
  EXPECT_FALSE(DataRowAddress("ws40 02 1f"));
  // A piece that does not lie wholly in the data gives no command.
  EXPECT_TRUE(DataCommand("ws40 02 ff 80\r", data));
  EXPECT_FALSE(DataCommand("ws40 02 ff 80\r", std::span(data).first(0x2FFFF)));
  EXPECT_FALSE(DataCommand("ws40 03 00 00\r", data));
}

TEST(DataPieces, ErasedPiecesArePassedOverButARowsLastRepetitionIsSent) {
  std::vector<uint8_t> data(65536, 0xFF);
  // All erased: only k = ff goes out.
  auto piece = NextDataPiece("ws40 00 00 00\r", 256, 255, false, data);
  ASSERT_TRUE(piece);
  EXPECT_EQ(piece->k, 0xFFu);
  EXPECT_EQ(piece->row, "ws40 00 ff 00\r");
  EXPECT_EQ(piece->address, 0xFF00u);
  EXPECT_EQ(piece->counter, 0u);
  EXPECT_EQ(piece->skipped, 255u);

  // One byte of page 3's upper half is programmed: the lower-half row skips to the last
  // repetition, the upper-half row stops at page 3.
  data[0x3F0] = 0x12;
  piece = NextDataPiece("ws40 00 00 00\r", 256, 255, false, data);
  EXPECT_EQ(piece->k, 0xFFu);
  piece = NextDataPiece("ws40 00 00 80\r", 256, 255, false, data);
  EXPECT_EQ(piece->k, 3u);
  EXPECT_EQ(piece->row, "ws40 00 03 80\r");
  EXPECT_EQ(piece->address, 0x380u);
  EXPECT_EQ(piece->counter, 252u);
  EXPECT_EQ(piece->skipped, 3u);
  // Going on from there: the next piece is the last one.
  piece = NextDataPiece(piece->row, 256, 251, false, data);
  EXPECT_EQ(piece->k, 0xFFu);
  EXPECT_EQ(piece->skipped, 251u);

  // "debug": every piece is sent.
  piece = NextDataPiece("ws40 00 00 00\r", 256, 255, true, data);
  EXPECT_EQ(piece->k, 0u);
  EXPECT_EQ(piece->skipped, 0u);
  EXPECT_FALSE(NextDataPiece("ws40", 256, 255, true, data));
}

TEST(DataPieces, RowKinds) {
  EXPECT_TRUE(IsDataRow("ws40 00 00 00\r"));
  EXPECT_TRUE(IsDataRow("WS40 00 00 00\r"));
  EXPECT_FALSE(IsDataRow("led red\r"));
  EXPECT_TRUE(IsEraseText("erase40\r"));
  EXPECT_TRUE(IsEraseText("XRASE40\r"));
  EXPECT_FALSE(IsEraseText("eras"));
  EXPECT_TRUE(PieceIsErased(std::vector<uint8_t>(128, 0xFF), 0));
  EXPECT_FALSE(PieceIsErased(std::vector<uint8_t>(127, 0xFF), 0));
}

TEST(EraseAnswer, OnlyALastWordOkIsSilent) {
  EXPECT_EQ(EraseAnswerMessage("erase40\r\nErase ok\r\n?"), std::nullopt);
  EXPECT_EQ(EraseAnswerMessage("xrase40\r\nErase OK\r\n?"), std::nullopt);
  EXPECT_EQ(EraseAnswerMessage("erase40\r\nErase failed: no card\r\n?"),
            "erase40\r\nErase failed: no card");
  EXPECT_EQ(EraseAnswerMessage("erase40\r\nErase oki\r\n?"), "erase40\r\nErase oki");
  EXPECT_EQ(EraseAnswerMessage("erase40\r\nfailed\r\n?"), "Severe failure!");
  EXPECT_EQ(EraseAnswerMessage(""), "Severe failure!");
  // A space only in the line end: no word at all.
  EXPECT_EQ(EraseAnswerMessage("e \n?"), "e");
  EXPECT_EQ(EraseAnswerMessage(" ?"), "");
}

class WriteFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("r7k_write_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Make(size_t size, uint8_t fill = 0x5A) {
    const auto path = dir_ / ("m" + std::to_string(size) + ".r7v");
    std::ofstream(path, std::ios::binary) << std::string(size, char(fill));
    return path.string();
  }
  std::filesystem::path dir_;
};

TEST_F(WriteFile, SizesUpTo512KiBAreTakenAndPaddedWithErasedBytes) {
  WriteRefusal refusal;
  auto data = LoadWriteFile(Make(524288), &refusal);
  ASSERT_TRUE(data);
  EXPECT_EQ(data->size, 524288u);
  EXPECT_EQ(data->buffer.size(), 524288u);
  EXPECT_EQ(data->buffer.data()[524287], 0x5A);

  data = LoadWriteFile(Make(65536 + 300), &refusal);
  ASSERT_TRUE(data);
  EXPECT_EQ(data->size, 65836u);
  ASSERT_EQ(data->buffer.size(), 65536u + 512);
  EXPECT_EQ(data->buffer.data()[65835], 0x5A);
  EXPECT_EQ(data->buffer.data()[65836], 0xFF);
  EXPECT_EQ(data->buffer.data()[65536 + 511], 0xFF);

  const uint8_t bytes[] = {1, 2, 3};
  data = LoadWriteBytes(bytes, &refusal);
  ASSERT_TRUE(data);
  EXPECT_EQ(data->size, 3u);
  EXPECT_EQ(data->buffer.size(), 256u);
  EXPECT_EQ(data->buffer.data()[2], 3);
  EXPECT_EQ(data->buffer.data()[3], 0xFF);
}

TEST_F(WriteFile, OversizedEmptyAndMissingFilesAreRefused) {
  WriteRefusal refusal;
  EXPECT_FALSE(LoadWriteFile(Make(524289), &refusal));
  EXPECT_EQ(refusal.text.Resolve(), "Incompatilbel filesize");
  EXPECT_EQ(refusal.style, kMbIconStop);
  EXPECT_FALSE(LoadWriteFile(Make(0), &refusal));
  EXPECT_EQ(refusal.text.Resolve(), "Incompatilbel filesize");
  EXPECT_FALSE(LoadWriteFile((dir_ / "none.r7v").string(), &refusal));
  EXPECT_EQ(refusal.text.Resolve(), "No file Card.Out!");
  EXPECT_FALSE(LoadWriteFile(dir_.string(), &refusal));
  EXPECT_EQ(refusal.text.Resolve(), "No file Card.Out!");
  EXPECT_FALSE(LoadWriteBytes({}, &refusal));
}

TEST(WriteType, OnlyThe29F040IsWritten) {
  EXPECT_TRUE(WriteTypeSupported("29F040"));
  EXPECT_TRUE(WriteTypeSupported("29f040"));
  EXPECT_FALSE(WriteTypeSupported("29F080"));
  EXPECT_FALSE(WriteTypeSupported("29C040"));
  EXPECT_FALSE(WriteTypeSupported(""));
}

}  // namespace
}  // namespace r7k
