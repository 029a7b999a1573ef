#include "app/write_module.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/module_ops_fixture.h"
#include "module/builtin_images.h"
#include "store/item_store.h"
#include "testing/scratch_folder.h"

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
  EXPECT_TRUE(PieceIsErased(std::vector<uint8_t>(128, 0xFF), 0));
  EXPECT_FALSE(PieceIsErased(std::vector<uint8_t>(127, 0xFF), 0));
  EXPECT_FALSE(PieceIsErased(std::vector<uint8_t>(128, 0xFF), 1));
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

// The message an erase answer gives, as "style: text"; "none" for no message.
std::string EraseMessage(std::string_view answer) {
  const auto message = EraseAnswerMessage(answer);
  return message ? std::to_string(message->style) + ": " + message->text.Resolve() : "none";
}

TEST(EraseAnswer, OnlyALastWordOkIsSilent) {
  EXPECT_EQ(EraseMessage("erase40\r\nErase ok\r\n?"), "none");
  EXPECT_EQ(EraseMessage("xrase40\r\nErase OK\r\n?"), "none");
  EXPECT_EQ(EraseMessage("erase40\r\nErase failed: no card\r\n?"),
            "48: erase40\r\nErase failed: no card");
  EXPECT_EQ(EraseMessage("erase40\r\nErase oki\r\n?"), "48: erase40\r\nErase oki");
  EXPECT_EQ(EraseMessage("erase40\r\nfailed\r\n?"), "64: Severe failure!");
  EXPECT_EQ(EraseMessage(""), "64: Severe failure!");
  // A space only in the line end: no word at all.
  EXPECT_EQ(EraseMessage("e \n?"), "48: e");
  EXPECT_EQ(EraseMessage(" ?"), "48: ");
}

class WriteFile : public ::testing::Test {
 protected:
  std::string Make(size_t size, uint8_t fill = 0x5A) {
    const auto path = dir_ / ("m" + std::to_string(size) + ".r7v");
    std::ofstream(path, std::ios::binary) << std::string(size, char(fill));
    return path.string();
  }
  ScratchDir scratch_;
  std::filesystem::path dir_ = scratch_.path();
};

