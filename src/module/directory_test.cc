#include "module/directory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "module/address.h"

namespace r7k {
namespace {

using Bytes = std::vector<uint8_t>;

// An image of `size` bytes with an empty directory region at `base`: everything 0xFF except
// the 16 bytes before the check bytes, and the empty-directory start address.
Bytes EmptyImage(size_t size, uint32_t base, uint32_t first_start = 0x18000) {
  Bytes image(size, 0xFF);
  std::memset(&image[base], 0, 0x10);
  EncodeModuleAddress(first_start, std::span(image).subspan(base + 0x7D).first<3>());
  return image;
}

void PutEntry(Bytes& image, uint32_t base, size_t index, uint8_t state, const char* name,
              uint32_t start, uint32_t end) {
  const size_t pos = EntryOffset(base, index);
  image[pos] = state;
  std::memcpy(&image[pos + 1], name, 5);
  EncodeModuleAddress(start, std::span(image).subspan(pos + 6).first<3>());
  EncodeModuleAddress(end, std::span(image).subspan(pos + 9).first<3>());
}

TEST(Directory, RomLayoutHasItsDirectoryAtZeroOtherImagesAt0x10000) {
  Bytes image = EmptyImage(kRomImageSize, 0);
  // The entry as the built-in images store it: upper nibble 0x4.
  const uint8_t entry[12] = {0xFC, 'T', '0', '0', '0', '1', 0x41, 0x80, 0x00, 0x41, 0x80, 0x29};
  std::memcpy(&image[0x80], entry, 12);
  EXPECT_EQ(DirectoryBase(image), 0u);
  const DirectoryResult result = ReadDirectory(image);
  ASSERT_EQ(result.error, DirectoryError::kNone);
  ASSERT_EQ(result.directory.entries.size(), 1u);
  EXPECT_EQ(result.directory.entries[0], (DirectoryEntry{0, kEntryValid, "T0001", 32768, 32809}));
  EXPECT_EQ(result.directory.end_marker_offset, 0x8Cu);

  image = EmptyImage(kRomImageSize, 0x10000);
  PutEntry(image, 0x10000, 0, kEntryValid, "T0002", 0x18000, 0x18015);
  std::memcpy(&image[0x81], "T0002", 5);  // not the ROM marker
  EXPECT_EQ(DirectoryBase(image), 0x10000u);
  const DirectoryResult other = ReadDirectory(image);
  ASSERT_EQ(other.error, DirectoryError::kNone);
  ASSERT_EQ(other.directory.entries.size(), 1u);
  EXPECT_EQ(other.directory.entries[0].name, "T0002");
}

TEST(Directory, EmptyDirectoryListsNothingAndStartsAt0x7D) {
  const Bytes image = EmptyImage(kModuleImageSize, 0x10000, 0x18000);
  const DirectoryResult result = ReadDirectory(image);
  ASSERT_EQ(result.error, DirectoryError::kNone);
  EXPECT_TRUE(result.directory.entries.empty());
  EXPECT_EQ(result.directory.end_marker_offset, 0x10080u);
  EXPECT_EQ(NextEntryStartBytes(image, result.directory),
            (std::array<uint8_t, 3>{0x83, 0x80, 0x00}));
}

TEST(Directory, DeletedEntryKeepsItsSpaceAndEntriesMayCrossBanks) {
  Bytes image = EmptyImage(kModuleImageSize, 0x10000, 0xFF00);
  PutEntry(image, 0x10000, 0, kEntryValid, "P3000", 0xFF00, 0xFFF0);
  PutEntry(image, 0x10000, 1, kEntryDeleted, "P3001", 0xFFF0, 0x10010);
  PutEntry(image, 0x10000, 2, kEntryWop, "S0001", 0x10010, 0x10200);
  PutEntry(image, 0x10000, 3, 0x12, "_0000", 0x10200, 0x10209);
  const DirectoryResult result = ReadDirectory(image);
  ASSERT_EQ(result.error, DirectoryError::kNone);
  const auto& entries = result.directory.entries;
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[1].state, kEntryDeleted);
  EXPECT_EQ(entries[1].Size(), 0x20);  // from bank 1 into bank 2
  EXPECT_EQ(entries[2].start, entries[1].end);
  EXPECT_EQ(entries[3].state, 0x12);
  EXPECT_EQ(entries[3].index, 3u);
  // A new entry continues after the last one, whatever its state.
  EXPECT_EQ(NextEntryStartBytes(image, result.directory),
            (std::array<uint8_t, 3>{0x82, 0x82, 0x09}));
  const auto bytes = EntityBytes(image, entries[1]);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(bytes->data(), image.data() + 0xFFF0);
  EXPECT_EQ(bytes->size(), 0x20u);
}

TEST(Directory, RefusesWrongSizesAndDirtyCheckBytes) {
  EXPECT_EQ(ReadDirectory(Bytes(196609, 0xFF)).error, DirectoryError::kIncorrectSize);
  EXPECT_EQ(ReadDirectory(Bytes{}).error, DirectoryError::kIncorrectSize);
  for (size_t pos : {0x10u, 0x1Fu}) {
    Bytes image = EmptyImage(kModuleImageSize, 0x10000);
    image[0x10000 + pos] = 0xFE;
    EXPECT_EQ(ReadDirectory(image).error, DirectoryError::kCorrupted) << pos;
  }
  // Bytes 0x20 and beyond are not part of the check.
  Bytes image = EmptyImage(kModuleImageSize, 0x10000);
  image[0x10020] = 0;
  EXPECT_EQ(ReadDirectory(image).error, DirectoryError::kNone);
}

TEST(Directory, NoEndMarkerBeforeTheFileEndsIsRefused) {
  // Every state byte of the walk is a valid one, up to the file's last bytes.
  Bytes image(kModuleImageSize, 0xFC);
  std::memset(&image[0x10010], 0xFF, 16);
  EXPECT_EQ(ReadDirectory(image).error, DirectoryError::kNoEndMarker);
  EXPECT_TRUE(ReadDirectory(image).directory.entries.empty());
  // The same with an end marker on the very last entry position that still fits whole.
  const size_t last = 0x10080 + 12 * ((kModuleImageSize - 0x10080) / 12 - 1);
  image[last] = 0xFF;
  const DirectoryResult result = ReadDirectory(image);
  ASSERT_EQ(result.error, DirectoryError::kNone);
  EXPECT_EQ(result.directory.end_marker_offset, last);
}

TEST(Directory, ReferencedEntriesMustBePresentAndCarryTheName) {
  Bytes image = EmptyImage(kModuleImageSize, 0x10000, 0x18000);
  PutEntry(image, 0x10000, 0, kEntryValid, "P3000", 0x18000, 0x18013);
  PutEntry(image, 0x10000, 1, kEntryDeleted, "P3001", 0x18013, 0x18026);
  EXPECT_TRUE(FindReferencedEntry(image, 0x10000, 0, "P3000"));
  EXPECT_TRUE(FindReferencedEntry(image, 0x10000, 1, "P3001"));  // deleted is still present
  EXPECT_FALSE(FindReferencedEntry(image, 0x10000, 0, "P3001"));
  EXPECT_FALSE(FindReferencedEntry(image, 0x10000, 2, "P3002"));      // end marker
  EXPECT_FALSE(FindReferencedEntry(image, 0x10000, 60000, "P3002"));  // outside the image
  EXPECT_FALSE(FindReferencedEntry(Bytes(100, 0), 0x10000, 0, "P3000"));
}

TEST(Directory, EntityBytesStayInsideTheImage) {
  const Bytes image(kRomImageSize, 0);
  DirectoryEntry e;
  e.start = 0x100;
  e.end = 0x80;
  EXPECT_FALSE(EntityBytes(image, e));
  e.end = kRomImageSize + 1;
  EXPECT_FALSE(EntityBytes(image, e));
  e.end = kRomImageSize;
  EXPECT_TRUE(EntityBytes(image, e));
}

}  // namespace
}  // namespace r7k
