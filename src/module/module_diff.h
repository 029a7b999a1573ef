#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "module/directory.h"

// What differs between two virtual module images: entries only in one of them, entries in
// both whose bytes differ or that lie elsewhere, and the differing bytes that belong to no
// entry (directory header, directory, free space), as ranges.
namespace r7k {

enum class EntryChange {
  kOnlyInA,
  kOnlyInB,
  kChanged,  // in both, the bytes differ
  kMoved,    // in both, the same bytes at another place
};

struct EntryDifference {
  EntryChange change = EntryChange::kChanged;
  std::optional<DirectoryEntry> a;  // the entry in A, when it is there
  std::optional<DirectoryEntry> b;
  // Changed entries: bytes that differ where both have one, plus the bytes only the longer
  // one has.
  uint64_t bytes_differing = 0;
  // Changed patterns that decode in both: the cells that differ when the two are laid on each
  // other from the first stored row and the left stitch (a cell only one of them has counts).
  std::optional<uint64_t> cells_differing;
  uint16_t width_a = 0, rows_a = 0, width_b = 0, rows_b = 0;  // set with cells_differing
};

// Where a byte outside the entries lies, by the directory of A (else B).
enum class ByteArea {
  kBeforeDirectory,  // the banks before a module's directory region
  kDirectoryHeader,  // region offsets 0x00 to 0x7F
  kDirectory,        // the entries' 12-byte slots and the end marker
  kFreeSpace,        // everything else: free space between and after the entities
  kBeyondA,          // B is the larger image
  kBeyondB,
};
// "before the directory", "directory header", "directory", "free space", "beyond the end of
// A", "beyond the end of B".
const char* ByteAreaText(ByteArea area);

// A run of differing bytes outside every entry, from `start` up to (not including) `end`.
struct ByteRange {
  size_t start = 0;
  size_t end = 0;
  ByteArea area = ByteArea::kFreeSpace;
};

struct ModuleDiff {
  bool identical = false;  // byte for byte, and of the same size
  std::vector<EntryDifference> entries;
  std::vector<ByteRange> outside;
};

// Compares two images. Entries are matched by name and state byte, in directory order (the
// second valid P3000 of A with the second valid P3000 of B). A side whose directory could not
// be read (nullptr) is read through the other side's directory, entry by entry at the same
// places; with neither, every differing byte is a range. Whatever is reported explains every
// differing byte, so the report is empty exactly when the images are identical.
ModuleDiff DiffModules(std::span<const uint8_t> a, const Directory* dir_a,
                       std::span<const uint8_t> b, const Directory* dir_b);

}  // namespace r7k