TEST_F(WriteFile, SizesUpTo512KiBAreTakenAndPaddedWithErasedBytes) {
  WriteMessage refusal;
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
  WriteMessage refusal;
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

// --- Against the simulated box ----------------------------------------------------------------

using namespace std::chrono_literals;

// The write and the erase on the simulated box, with the demo module as the current virtual
// module and a box whose flash holds something else before.
class WriteModuleSim : public ModuleOpsTest {
 protected:
  void SetUp() override {
    ModuleOpsTest::SetUp();
    // Commands go out whole: the link's pauses between pieces only slow the tests.
    piece_size_ = 1024;
    options_.contents.assign(kMaxWriteSize, 0x00);
    demo_.assign(BuiltinImage("demo").begin(), BuiltinImage("demo").end());
    module_ = WriteFile("module.r7v", demo_);
    StoreSetString(app_, "CurrentVirtualModule", module_);
    StoreSetString(app_, "ModuleVersion", "R7kProg 2.10");
    for (const char* item :
         {"debug", "_Memory_", "NoCompletedMessage", "Type", "CmdTable", "ForceWrite"})
      StoreDeleteItem(app_, item);
  }

  std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    const auto path = env_.dir() / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path.string();
  }

  // Presses "Download" (or `button`) in the main dialog, lets the module check run, and waits
  // for the end of the operation. `watch` runs between the messages the dialog handles.
  void Download(const std::function<void(DialogUser&)>& watch = nullptr,
                const std::string& button = "Download") {
    view_.WhenDialogOpens("CheckModule", [](DialogUser& user) { user.Press("OK"); });
    view_.WhenDialogOpens("R7kProg", [this, watch, button](DialogUser& user) {
      ASSERT_EQ(user.State(button), FieldState::kFull);
      user.Press(button);
      EXPECT_TRUE(user.WaitUntil(
          [&] {
            if (watch) watch(user);
            return !ModuleOpRunning(app_);
          },
          30s));
      user.Press("Close");
    });
    DlgRunDialog(base_, "R7kProg", main_, app_);
  }
  // Presses "Erase" in the erase dialog and answers the question with `answer`.
  void Erase(int answer) {
    view_.WhenDialogOpens("CheckModule", [](DialogUser& user) { user.Press("OK"); });
    view_.AnswerNextMessage(answer);
    view_.WhenDialogOpens("EraseModule", [this](DialogUser& user) {
      user.Press("Erase");
      EXPECT_TRUE(user.WaitUntil([&] { return !ModuleOpRunning(app_); }, 30s));
      user.Close();
    });
    DlgRunDialog(base_, "EraseModule", main_, app_);
  }

  // Runs a write table on the erase dialog's handler, without the module check.
  void WriteTable() {
    view_.WhenDialogOpens("EraseModule", [&](DialogUser& user) {
      TableHandle table = NewCommandTable();
      AppendCommandRow(table, "led red\r");
      AppendCommandRow(table, "erase40\r");
      AppendCommandRow(table, "ws40 00 00 00\r", "256");
      AppendCommandRow(table, "led off\r");
      EXPECT_TRUE(StartModuleOp(user.dialog().FindField("EraseCard"), "hCardWrite", table, 10000));
      TableFree(table);
      EXPECT_TRUE(user.WaitUntil([&] { return !ModuleOpRunning(app_); }, 10s));
      user.Close();
    });
    DlgRunDialog(base_, "EraseModule", main_, app_);
  }

  // The message boxes of the module operations (the main dialog has its own on closing).
  std::vector<ShownMessage> ModuleMessages() const {
    std::vector<ShownMessage> shown;
    for (const auto& m : view_.messages())
      if (m.caption != "Vardex R7000 Programmer" && m.caption != "Dialog engine")
        shown.push_back(m);
    return shown;
  }
  uint64_t CommandsAfterCheck() const { return box_->CommandsReceived() - kCheckCommands; }
  // Data commands the write sends for `data`: every piece that is not all 0xFF, and the last
  // piece of each row.
  static uint64_t PiecesToSend(const std::vector<uint8_t>& data) {
    uint64_t pieces = 0;
    for (size_t page = 0; page < data.size() / 256; ++page)
      for (size_t half : {0, 128})
        if (page % 256 == 255 || !PieceIsErased(data, uint32_t(page * 256 + half))) ++pieces;
    return pieces;
  }

  static constexpr uint64_t kCheckCommands = 15;
  std::vector<uint8_t> demo_;
  std::string module_;
};

TEST_F(WriteModuleSim, TheDemoModuleIsWrittenSkippingErasedPiecesButEachRowsLast) {
  StartBox();
  Download();
  EXPECT_EQ(box_->Flash(), demo_);
  EXPECT_MESSAGE_SHOWN(view_, "Write Module", "Module operation completed.");
  EXPECT_EQ(ModuleMessages().size(), 1u);
  EXPECT_GE(view_.beeps(), 1);
  EXPECT_NO_USER_PROBLEMS(view_);
  EXPECT_EQ(StoreGetType(app_, "_pCardData_"), kItemNone);
  EXPECT_EQ(StoreGetNumeric(app_, "CardSize"), 524288);
  EXPECT_EQ(StoreTableGetRow(app_, "PESTable", 0), std::vector<std::string>{module_});

  // "led red", "erase40", the pieces, "led off".
  const uint64_t write_commands = 3 + PiecesToSend(demo_);
  EXPECT_LT(PiecesToSend(demo_), 4096u / 8);
  EXPECT_EQ(CommandsAfterCheck(), write_commands);
  const auto commands = BoxCommands();
  ASSERT_EQ(commands.size(), kCheckCommands + write_commands);
  EXPECT_EQ(commands.back(), "led off");
  // The last piece of a row of erased pieces goes out as k = ff.
  EXPECT_NE(std::find_if(commands.begin(), commands.end(),
                         [](const std::string& l) { return l.starts_with("ws40 07 ff 80 ff ff"); }),
            commands.end());

  ASSERT_FALSE(progress_.empty());
  const ModuleOpProgress last = progress_.back();
  EXPECT_EQ(last.operation, "Write Module");
  EXPECT_TRUE(last.finished);
  EXPECT_TRUE(last.ok);
  EXPECT_EQ(last.bytes_total, 524288u);
  EXPECT_EQ(last.bytes_done, 524288u);
  EXPECT_EQ(last.commands_total, write_commands);
  EXPECT_EQ(last.commands_done, last.commands_total);
}

