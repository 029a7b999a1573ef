#pragma once

// The flash chips a module may carry, identified by the maker and device bytes the box reads
// from the chip ("id2"). Plain data: a new chip is one more row; the rows are searched in
// order.

#include <string_view>

namespace r7k {

struct FlashChip {
  std::string_view code;  // maker byte and device byte as four hexadecimal digits
  std::string_view name;  // maker and part ("CardType")
  std::string_view type;  // the short type that decides the box commands ("Type")
};

inline constexpr FlashChip kFlashChips[] = {
    {"20E2", "SGS M29F040B", "29F040"},       {"20F1", "SGS M29F080A", "29F080"},
    {"20AD", "SGS M29F016B", "29F016"},       {"20AC", "SGS M29F032D", "29F032"},
    {"AD40", "Hyundai HY29F040", "29F040"},   {"ADA4", "Hyundai HY29F040A", "29F040"},
    {"ADD5", "Hyundai HY29F080", "29F080"},   {"01A4", "AMD Am29F040B", "29F040"},
    {"01D5", "AMD Am29F080B", "29F080"},      {"01AD", "AMD Am29F016D", "29F016"},
    {"013D", "AMD Am29F017D", "29F016"},      {"0141", "AMD Am29F032B", "29F032"},
    {"04A4", "Fujitsu MBM29F040", "29F040"},  {"04D5", "Fujitsu MBM29F080A", "29F080"},
    {"04AD", "Fujitsu MBM29F016A", "29F016"}, {"043D", "Fujitsu MBM29F017A", "29F016"},
    {"04D4", "Fujitsu MBM29F033C", "29F032"}, {"3786", "AMIC A29040A", "29F040"},
    {"1C04", "Eon EN29040A", "29F040"},       {"1F22", "Atmel AT49F008", "29F080"},
    {"1F21", "Atmel AT49F008AT", "29F080"},   {"1FA0", "Atmel AT49F8192A", "29F080"},
    {"1FA3", "Atmel AT49F8192AT", "29F080"},  {"1F13", "Atmel AT49F040", "29F040"},
    {"1FD5", "Atmel AT29C010A", "29C010"},    {"1F25", "Atmel AT29C020", "29C020"},
    {"1FA4", "Atmel AT29C040A", "29C040"},    {"C2A4", "Macronix MX29F040", "29F040"},
    {"C2D5", "Macronix MX29F080", "29F080"},  {"C2AD", "Macronix MX29F016", "29F016"},
};

// The row whose code is `code` (four hexadecimal digits, any letter case); nullptr when none.
const FlashChip* FindFlashChip(std::string_view code);

}  // namespace r7k
