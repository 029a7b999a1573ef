#include "sim/box_core.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace r7k {
namespace {

// Text of an answer from `from` up to two characters before its first "?", as the host cuts it.
std::string Field(const std::string& answer, size_t from) {
  size_t prompt = answer.find('?');
  if (prompt == std::string::npos || prompt < from + 2) return "";
  return answer.substr(from, prompt - 2 - from);
}

std::string WriteCommand(const char* address, uint8_t first, uint8_t step) {
  std::string command = std::string("ws40 ") + address;
  for (int i = 0; i < 128; ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02x", uint8_t(first + i * step));
    command += hex;
  }
  return command;
}

class BoxCoreTest : public ::testing::Test {
 protected:
  BoxCoreTest() {
    std::vector<uint8_t> bytes(FlashImage::kSize);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7 + (i >> 8));
    bytes[0x30105] = '?';  // a prompt character inside binary data
    flash_ = *FlashImage::FromBytes(std::move(bytes));
  }
  BoxCore Box(BoxConfig config = {}) { return BoxCore(config, &flash_); }

  FlashImage flash_;
};

TEST_F(BoxCoreTest, IdentificationFieldsStandAtTheirOffsets) {
  BoxCore box = Box();
  std::string version = box.Execute("version").bytes;
  EXPECT_EQ(version, "version\r\nR7kProg 2.10\r\n?");
  EXPECT_EQ(Field(version, 9), "R7kProg 2.10");

  std::string model = box.Execute("model").bytes;
  ASSERT_GT(model.size(), 22u);
  EXPECT_EQ(model[22], '2');
  EXPECT_EQ(Field(model, 22), "2");

  EXPECT_EQ(box.Execute("bits").bytes.substr(6, 2), "08");
  std::string rep = box.Execute("rep 00 00 02").bytes;
  EXPECT_EQ(rep, "rep 00 00 020210\r\n?");
  EXPECT_EQ(box.Execute("rep 00 00 01").bytes.substr(12, 4), "0000");
  EXPECT_EQ(Field(box.Execute("cd").bytes, 4), "Present");
  EXPECT_EQ(box.Execute("id2").bytes, "id220E200\r\n?");
  EXPECT_EQ(box.Execute("ID2").bytes.substr(0, 3), "ID2");  // echo as received

  BoxConfig other;
  other.revision = 0;
  other.sixteen_bit = true;
  other.card_present = false;
  other.chip = "01A400";
  BoxCore old = Box(other);
  EXPECT_EQ(old.Execute("model").bytes[22], '0');
  EXPECT_EQ(old.Execute("bits").bytes.substr(6, 2), "16");
  EXPECT_EQ(Field(old.Execute("cd").bytes, 4), "Not Present");
  EXPECT_EQ(old.Execute("id2").bytes, "id2FFFFFF\r\n?");
}

TEST_F(BoxCoreTest, TextReadHasSixteenLinesFromOffset28) {
  std::string answer = Box().Execute("read 03 01 00").bytes;
  ASSERT_EQ(answer.size(), BoxCore::kTextReadAnswerSize);
  EXPECT_EQ(answer.substr(0, 13), "read 03 01 00");
  EXPECT_EQ(answer[572], '?');
  EXPECT_EQ(answer.find('?'), 572u);
  for (size_t line = 0; line < 16; ++line) {
    size_t at = 28 + 34 * line;
    EXPECT_EQ(answer.substr(at + 32, 2), "\r\n");
    for (size_t i = 0; i < 16; ++i) {
      char hex[3];
      std::snprintf(hex, sizeof hex, "%02X", flash_.bytes()[0x30100 + line * 16 + i]);
      ASSERT_EQ(answer.substr(at + 2 * i, 2), hex) << line << " " << i;
    }
  }
}

TEST_F(BoxCoreTest, BinaryReadIsExactly275BytesEvenWithPromptInData) {
  BoxCore box = Box();
  for (const char* command : {"binread 03 01 00", "b16read 03 01 00"}) {
    std::string answer = box.Execute(command).bytes;
    ASSERT_EQ(answer.size(), BoxCore::kBinaryAnswerSize) << command;
    EXPECT_EQ(answer.substr(0, 16), command);
    EXPECT_EQ(answer[16 + 5], '?');
    EXPECT_EQ(answer.substr(272), "\r\n?");
    EXPECT_TRUE(std::equal(answer.begin() + 16, answer.begin() + 272,
                           flash_.bytes().begin() + 0x30100,
                           [](char a, uint8_t b) { return uint8_t(a) == b; }));
  }
  // The last page of the chip is readable, the next is not.
  EXPECT_EQ(box.Execute("binread 07 ff 00").bytes.size(), BoxCore::kBinaryAnswerSize);
}

TEST_F(BoxCoreTest, BadAddressesAndHexGiveAnErrorLine) {
  BoxCore box = Box();
  for (const char* command :
       {"binread 08 00 00", "binread 07 ff 01", "read ff ff ff", "binread 0g 00 00",
        "binread 00 00", "read  00 00 00", "read 00 00 00 00", "rep 00 00 0x"}) {
    std::string answer = box.Execute(command).bytes;
    EXPECT_EQ(answer, std::string(command) + "\r\nError: bad address\r\n?") << command;
  }
}