TEST_F(WriteModuleSim, DownloadPressedDuringAnUploadStartsNothing) {
  StartBox();
  const auto back = env_.dir() / "back.r7v";
  StoreSetString(app_, "CurrentVirtualModule", back.string());
  bool pressed = false;
  Download(
      [&](DialogUser& user) {
        if (!pressed && user.Text("_Status").starts_with("binread 03")) {
          pressed = true;
          user.Press("Download");
        }
      },
      "Upload");
  EXPECT_TRUE(pressed);
  for (const auto& c : BoxCommands()) EXPECT_FALSE(c.starts_with("erase")) << c;
  std::ifstream in(back, std::ios::binary);
  EXPECT_EQ(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}), box_->Flash());
}

TEST_F(WriteModuleSim, WithDebugEveryPieceIsSentAndAPartialBlockIsPaddedWithErasedBytes) {
  // NoCompletedMessage silences the completion once.
  StoreSetNumeric(app_, "NoCompletedMessage", 1);
  // One block and 300 bytes: the rows of block 01 send pages 0 and 1.
  std::vector<uint8_t> data(65536 + 300, 0xFF);
  for (size_t i = 0; i < 256; ++i) data[i] = uint8_t(i);
  data[65536 + 299] = 0x42;
  StoreSetString(app_, "CurrentVirtualModule", WriteFile("part.r7v", data));
  StoreSetNumeric(app_, "debug", 1);
  StoreSetNumeric(app_, "ForceWrite", 1);
  StartBox();
  Download();
  EXPECT_EQ(CommandsAfterCheck(), 3u + 512 + 4);
  const auto flash = box_->Flash();
  EXPECT_TRUE(std::equal(data.begin(), data.end(), flash.begin()));
  EXPECT_TRUE(
      std::all_of(flash.begin() + data.size(), flash.end(), [](uint8_t b) { return b == 0xFF; }));
  for (const auto& m : ModuleMessages()) EXPECT_NE(m.caption, "Write Module") << m.text;
  EXPECT_EQ(StoreGetType(app_, "NoCompletedMessage"), kItemNone);
}

TEST_F(WriteModuleSim, StopKeepsTheMainDialogOpenAndSaysWhatTheModuleNowHolds) {
  StartBox();
  // Stopped as soon as the write reports its start: "led red" is out, the erase is not.
  bool stopped = false;
  bool open_after = false;
  auto stop_at = [&](uint64_t bytes) {
    stopped = false;
    SetModuleOpProgressHook([&, bytes](const ModuleOpProgress& p) {
      if (!stopped && p.operation == "Write Module" && !p.finished && p.bytes_done >= bytes)
        stopped = CancelModuleOp();
    });
  };
  auto watch = [&](DialogUser& user) { open_after = user.IsOpen(); };
  stop_at(0);
  Download(watch);
  EXPECT_TRUE(open_after);
  EXPECT_MESSAGE_SHOWN(view_, "Write Module",
                       "Stopped before the module was erased: the module in the box is unchanged.");
  EXPECT_EQ(box_->Flash(), options_.contents);
  EXPECT_EQ(BoxCommands().back(), "led off");

  stop_at(65536);
  Download(watch);
  EXPECT_TRUE(open_after);
  EXPECT_MESSAGE_SHOWN(view_, "Write Module",
                       "Stopped: the module in the box is now erased or partly written. Write it "
                       "again before you use it.");
  EXPECT_NE(box_->Flash(), demo_);
  EXPECT_EQ(BoxCommands().back(), "led off");
}

