#pragma once

// Virtual module images made to order for tests: empty, or any image given, with entries
// appended as the program appends them (after the last entry, back to back).

#include <algorithm>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "module/address.h"
#include "module/builtin_images.h"
#include "module/directory.h"

namespace r7k::testing {

using Bytes = std::vector<uint8_t>;

class ModuleImage {
 public:
  // An empty module: all 0xFF but the 16 header bytes before the check bytes, entries from
  // `first_start` (0x18000, as the demo module).
  explicit ModuleImage(size_t size = kModuleImageSize, uint32_t first_start = 0x18000)
      : bytes(size, 0xFF) {
    std::fill_n(bytes.begin() + kModuleDirectoryBase, 0x10, 0);
    EncodeModuleAddress(first_start, Address(kModuleDirectoryBase + kEmptyDirectoryStartOffset));
  }
  explicit ModuleImage(std::string_view builtin)
      : bytes(BuiltinImage(builtin).begin(), BuiltinImage(builtin).end()) {}

  // Appends an entry with its record; `name` is used as it is, whatever its bytes.
  ModuleImage& Add(std::string_view name, std::span<const uint8_t> record,
                   uint8_t state = kEntryValid) {
    const Directory dir = ReadDirectory(bytes).directory;
    const auto start_bytes = NextEntryStartBytes(bytes, dir);
    const uint32_t start = DecodeModuleAddress(start_bytes);
    uint8_t* e = bytes.data() + dir.end_marker_offset;
    e[0] = state;
    std::copy_n(name.begin(), std::min(name.size(), kEntryNameSize), e + 1);
    std::copy(start_bytes.begin(), start_bytes.end(), e + 6);
    EncodeModuleAddress(start + static_cast<uint32_t>(record.size()),
                        Address(dir.end_marker_offset + 9));
    std::copy(record.begin(), record.end(), bytes.begin() + start);
    return *this;
  }

  std::span<uint8_t, 3> Address(size_t at) { return std::span(bytes).subspan(at).first<3>(); }
  // The entry `index` of the directory at 0x10000, and its record.
  DirectoryEntry Entry(size_t index) const {
    return *ReadDirectoryEntry(bytes, DirectoryBase(bytes), index);
  }
  std::span<uint8_t> Record(std::string_view name) {
    for (const DirectoryEntry& e : ReadDirectory(bytes).directory.entries)
      if (e.name == name) return std::span(bytes).subspan(e.start, e.end - e.start);
    return {};
  }

  Bytes bytes;
};

}  // namespace r7k::testing
