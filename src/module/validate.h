#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// Entity validation: one result code per record, 0 meaning valid.
namespace r7k {

inline constexpr int kValidOk = 0;
inline constexpr int kValidTooManyColours = 1;  // pattern: more than 4 colours
inline constexpr int kValidBadSizeCode = 2;     // technique: size or size code wrong
inline constexpr int kValidNumberMismatch =
    3;                                     // sector: numbers disagree with each other or the name
inline constexpr int kValidNoEndCode = 4;  // technique or sector: no byte 0xEF
inline constexpr int kValidNotSector = 5;  // sector: kind mark 0x64 missing

// The decimal value of the name's characters after the first, read up to the first character
// that is not a digit: the number a technique or sector record carries for its name.
unsigned NameNumber(std::string_view name);

// An empty record has no colour count and gets code 1.
int ValidatePattern(std::span<const uint8_t> record);

// The record's size is its span's size. Checks in the order 2, 4.
int ValidateTechnique(std::span<const uint8_t> record);

// Checks in the order 5, 3, 4. A record too short to hold the numbers at offsets 1, 44 and
// 251 gets code 3 (an empty one code 5).
int ValidateSector(std::string_view name, std::span<const uint8_t> record);

// Picks the validator by the name's first character; other names are not checked.
int ValidateEntity(std::string_view name, std::span<const uint8_t> record);

}  // namespace r7k
