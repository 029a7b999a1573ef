#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

// The sector record: colours, feeders, repeats, an embedded 201-byte technique record and two
// 50-byte pattern references (front and back).
namespace r7k {

inline constexpr uint8_t kSectorKindMark = 0x64;
inline constexpr size_t kSectorRecordSize = 355;  // the part of the record that is read
inline constexpr size_t kSectorEmbeddedTechniqueOffset = 43;
inline constexpr size_t kSectorEmbeddedTechniqueSize = 201;
inline constexpr size_t kSectorTechniqueSourceOffset = 250;
inline constexpr size_t kSectorTechniqueNumberOffset = 251;
inline constexpr size_t kSectorFrontReferenceOffset = 257;
inline constexpr size_t kSectorBackReferenceOffset = 307;
inline constexpr size_t kPatternReferenceSize = 50;
// The bytes of a reference that are read; the back reference's last two bytes lie beyond the
// 355 bytes of a sector record that are used.
inline constexpr size_t kPatternReferenceUsedSize = 48;

// Where a technique or a referenced pattern lives.
inline constexpr uint8_t kSourceModule = 8;  // "MOD": this module's directory at 0x10000
inline constexpr uint8_t kSourceRom = 12;    // "ROM": the built-in ROM images
inline constexpr uint8_t kSourcePc = 16;     // "PC"

// The first five bytes of a reference that names no pattern.
inline constexpr std::array<uint8_t, 5> kEmptyReferenceMark = {0x1C, 0x7F, 0xFF, 0x7F, 0xFF};

struct PatternReference {
  bool empty = false;  // the reference begins with kEmptyReferenceMark; other fields unset
  uint8_t source = 0;
  uint16_t name_number = 0;
  uint16_t source_number = 0;
  uint16_t index = 0;  // directory index of the pattern's entry in the source
  std::string name;    // five characters
  uint8_t colours = 0;
  uint16_t width = 0;
  uint16_t rows = 0;
  bool operator==(const PatternReference&) const = default;
};

// Nothing when fewer than 48 bytes are given.
std::optional<PatternReference> ReadPatternReference(std::span<const uint8_t> bytes);

// Writes the interpreted fields (an empty reference writes the mark only); the other bytes
// are left as they are. False when `out` holds fewer than 48 bytes.
bool WritePatternReference(const PatternReference& ref, std::span<uint8_t> out);

struct SideRepeats {
  uint16_t vertical = 0;
  uint16_t horizontal = 0;
  uint16_t to_right_left = 0;
  bool operator==(const SideRepeats&) const = default;
};

struct SectorRecord {
  uint8_t kind = kSectorKindMark;
  uint16_t number = 0;
  uint8_t colours = 0;
  std::array<uint8_t, 4> feeders{};
  std::array<uint8_t, 4> feeder_colours{};
  bool invert = false;
  SideRepeats front_repeats;
  SideRepeats back_repeats;
  std::array<uint8_t, kSectorEmbeddedTechniqueSize> technique{};
  uint8_t technique_source = 0;
  uint16_t technique_number = 0;
  PatternReference front;
  PatternReference back;
  bool operator==(const SectorRecord&) const = default;
};

// Nothing when the record is shorter than 355 bytes. The kind mark is read, not checked.
std::optional<SectorRecord> ReadSectorRecord(std::span<const uint8_t> record);

// Writes the interpreted fields into the first 355 bytes of `out` (which must hold them);
// bytes not interpreted are left as they are.
bool WriteSectorRecord(const SectorRecord& sector, std::span<uint8_t> out);

}  // namespace r7k
