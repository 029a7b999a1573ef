#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The directory region of a virtual module: 16 bytes that must be 0xFF at region offset
// 0x10, the start address for an empty directory at 0x7D, and 12-byte entries from 0x80 up to
// an entry whose state byte is 0xFF.
namespace r7k {

inline constexpr uint32_t kModuleDirectoryBase = 0x10000;
inline constexpr size_t kDirectoryCheckOffset = 0x10;
inline constexpr size_t kDirectoryCheckSize = 16;
inline constexpr size_t kEmptyDirectoryStartOffset = 0x7D;
inline constexpr size_t kFirstEntryOffset = 0x80;
inline constexpr size_t kDirectoryEntrySize = 12;
inline constexpr size_t kEntryNameSize = 5;

inline constexpr uint8_t kEntryValid = 0xFC;
inline constexpr uint8_t kEntryDeleted = 0xF0;
inline constexpr uint8_t kEntryWop = 0xFE;
inline constexpr uint8_t kEntryEnd = 0xFF;

struct DirectoryEntry {
  size_t index = 0;    // position in directory order, as sector records refer to it
  uint8_t state = 0;   // kEntryValid, kEntryDeleted, kEntryWop or anything else
  std::string name;    // the five name characters as stored
  uint32_t start = 0;  // decoded file offsets
  uint32_t end = 0;
  int64_t Size() const { return int64_t{end} - int64_t{start}; }
  bool operator==(const DirectoryEntry&) const = default;
};

struct Directory {
  uint32_t base = 0;  // file offset of the directory region
  std::vector<DirectoryEntry> entries;
  size_t end_marker_offset = 0;  // file offset of the entry whose state byte is 0xFF
};

enum class DirectoryError {
  kNone,
  kIncorrectSize,  // the image is neither 196,608 nor 524,288 bytes
  kCorrupted,      // region bytes 0x10..0x1F are not all 0xFF
  kNoEndMarker,    // the entries run to the end of the file without a 0xFF state byte
};

struct DirectoryResult {
  DirectoryError error = DirectoryError::kNone;
  Directory directory;  // filled when error is kNone
};

// 0 when the image holds "T0001" at 0x81 (the built-in ROM layout), else 0x10000.
uint32_t DirectoryBase(std::span<const uint8_t> image);

// File offset of entry `index` of the directory at `base`.
inline size_t EntryOffset(uint32_t base, size_t index) {
  return base + kFirstEntryOffset + kDirectoryEntrySize * index;
}

// Checks the image size and the region's 0xFF bytes, then walks the entries up to the end
// marker. An image without an end marker before its end is refused: a directory whose end
// cannot be found cannot be trusted, and nothing may be appended to it.
DirectoryResult ReadDirectory(std::span<const uint8_t> image);

// The entry at `index` of the directory at `base` whatever its state, or nothing when its 12
// bytes do not lie within the image.
std::optional<DirectoryEntry> ReadDirectoryEntry(std::span<const uint8_t> image, uint32_t base,
                                                 size_t index);

// The entry a pattern reference names: present (state byte not 0xFF) and carrying `name`
// (its first five characters). Nothing otherwise, or when the entry lies outside the image.
std::optional<DirectoryEntry> FindReferencedEntry(std::span<const uint8_t> image, uint32_t base,
                                                  size_t index, std::string_view name);

// The entity's bytes, or nothing when its range is reversed or leaves the image.
std::optional<std::span<const uint8_t>> EntityBytes(std::span<const uint8_t> image,
                                                    const DirectoryEntry& entry);

// The three address bytes a new entry takes as its start: the end bytes of the last entry,
// verbatim, or the bytes at region offset 0x7D when the directory is empty.
std::array<uint8_t, 3> NextEntryStartBytes(std::span<const uint8_t> image,
                                           const Directory& directory);

}  // namespace r7k
