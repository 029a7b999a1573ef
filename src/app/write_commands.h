#pragma once

// The commands of a write: the block rows of the command table, the 128-byte data commands
// and the skipping of erased pieces. No box, no dialog: the write's stepping (write_module.cc)
// sends what these build.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "store/item_store.h"
#include "store/table.h"

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
  std::string row;  // the row text with k patched in
  uint32_t k = 0;
  uint32_t address = 0;
  uint32_t counter = 0;  // repetitions left after this piece
  uint32_t skipped = 0;  // erased pieces passed over
};
std::optional<DataPiece> NextDataPiece(std::string_view row, uint32_t count, uint32_t counter,
                                       bool send_erased, std::span<const uint8_t> data);

// Whether a command table row is a data row ("ws...", any letter case).
bool IsDataRow(std::string_view row);
// Whether an answer or command is an erase ("erase" or "xrase", any letter case).
bool IsEraseText(std::string_view text);

}  // namespace r7k
