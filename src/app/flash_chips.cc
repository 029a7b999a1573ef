#include "app/flash_chips.h"

#include <algorithm>

#include "module/hex_text.h"
#include "support/ascii.h"

namespace r7k {

const std::array<FlashChip, kFlashChipCount> FlashChipTable = {{
    {"20E2", "SGS M29F040B", "29F040"},
    {"20F1", "SGS M29F080A", "29F080"},
    {"20AD", "SGS M29F016B", "29F016"},
    {"20AC", "SGS M29F032D", "29F032"},
    {"AD40", "Hyundai HY29F040", "29F040"},
    {"ADA4", "Hyundai HY29F040A", "29F040"},
    {"ADD5", "Hyundai HY29F080", "29F080"},
    {"01A4", "AMD Am29F040B", "29F040"},
    {"01D5", "AMD Am29F080B", "29F080"},
    {"01AD", "AMD Am29F016D", "29F016"},
    {"013D", "AMD Am29F017D", "29F016"},
    {"0141", "AMD Am29F032B", "29F032"},
    {"04A4", "Fujitsu MBM29F040", "29F040"},
    {"04D5", "Fujitsu MBM29F080A", "29F080"},
    {"04AD", "Fujitsu MBM29F016A", "29F016"},
    {"043D", "Fujitsu MBM29F017A", "29F016"},
    {"04D4", "Fujitsu MBM29F033C", "29F032"},
    {"3786", "AMIC A29040A", "29F040"},
    {"1C04", "Eon EN29040A", "29F040"},
    {"1F22", "Atmel AT49F008", "29F080"},
    {"1F21", "Atmel AT49F008AT", "29F080"},
    {"1FA0", "Atmel AT49F8192A", "29F080"},
    {"1FA3", "Atmel AT49F8192AT", "29F080"},
    {"1F13", "Atmel AT49F040", "29F040"},
    {"1FD5", "Atmel AT29C010A", "29C010"},
    {"1F25", "Atmel AT29C020", "29C020"},
    {"1FA4", "Atmel AT29C040A", "29C040"},
    {"C2A4", "Macronix MX29F040", "29F040"},
    {"C2D5", "Macronix MX29F080", "29F080"},
    {"C2AD", "Macronix MX29F016", "29F016"},
}};

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
