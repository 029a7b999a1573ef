#pragma once

// Small helpers of the frame that the operations share. Big-endian numbers are ReadBe16 of
// module/address.h and hexadecimal digits HexNibble of module/hex_text.h.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/item_store.h"

namespace r7k {

// Copies the selected row of the table item into string items named by its column names;
// with no selection (or no such table) deletes the items of those names. False when the
// item is not a table.
bool SelectionToItems(StoreHandle store, std::string_view table_item);

// Removes the row from the table item; does nothing when the item or row is missing.
bool DeleteTableRow(StoreHandle store, std::string_view table_item, int row);

// `pairs` bytes from hexadecimal text, first digit high; stops early where the text ends.
std::vector<std::uint8_t> HexPairsToBytes(std::string_view text, std::size_t pairs);

// The temporary-files folder, where pictures, the pattern page and "@@temp.pal" go: the
// user's private folder, never a shared one; empty when there is none.
std::string LongTempPath();

}  // namespace r7k
