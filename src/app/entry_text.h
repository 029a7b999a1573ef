#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "store/item_store.h"

// An entry in words, as its view shows it: a technique's header items and instruction
// listing, a sector's items, a text record's lines. `r7k show` prints this text and the
// gallery presents it, so the two never disagree.
namespace r7k {

struct ShownItem {
  const char* item;   // the view's item
  const char* label;  // how the text names it
};

// The items of the technique view (application store) and of the sector view (main store),
// in the order they are told.
std::span<const ShownItem> TechniqueShownItems();
std::span<const ShownItem> SectorShownItems();

// The text record buffer of the "Text" view: a longer record shows its first part.
inline constexpr size_t kTextRecordViewBytes = 1024;

// The text of the view of `name` whose items the stores hold: "label: value" lines (a value of
// several lines joined with "; "), a technique's instruction rows after its items, a text
// record's lines ("textData") without carriage returns.
std::string ShownEntryText(std::string_view name, StoreHandle main, StoreHandle app);

// The text of an entry from its record, made on stores of its own; nothing when the entry has
// no view (a pattern, "_0003", an unknown kind) or the record cannot be shown.
std::optional<std::string> EntryText(std::string_view name, std::span<const uint8_t> record);

}  // namespace r7k
