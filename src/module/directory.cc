#include "module/directory.h"

#include <algorithm>

#include "module/address.h"

namespace r7k {
namespace {

constexpr std::string_view kRomFirstEntryName = "T0001";

std::span<const uint8_t, 3> AddressAt(std::span<const uint8_t> image, size_t pos) {
  return image.subspan(pos).first<3>();
}

DirectoryEntry EntryAt(std::span<const uint8_t> image, size_t pos, size_t index) {
  DirectoryEntry entry;
  entry.index = index;
  entry.state = image[pos];
  entry.name.assign(reinterpret_cast<const char*>(&image[pos + 1]), kEntryNameSize);
  entry.start = DecodeModuleAddress(AddressAt(image, pos + 6));
  entry.end = DecodeModuleAddress(AddressAt(image, pos + 9));
  return entry;
}

}  // namespace

uint32_t DirectoryBase(std::span<const uint8_t> image) {
  const size_t pos = kFirstEntryOffset + 1;
  if (image.size() >= pos + kEntryNameSize &&
      std::equal(kRomFirstEntryName.begin(), kRomFirstEntryName.end(), image.begin() + pos)) {
    return 0;
  }
  return kModuleDirectoryBase;
}

DirectoryResult ReadDirectory(std::span<const uint8_t> image) {
  DirectoryResult result;
  if (!IsImageSize(image.size())) {
    result.error = DirectoryError::kIncorrectSize;
    return result;
  }
  const uint32_t base = DirectoryBase(image);
  const auto check = image.subspan(base + kDirectoryCheckOffset, kDirectoryCheckSize);
  if (!std::all_of(check.begin(), check.end(), [](uint8_t b) { return b == 0xFF; })) {
    result.error = DirectoryError::kCorrupted;
    return result;
  }
  Directory& dir = result.directory;
  dir.base = base;
  for (size_t index = 0;; ++index) {
    const size_t pos = EntryOffset(base, index);
    if (pos >= image.size()) break;
    if (image[pos] == kEntryEnd) {
      dir.end_marker_offset = pos;
      return result;
    }
    if (image.size() - pos < kDirectoryEntrySize) break;
    dir.entries.push_back(EntryAt(image, pos, index));
  }
  result.error = DirectoryError::kNoEndMarker;
  result.directory = Directory{};
  return result;
}

std::optional<DirectoryEntry> ReadDirectoryEntry(std::span<const uint8_t> image, uint32_t base,
                                                 size_t index) {
  const size_t pos = EntryOffset(base, index);
  if (pos < base || pos > image.size() || image.size() - pos < kDirectoryEntrySize) {
    return std::nullopt;
  }
  return EntryAt(image, pos, index);
}

std::optional<DirectoryEntry> FindReferencedEntry(std::span<const uint8_t> image, uint32_t base,
                                                  size_t index, std::string_view name) {
  auto entry = ReadDirectoryEntry(image, base, index);
  if (!entry || entry->state == kEntryEnd) return std::nullopt;
  if (entry->name != name.substr(0, kEntryNameSize)) return std::nullopt;
  return entry;
}

std::optional<std::span<const uint8_t>> EntityBytes(std::span<const uint8_t> image,
                                                    const DirectoryEntry& entry) {
  if (entry.start > entry.end || entry.end > image.size()) return std::nullopt;
  return image.subspan(entry.start, entry.end - entry.start);
}

std::array<uint8_t, 3> NextEntryStartBytes(std::span<const uint8_t> image,
                                           const Directory& directory) {
  const size_t pos = directory.entries.empty()
                         ? directory.base + kEmptyDirectoryStartOffset
                         : EntryOffset(directory.base, directory.entries.back().index) + 9;
  std::array<uint8_t, 3> bytes{};
  if (pos <= image.size() && image.size() - pos >= 3) {
    std::copy_n(image.begin() + pos, 3, bytes.begin());
  }
  return bytes;
}

}  // namespace r7k
