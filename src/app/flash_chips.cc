#include "app/flash_chips.h"

#include <algorithm>

#include "module/hex_text.h"
#include "support/ascii.h"

namespace r7k {

bool IsReadableChipType(std::string_view type) {
  return EqualsIgnoringCase(type, "29F040") || EqualsIgnoringCase(type, "29C040");
}

bool IsWritableChipType(std::string_view type) { return EqualsIgnoringCase(type, "29F040"); }

std::optional<FlashChipMatch> MatchFlashChip(std::string_view id_text,
                                             std::span<const FlashChip> table) {
  if (id_text.size() < 4) return std::nullopt;
  const std::string_view code = id_text.substr(0, 4);
  for (const FlashChip& chip : table) {
    if (!EqualsIgnoringCase(code, chip.code)) continue;
    FlashChipMatch match;
    match.chip = &chip;
    for (char c : code) match.card_id = match.card_id << 4 | HexNibble(c);
    // A chip that repeats its maker byte in place of a status, and every Atmel part, reports
    // no sector status.
    const std::string_view status = id_text.substr(4, std::min<std::size_t>(2, id_text.size() - 4));
    const bool repeats_maker = status == id_text.substr(0, 2);
    const bool atmel = chip.name.size() >= 5 && EqualsIgnoringCase(chip.name.substr(0, 5), "Atmel");
    match.sector0 = repeats_maker || atmel ? "00" : std::string(status);
    return match;
  }
  return std::nullopt;
}

std::vector<ItemChange> FlashChipItemChanges(const FlashChipMatch& match) {
  return {{"CardType", ItemChange::kText, std::string(match.chip->name)},
          {"Type", ItemChange::kText, std::string(match.chip->type)},
          {"CardID", ItemChange::kNumber, {}, match.card_id},
          {"Sector0", ItemChange::kText, match.sector0}};
}

int IdentifyFlashChip(std::string_view id_text, std::span<const FlashChip> table,
                      StoreHandle store) {
  const auto match = MatchFlashChip(id_text, table);
  if (!match) return 0;
  ApplyItemChanges(store, FlashChipItemChanges(*match));
  return 1;
}

}  // namespace r7k
