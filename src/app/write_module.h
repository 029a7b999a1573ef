#pragma once

// Writing a virtual module into the module in the box ("Download") and erasing it: the block
// rows of the command table, the 128-byte data commands with their echo, the skipping of
// erased pieces and the check of the erase answer.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "app/module_ops.h"
#include "app/strings.h"
#include "engine/dialog_engine.h"
#include "store/table.h"
#include "support/pool_heap.h"

namespace r7k {

inline constexpr uint32_t kMaxWriteSize = 524288;  // the largest module the box takes
inline constexpr uint32_t kWriteBlockSize = 65536;
inline constexpr uint32_t kWritePageSize = 256;
inline constexpr uint32_t kWritePieceSize = 128;
inline constexpr size_t kDataCommandSize = 398;  // "ws40 BB PP LL", 128 × " hh", "\r"
inline constexpr char kWriteType[] = "29F040";   // the only chip the box writes and erases

// Appends to `table` the rows that program "CardSize" bytes of `app_store`: for each whole
// 64 KiB block B a lower-half row "WORD BB 00 00\r" and an upper-half row "WORD BB 00 80\r",
// each repeated "256" times (B = base_block + i, i from first_block); a partial last block
// gets the same two rows with the count of pages it touches.
void AppendBlockRows(StoreHandle app_store, TableHandle table, int first_block, int base_block,
                     std::string_view word);

// The bytes the block rows of `size` address: `size` itself when it is a multiple of 64 KiB,
// else up to the end of the last page of the partial block (which may be a whole page past the
// data). The write buffer is this long, the bytes past the data 0xFF.
uint32_t WriteBufferLength(uint32_t size);

// Whether the 128 bytes at `address` are all 0xFF (what the erase left there). A piece that
// does not lie inside `data` is not erased.
bool PieceIsErased(std::span<const uint8_t> data, uint32_t address);

// The module address a data row addresses: the six hexadecimal digits at characters 5, 6, 8,
// 9, 11 and 12 ("ws40 02 1f 80" → 0x21f80); nullopt for a row too short to hold them.
std::optional<uint32_t> DataRowAddress(std::string_view row);

// Patches the repetition index k into characters 8 and 9 of a data row; false when the row is
// too short.
bool PatchDataRowIndex(std::string& row, uint32_t k);

// The data command for a data row (k already patched in): the row up to its "\r", then
// " %02x" for each of the 128 bytes at the row's address in `data`, then "\r". nullopt when the
// address is unreadable or the piece does not lie inside `data`.
std::optional<std::string> DataCommand(std::string_view row, std::span<const uint8_t> data);

// The piece of a data row to send next. `count` is the row's repeat count, `counter` the
// repetitions left after this one (the stepping's counter). Unless `send_erased`, pieces that
// are all 0xFF are passed over while later repetitions remain; the row's last repetition is
// always sent, so every row gets at least one answer.
struct DataPiece {
  std::string row;        // the row text with k patched in
  uint32_t k = 0;
  uint32_t address = 0;
  uint32_t counter = 0;   // repetitions left after this piece
  uint32_t skipped = 0;   // erased pieces passed over
};
std::optional<DataPiece> NextDataPiece(std::string_view row, uint32_t count, uint32_t counter,
                                       bool send_erased, std::span<const uint8_t> data);

// Whether a command table row is a data row ("ws...", any letter case).
bool IsDataRow(std::string_view row);
// Whether an answer or command is an erase ("erase" or "xrase", any letter case).
bool IsEraseText(std::string_view text);

// A message for the user: its text and style.
struct WriteMessage {
  TextRef text = 0;
  int style = kMbIconStop;
};

// What the erase answer tells the user: nothing when its last word (before the line end and
// prompt) is "ok" in any letter case; "Severe failure!" (information) when it has no space at
// all; else the answer itself, without its line end and prompt (exclamation).
std::optional<WriteMessage> EraseAnswerMessage(std::string_view answer);

// The module data to write, as the starting callback hands it on: the file's bytes, padded
// with 0xFF to WriteBufferLength(size).
struct WriteData {
  PoolBuffer buffer;
  uint32_t size = 0;  // "CardSize": the bytes of the source
};

// Reads a virtual module file for writing (refusals go under the caption "Write Module").
// Refuses a file that cannot be opened ("No file
// Card.Out!"), an empty one or one over 524,288 bytes (text 102), and a buffer that cannot be
// had ("Cannot get memory for card data!").
std::optional<WriteData> LoadWriteFile(const std::string& path, WriteMessage* refusal);
// The same for bytes already in memory (the image of the last read).
std::optional<WriteData> LoadWriteBytes(std::span<const uint8_t> bytes, WriteMessage* refusal);

// Whether the box can write and erase a module of this "Type" (any letter case).
bool WriteTypeSupported(std::string_view type);

// The stepping of the write and the erase ("hWriteModule", "hCardWrite").
extern const ModuleOp kWriteModuleOp;

// "Download": checks the module, reads the current virtual module and writes it. A file that
// does not load as a virtual module is refused unless the numeric item "ForceWrite" is set.
int CB_WriteModule(FieldHandle field, int message, WParam wparam, LParam lparam);
// The handler field of a write or an erase.
int CB_hWriteModule(FieldHandle field, int message, WParam wparam, LParam lparam);
// Erases the module after asking; reports to the dialog's handler field "hCardWrite".
int CB_Erase(FieldHandle field, int message, WParam wparam, LParam lparam);

}  // namespace r7k
