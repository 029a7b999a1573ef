#pragma once

// The flash chips a module may carry, identified by the maker and device bytes the box reads
// from the chip ("id2"). The table is data; its rows are searched in order.

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/module_ops.h"
#include "store/item_store.h"

namespace r7k {

struct FlashChip {
  std::string_view code;  // maker byte and device byte as four hexadecimal digits
  std::string_view name;  // maker and part ("CardType")
  std::string_view type;  // the short type that decides the box commands ("Type")
};

inline constexpr std::size_t kFlashChipCount = 30;
extern const std::array<FlashChip, kFlashChipCount> FlashChipTable;

// Types the box can read, and the one it can write and erase.
bool IsReadableChipType(std::string_view type);
bool IsWritableChipType(std::string_view type);

// What an identification text (maker, device and sector-0 status byte as six hexadecimal
// digits) says.
struct FlashChipMatch {
  const FlashChip* chip = nullptr;
  int card_id = 0;       // maker × 256 + device
  std::string sector0;   // two hexadecimal digits
};
// The first row of `table` whose code equals the first four characters (any case); nullopt
// when none.
std::optional<FlashChipMatch> MatchFlashChip(std::string_view id_text,
                                             std::span<const FlashChip> table = FlashChipTable);

// "CardType", "Type", "CardID" and "Sector0" as the match gives them.
std::vector<ItemChange> FlashChipItemChanges(const FlashChipMatch& match);

// Sets "CardType", "Type", "CardID" and "Sector0" from the match and returns 1; returns 0 and
// changes nothing when no row matches.
int IdentifyFlashChip(std::string_view id_text, std::span<const FlashChip> table,
                      StoreHandle store);

}  // namespace r7k
