#pragma once

// What the identification a box reads from the flash chip ("id2") says, and the items it sets;
// the chips themselves are the table of module/flash_chips.h.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/module_ops.h"
#include "module/flash_chips.h"
#include "store/item_store.h"

namespace r7k {

// Types the box can read, and the one it can write and erase.
bool IsReadableChipType(std::string_view type);
bool IsWritableChipType(std::string_view type);

// What an identification text (maker, device and sector-0 status byte as six hexadecimal
// digits) says.
struct FlashChipMatch {
  const FlashChip* chip = nullptr;
  int card_id = 0;      // maker × 256 + device
  std::string sector0;  // two hexadecimal digits
};
// The first row of `table` whose code equals the first four characters (any case); nullopt
// when none.
std::optional<FlashChipMatch> MatchFlashChip(std::string_view id_text,
                                             std::span<const FlashChip> table = kFlashChips);

// "CardType", "Type", "CardID" and "Sector0" as the match gives them.
std::vector<ItemChange> FlashChipItemChanges(const FlashChipMatch& match);

// Sets "CardType", "Type", "CardID" and "Sector0" from the match and returns 1; returns 0 and
// changes nothing when no row matches.
int IdentifyFlashChip(std::string_view id_text, std::span<const FlashChip> table,
                      StoreHandle store);

}  // namespace r7k