TEST_F(WriteModuleSim, AWriteFromMemoryKeepsTheMainDialogOpen) {
  StartBox();
  StoreSetNumeric(app_, "_Memory_", 1);
  bool open_after = false;
  view_.WhenDialogOpens("R7kProg", [&](DialogUser& user) {
    // The image of a read, as the read's handler field holds it while the read runs.
    ModuleOpContext* read = ModuleOpContextOf(user.dialog().FindField("hReadModule"));
    ASSERT_NE(read, nullptr);
    read->data = PoolBuffer(demo_.size());
    std::copy(demo_.begin(), demo_.end(), read->data.data());
    read->data_length = uint32_t(demo_.size());
    StoreSetNumeric(app_, "_carddata_", reinterpret_cast<intptr_t>(read));
    StoreSetString(app_, "Type", "29F040");
    user.Press("Download");
    EXPECT_TRUE(user.WaitUntil([&] { return !ModuleOpRunning(app_); }, 30s));
    open_after = user.IsOpen();
    user.Close();
  });
  DlgRunDialog(base_, "R7kProg", main_, app_);
  EXPECT_TRUE(open_after);
  EXPECT_EQ(box_->Flash(), demo_);
  EXPECT_MESSAGE_SHOWN(view_, "Write Module", "Module operation completed.");
}

TEST_F(WriteModuleSim, EraseAsksFirstAndAnOkAnswerShowsNothingButTheCompletion) {
  StartBox();
  Erase(kIdCancel);
  EXPECT_MESSAGE_SHOWN(view_, "Erase Module", "Are you sure?");
  EXPECT_EQ(view_.messages().back().type, kMbOkCancel | kMbDefaultButton2);
  EXPECT_EQ(CommandsAfterCheck(), 0u);

  Erase(kIdOk);
  const auto flash = box_->Flash();
  EXPECT_TRUE(std::all_of(flash.begin(), flash.end(), [](uint8_t b) { return b == 0xFF; }));
  const auto commands = BoxCommands();
  ASSERT_GE(commands.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(commands.end() - 3, commands.end()),
            (std::vector<std::string>{"led red", "erase40", "led off"}));
  // The question twice, the completion once: the answer "Erase ok" itself says nothing.
  const auto shown = ModuleMessages();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[2].caption, "Write Module");
  EXPECT_EQ(shown[2].text, "Module operation completed.");
  EXPECT_EQ(LastProgress().operation, "Erase Module");
  EXPECT_TRUE(LastProgress().ok);
}

TEST_F(WriteModuleSim, ACorruptedEchoSendsThePieceAgain) {
  AddFault("corrupt-every=20");  // past the module check
  StartBox();
  Download();
  EXPECT_EQ(box_->Flash(), demo_);
  EXPECT_GT(box_->FaultCounts()["corrupt-every"], 0);
  EXPECT_GT(CommandsAfterCheck(), 3 + PiecesToSend(demo_));
  // Every piece the box got twice in a row was a retry of a damaged answer.
  const auto commands = BoxCommands();
  int repeated = 0;
  for (size_t i = 1; i < commands.size(); ++i)
    if (commands[i].starts_with("ws40") && commands[i] == commands[i - 1]) ++repeated;
  EXPECT_GT(repeated, 0);
  EXPECT_MESSAGE_SHOWN(view_, "Write Module", "Module operation completed.");
}

TEST_F(WriteModuleSim, ASlowEraseIsWaitedForWithAWordInTheStatus) {
  // The erase outlasts the shortened wait; an answer to a piece (however busy the machine)
  // does not.
  AddFault("slow-erase=2500");
  SetModuleOpLimitsForTesting({.max_limit_ms = 1000});
  StartBox();
  bool too_long = false;
  Download([&](DialogUser& user) { too_long |= user.Text("_Status") == "Erase taking too long"; });
  EXPECT_TRUE(too_long);
  EXPECT_EQ(box_->Flash(), demo_);
  EXPECT_MESSAGE_SHOWN(view_, "Write Module", "Module operation completed.");
  EXPECT_EQ(ModuleMessages().size(), 1u);
  EXPECT_GE(view_.beeps(), 2);
}

TEST_F(WriteModuleSim, ASilentBoxStopsTheWriteAfterTheRetries) {
  AddFault("silence-after=20");  // the check, "led red", the erase and three pieces
  SetModuleOpLimitsForTesting({.max_retries = 2});
  StartBox();
  Download();
  EXPECT_EQ(StoreGetType(app_, "CmdTable"), kItemNone);
  EXPECT_EQ(StoreGetType(app_, "_pCardData_"), kItemNone);
  const auto shown = ModuleMessages();
  // One "R7P Timeout!!!!" for the run of resends, then the stop.
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, "R7P Timeout!!!!");
  EXPECT_EQ(shown[1].caption, "Write Module");
  // The message names the row and address of the piece, not its 398 characters.
  const auto commands = BoxCommands();
  ASSERT_EQ(commands.size(), 22u) << "nothing more after the stop";
  EXPECT_EQ(shown[1].text, "The box gave no proper answer to \"" + commands[21].substr(0, 13) +
                               "\" 2 times in a row; the operation was stopped.");
  EXPECT_EQ(commands[20], commands[21]);
  EXPECT_TRUE(LastProgress().finished);
  EXPECT_FALSE(LastProgress().ok);
}

