#include "app/frame.h"

#include <filesystem>
#include <system_error>

#include "module/hex_text.h"
#include "platform/temp_folder.h"
#include "store/table.h"

namespace r7k {

bool SelectionToItems(StoreHandle store, std::string_view table_item) {
  return StoreTableSelectionToItems(store, table_item);
}

bool DeleteTableRow(StoreHandle store, std::string_view table_item, int row) {
  TableHandle table = StoreGetTable(store, table_item);
  if (!table) return false;
  const bool removed = TableRemoveRow(table, row) && StoreSetTable(store, table_item, table);
  TableFree(table);
  return removed;
}

std::vector<std::uint8_t> HexPairsToBytes(std::string_view text, std::size_t pairs) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < pairs && 2 * i + 1 < text.size(); ++i)
    bytes.push_back(
        static_cast<std::uint8_t>(HexNibble(text[2 * i]) << 4 | HexNibble(text[2 * i + 1])));
  return bytes;
}

std::string LongTempPath() {
  const auto temp = PrivateTempFolder();
  if (!temp) return {};
  std::error_code ec;
  std::filesystem::path full = std::filesystem::weakly_canonical(*temp, ec);
  return (ec ? *temp : full).string();
}

}  // namespace r7k