TEST_F(BoxCoreTest, WritePieceEchoesEverythingAndOnlyClearsBits) {
  BoxCore box = Box();
  ASSERT_TRUE(box.Execute("erase40").bytes.ends_with(" ok\r\n?"));
  std::string first = WriteCommand("02 1f 80", 0xF0, 0);
  BoxReply reply = box.Execute(first);
  EXPECT_EQ(reply.bytes, first + "\r\n?");
  EXPECT_EQ(first.size() + 1, 398u);  // as the host sends it, with the "\r"
  EXPECT_TRUE(reply.flash_changed);
  EXPECT_EQ(flash_.bytes()[0x21F80], 0xF0);
  EXPECT_EQ(flash_.bytes()[0x21FFF], 0xF0);
  EXPECT_EQ(flash_.bytes()[0x21F7F], 0xFF);
  EXPECT_EQ(flash_.bytes()[0x22000], 0xFF);

  // Without an erase, programming 0x0F over 0xF0 leaves 0x00: the write is visibly wrong.
  box.Execute(WriteCommand("02 1f 80", 0x0F, 0));
  EXPECT_EQ(flash_.bytes()[0x21F80], 0x00);
  box.Execute("erase40");
  box.Execute(WriteCommand("02 1f 80", 0x0F, 0));
  EXPECT_EQ(flash_.bytes()[0x21F80], 0x0F);

  // Upper-case hex is data as well; each byte lands at its own address.
  box.Execute("erase40");
  std::string ramp = WriteCommand("00 00 00", 0, 1);
  for (char& c : ramp) c = char(std::toupper(static_cast<unsigned char>(c)));
  box.Execute(ramp);
  for (int i = 0; i < 128; ++i) ASSERT_EQ(flash_.bytes()[i], i);
}

TEST_F(BoxCoreTest, BrokenWritePiecesChangeNothing) {
  BoxCore box = Box();
  box.Execute("erase40");
  std::string short_piece = WriteCommand("00 00 00", 0, 0);
  short_piece.resize(short_piece.size() - 3);
  std::string bad_hex = WriteCommand("00 00 00", 0, 0);
  bad_hex[20] = 'z';
  std::string beyond = WriteCommand("08 00 00", 0, 0);
  std::string straddling = WriteCommand("07 ff ff", 0, 0);
  EXPECT_TRUE(box.Execute(short_piece).bytes.ends_with("\r\nError: bad data length\r\n?"));
  EXPECT_TRUE(box.Execute(bad_hex).bytes.ends_with("\r\nError: bad data\r\n?"));
  EXPECT_TRUE(box.Execute(beyond).bytes.ends_with("\r\nError: bad address\r\n?"));
  EXPECT_TRUE(box.Execute(straddling).bytes.ends_with("\r\nError: bad address\r\n?"));
  EXPECT_EQ(flash_.bytes(), std::vector<uint8_t>(FlashImage::kSize, 0xFF));
}

TEST_F(BoxCoreTest, EraseAnswersOkAfterItsWork) {
  BoxConfig config;
  config.erase_ms = 250;
  BoxCore box = Box(config);
  BoxReply reply = box.Execute("erase40");
  EXPECT_EQ(reply.bytes, "erase40\r\nErase ok\r\n?");
  EXPECT_EQ(reply.work_at, 9u);  // the echo goes out before the work
  EXPECT_EQ(reply.work_ms, 250);
  EXPECT_TRUE(reply.is_erase);
  EXPECT_EQ(flash_.bytes(), std::vector<uint8_t>(FlashImage::kSize, 0xFF));

  config.card_present = false;
  FlashImage untouched;
  untouched.Program(0, std::vector<uint8_t>{0});
  BoxCore empty(config, &untouched);
  std::string answer = empty.Execute("erase40").bytes;
  EXPECT_EQ(answer, "erase40\r\nErase failed: no card\r\n?");
  EXPECT_EQ(untouched.bytes()[0], 0);
}

TEST_F(BoxCoreTest, LedsSettingsAndUnknownCommands) {
  BoxCore box = Box();
  EXPECT_EQ(box.Execute("led green").bytes, "led green\r\n?");
  EXPECT_EQ(box.Execute("led off").bytes, "led off\r\n?");
  EXPECT_EQ(box.Execute("seta 0").bytes, "seta 0\r\n?");
  EXPECT_EQ(box.Execute("setc 0").bytes, "setc 0\r\n?");
  EXPECT_EQ(box.Execute("xyzzy").bytes, "xyzzy\r\nError: unknown command\r\n?");
  EXPECT_EQ(box.Execute("version 2").bytes, "version 2\r\nError: unknown command\r\n?");
  EXPECT_EQ(box.Execute("").bytes, "\r\n?");
}

TEST(CommandSplitterTest, CommandsEndAtCarriageReturn) {
  CommandSplitter s;
  auto feed = [&](std::string_view text) {
    return s.Feed(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  };
  EXPECT_TRUE(feed("vers").empty());
  EXPECT_EQ(feed("ion\r\nled off\rbi"), (std::vector<std::string>{"version", "led off"}));
  EXPECT_EQ(feed("ts\r"), std::vector<std::string>{"bits"});
  std::string flood(5000, 'x');
  auto cut = feed(flood + "\r");
  ASSERT_EQ(cut.size(), 1u);
  EXPECT_EQ(cut[0].size(), CommandSplitter::kMaxCommand);
}

}  // namespace
}  // namespace r7k
