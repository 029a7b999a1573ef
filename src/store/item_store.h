#pragma once

// The item store: named stores of named items (string, numeric, raw block, table) shared by the
// dialogs and the code. Item names are matched without regard to letter case ("t_size" reads
// the item "t_Size").
//
// StoreOpen makes a private store each time it is called; StoreOpenShared gives every caller
// (any thread) that names the same store the same object, which lives until the last
// StoreClose. Every operation is safe from any thread; StoreLock/StoreUnlock additionally give
// one thread exclusive use across several operations (a read-modify-write of a record).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/table.h"
#include "support/window_messages.h"

namespace r7k {

class Store;
using StoreHandle = Store*;  // nullptr is failure

enum ItemType : int {
  kItemNone = 0,  // the item does not exist
  kItemString = 1,
  kItemNumeric = 2,
  kItemRaw = 3,
  kItemTable = 4,
};

// The registered window message that StoreRequestAdvice posts on each change.
constexpr std::string_view kAdviceMessageName = "Coll_Advice";
// Offset of the item name (zero-terminated) in an advice parameter block. The first byte says
// what happened to the item.
constexpr std::size_t kAdviceNameOffset = 2;
enum AdviceChange : std::uint8_t { kAdviceSet = 1, kAdviceDeleted = 2 };

StoreHandle StoreOpen(std::string_view name);
StoreHandle StoreOpenShared(std::string_view name);
void StoreClose(StoreHandle store);
std::string StoreName(StoreHandle store);

int StoreGetType(StoreHandle store, std::string_view item);
// Names of all items as they were first written (tests, "(*)" clean-ups).
std::vector<std::string> StoreItemNames(StoreHandle store);

// Copies the text with its terminating zero (cut to fit, always terminated) and returns the
// bytes delivered: an empty text gives 1, a missing item 0. A numeric item reads as its decimal
// text; a raw item as its bytes up to the first zero.
std::size_t StoreGetString(StoreHandle store, std::string_view item, char* buffer,
                           std::size_t size);
std::optional<std::string> StoreGetString(StoreHandle store, std::string_view item);
bool StoreSetString(StoreHandle store, std::string_view item, std::string_view text);

// The value; 0 when missing. A string item reads as the decimal number it begins with, so the
// string "1" reads as 1.
std::int64_t StoreGetNumeric(StoreHandle store, std::string_view item);
bool StoreSetNumeric(StoreHandle store, std::string_view item, std::int64_t value);

// Raw blocks. StoreGetItem copies at most `size` bytes and returns the bytes delivered (0 when
// missing); with no buffer it returns the item's size. A string item gives its text and zero.
std::size_t StoreGetItem(StoreHandle store, std::string_view item, void* buffer, std::size_t size);
std::optional<std::vector<std::uint8_t>> StoreGetItem(StoreHandle store, std::string_view item);
// No data and size 0 deletes the item.
bool StoreSetItem(StoreHandle store, std::string_view item, const void* data, std::size_t size);
bool StoreDeleteItem(StoreHandle store, std::string_view item);

// Tables. StoreGetTable gives a copy the caller frees with TableFree (nullptr when the item is
// missing or not a table); StoreSetTable keeps its own copy.
TableHandle StoreGetTable(StoreHandle store, std::string_view item);
bool StoreSetTable(StoreHandle store, std::string_view item, TableHandle table);
// The row as cells with their zeros; with no buffer, the row's size in bytes. 0 when the row or
// item does not exist; a buffer too small gets nothing and the result is 0.
std::size_t StoreTableGetRow(StoreHandle store, std::string_view item, int row, void* buffer,
                             std::size_t size);
std::optional<std::vector<std::string>> StoreTableGetRow(StoreHandle store, std::string_view item,
                                                         int row);
int StoreTableRowCount(StoreHandle store, std::string_view item);
bool StoreTableSetSelection(StoreHandle store, std::string_view item, int row);
// The selected row's cells become the items named by the table's column titles, each cut to
// `limit` characters; without a selection those items are deleted. False when the item is no
// table.
bool StoreTableSelectionToItems(StoreHandle store, std::string_view item,
                                std::size_t limit = std::string::npos);
int StoreTableFindField(StoreHandle store, std::string_view item, const char* text,
                        std::size_t length, int column = 0, int start_row = 0);

// Exclusive use across threads; the owner may lock again (each lock needs its unlock). Unlock by
// a thread that does not hold the lock does nothing and returns false.
bool StoreLock(StoreHandle store);
bool StoreUnlock(StoreHandle store);

// After this, each change of an item posts the "Coll_Advice" message to the window: wparam 0,
// lparam 0, and a parameter block {change, 0, item name..., 0}. `mode` must be 1. Returns nonzero
// on success. A window that has gone away is dropped from the list.
int StoreRequestAdvice(StoreHandle store, WindowHandle window, int mode = 1);
void StoreCancelAdvice(StoreHandle store, WindowHandle window);
// The item name of an advice parameter block, or empty when the block is malformed.
std::string AdviceItemName(const std::vector<std::uint8_t>& block);

// Zero-filled memory from the pool heap that any thread may free.
void* StoreAlloc(std::size_t size);
void StoreFree(void* block);

}  // namespace r7k