TEST_F(WriteModuleSim, ABoxThatHangsUpEndsTheWriteWithATimeOut) {
  AddFault("hangup-after=20");
  SetModuleOpLimitsForTesting({.max_limit_ms = 1000});
  StartBox();
  Download();
  EXPECT_EQ(StoreGetType(app_, "CmdTable"), kItemNone);
  EXPECT_MESSAGE_SHOWN(view_, "Write Module", "The communication process timed out.");
  for (const auto& m : ModuleMessages()) EXPECT_NE(m.text, "Module operation completed.");
  EXPECT_FALSE(LastProgress().ok);
}

TEST_F(WriteModuleSim, AFailedEraseStopsTheWriteBeforeAnyPieceAndStillTurnsTheLedOff) {
  options_.box.card_present = false;  // the box answers "Erase failed: no card"
  StartBox();
  WriteTable();
  EXPECT_EQ(BoxCommands(), (std::vector<std::string>{"led red", "erase40", "led off"}));
  ASSERT_EQ(view_.messages().size(), 1u);
  EXPECT_EQ(view_.messages()[0].caption, "");
  EXPECT_EQ(view_.messages()[0].text, "erase40\r\nErase failed: no card");
  EXPECT_EQ(view_.messages()[0].type, kMbIconExclamation);
  EXPECT_TRUE(LastProgress().finished);
  EXPECT_FALSE(LastProgress().ok);
}

TEST_F(WriteModuleSim, RefusalsComeBeforeAnythingIsWritten) {
  struct Case {
    std::string name;
    std::function<void()> set_up;
    std::string message;
    uint64_t commands;  // what the box received for it: 15, the module check alone
  };
  const std::string shorter = WriteFile("short.r7v", std::vector<uint8_t>(1000, 0x11));
  const std::vector<Case> cases = {
      {"memory without a read image",
       [&] {
         StoreSetNumeric(app_, "_Memory_", 1);
         StoreSetString(app_, "Type", "29F040");
       },
       "There is no module image in memory to write; read a module first.", 0},
      {"oversized",
       [&] {
         StoreDeleteItem(app_, "_Memory_");
         StoreSetString(app_, "CurrentVirtualModule",
                        WriteFile("big.r7v", std::vector<uint8_t>(524289, 0x11)));
       },
       "Incompatilbel filesize", kCheckCommands},
      {"no virtual module", [&] { StoreSetString(app_, "CurrentVirtualModule", shorter); },
       "Cannot load file " + shorter + ", incorrect filesize", kCheckCommands},
  };
  StartBox();
  uint64_t received = 0;
  size_t shown = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.set_up();
    Download();
    EXPECT_EQ(ModuleMessages().size(), ++shown);
    EXPECT_EQ(ModuleMessages().back().text, c.message);
    EXPECT_EQ(box_->CommandsReceived(), received += c.commands);
    EXPECT_EQ(StoreGetType(app_, "CmdTable"), kItemNone);
    EXPECT_EQ(box_->Flash(), options_.contents);
  }
  StoreSetNumeric(app_, "ForceWrite", 1);
  Download();
  EXPECT_EQ(box_->Flash()[999], 0x11);
}

TEST_F(WriteModuleSim, AnotherChipIsRefused) {
  options_.box.chip = "20F100";  // an SGS M29F080A
  StartBox();
  Download();
  EXPECT_MESSAGE_SHOWN(view_, "Write Module", "Module not supported by the R7kProg firmware.");
  EXPECT_EQ(CommandsAfterCheck(), 0u);
  EXPECT_EQ(box_->Flash(), options_.contents);
}

}  // namespace
}  // namespace r7k
