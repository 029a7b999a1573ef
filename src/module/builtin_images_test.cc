#include "module/builtin_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "module/address.h"
#include "module/builtin_records.h"
#include "module/cut.h"
#include "module/directory.h"
#include "module/instructions.h"
#include "module/pattern.h"
#include "module/sector.h"
#include "module/technique.h"
#include "module/validate.h"

namespace r7k {
namespace {

using Bytes = std::vector<uint8_t>;

Directory Read(std::span<const uint8_t> image) {
  const DirectoryResult result = ReadDirectory(image);
  EXPECT_EQ(result.error, DirectoryError::kNone);
  return result.directory;
}

Bytes EntityOf(std::span<const uint8_t> image, const DirectoryEntry& e) {
  const auto bytes = EntityBytes(image, e);
  EXPECT_TRUE(bytes) << e.name;
  return bytes ? Bytes(bytes->begin(), bytes->end()) : Bytes{};
}

// Every technique of the built-in images: size code right, the stream reaches its end code
// under the instruction lengths and lists to it, both small grids fit behind it, and the first
// 0xEF after the header is that end code (the grid pictures search for it without decoding).
void ExpectGoodTechnique(std::span<const uint8_t> record, const std::string& name) {
  SCOPED_TRACE(name);
  EXPECT_EQ(ValidateTechnique(record), kValidOk);
  EXPECT_TRUE(DescribeTechniqueHeader(record));
  const InstructionListing listing = DecodeInstructionRows(record);
  EXPECT_TRUE(listing.ended);
  EXPECT_EQ(listing.rows.back().code, "EF");
  const auto layout = ReadTechniqueLayout(record);
  ASSERT_TRUE(layout);
  EXPECT_EQ(record[layout->stream_end - 1], kEndCode);
  EXPECT_EQ(
      std::find(record.begin() + kTechniqueHeaderSize, record.end(), kEndCode) - record.begin(),
      static_cast<long>(layout->stream_end - 1));
  EXPECT_EQ(layout->header.number, std::stoi(name.substr(1)));
  EXPECT_GE(layout->header.width, 1);
  EXPECT_LE(layout->header.width, 9);
  EXPECT_GE(layout->header.height, 1);
  EXPECT_LE(layout->header.height, 20);
  EXPECT_LE(layout->rest.size(), 15u);
  EXPECT_LE(record.size(), 201u);
  for (uint8_t cell : layout->front) EXPECT_LE(cell, 7);
  for (uint8_t cell : layout->back) EXPECT_LE(cell, 7);
}

// Every pattern: 1 to 4 colours, decodable, its rows ending exactly at the entry's end, and
// encoded again to its own bytes or to no more bytes of the same cells.
PatternGrid ExpectGoodPattern(std::span<const uint8_t> record, const std::string& name) {
  SCOPED_TRACE(name);
  EXPECT_EQ(ValidatePattern(record), kValidOk);
  EXPECT_GE(record[0], 1);
  const auto rows = ReadPatternRows(record);
  EXPECT_TRUE(rows);
  size_t used = kPatternHeaderSize;
  if (rows) {
    for (const auto& row : *rows) used += 2 + row.size();
  }
  EXPECT_EQ(used, record.size());
  EXPECT_EQ(ConvertPatternToCut(record).code, 0);
  const auto grid = DecodePattern(record);
  EXPECT_TRUE(grid);
  if (!grid) return PatternGrid{};
  const auto again = EncodePattern(record[0], *grid);
  EXPECT_TRUE(again);
  if (again && !std::equal(again->begin(), again->end(), record.begin(), record.end())) {
    EXPECT_LE(again->size(), record.size());
    EXPECT_EQ(DecodePattern(*again).value_or(PatternGrid{}).cells, grid->cells);
  }
  return *grid;
}

struct RomSummary {
  size_t techniques = 0;
  std::set<std::string> patterns;
  size_t widest = 0;
  size_t smallest = 1u << 30;
};

void CheckRom(std::string_view which, size_t entries, size_t end_marker, RomSummary& summary) {
  SCOPED_TRACE(std::string(which));
  const auto image = BuiltinImage(which);
  ASSERT_EQ(image.size(), kRomImageSize);
  EXPECT_EQ(DirectoryBase(image), 0u);
  const Directory dir = Read(image);
  ASSERT_EQ(dir.entries.size(), entries);
  EXPECT_EQ(dir.end_marker_offset, end_marker);
  EXPECT_TRUE(std::all_of(image.begin() + end_marker, image.begin() + 0x8000,
                          [](uint8_t b) { return b == 0xFF; }));
  uint32_t expected_start = 0x8000;
  for (const DirectoryEntry& e : dir.entries) {
    EXPECT_EQ(e.state, kEntryValid);
    EXPECT_EQ(e.start, expected_start) << e.name;
    expected_start = e.end;
    const size_t pos = EntryOffset(0, e.index);
    EXPECT_EQ(image[pos + 6] >> 4, 0x4) << e.name;
    EXPECT_EQ(image[pos + 9] >> 4, 0x4) << e.name;
    const Bytes data = EntityOf(image, e);
    if (e.name[0] == 'T') {
      ExpectGoodTechnique(data, e.name);
      ++summary.techniques;
    } else {
      ASSERT_EQ(e.name[0], 'P') << e.name;
      const PatternGrid grid = ExpectGoodPattern(data, e.name);
      summary.patterns.insert(e.name);
      summary.widest = std::max<size_t>(summary.widest, grid.width);
      summary.smallest = std::min<size_t>(summary.smallest, size_t{grid.width} * grid.rows);
    }
  }
  EXPECT_LE(expected_start, kRomImageSize);
  // The first entries exactly as the console has them.
  EXPECT_EQ(dir.entries[0].name, "T0001");
  EXPECT_EQ(EntityOf(image, dir.entries[0]), Bytes(kTechniqueT0001.begin(), kTechniqueT0001.end()));
  const Bytes first_entry(image.begin() + 0x80, image.begin() + 0x8C);
  EXPECT_EQ(first_entry,
            (Bytes{0xFC, 'T', '0', '0', '0', '1', 0x41, 0x80, 0x00, 0x41, 0x80, 0x29}));
  const auto p2000 = std::find_if(dir.entries.begin(), dir.entries.end(),
                                  [](const DirectoryEntry& e) { return e.name == "P2000"; });
  ASSERT_NE(p2000, dir.entries.end());
  EXPECT_EQ(EntityOf(image, *p2000), Bytes(kPatternP2000.begin(), kPatternP2000.end()));
}

TEST(BuiltinImages, RomImagesHoldTheirTechniquesAndPatterns) {
  RomSummary summary;
  CheckRom("R7kRom", 524, 0x1910, summary);
  CheckRom("R7kRomx", 531, 0x1964, summary);
  EXPECT_EQ(summary.techniques, 474u);
  ASSERT_EQ(summary.patterns.size(), 297u);
  EXPECT_EQ(*summary.patterns.begin(), "P2000");
  EXPECT_EQ(*summary.patterns.rbegin(), "P2296");
  EXPECT_GE(summary.widest, 100u);
  EXPECT_LE(summary.smallest, 4u);
}

TEST(BuiltinImages, UnknownNamesGiveNothing) {
  EXPECT_TRUE(BuiltinImage("R7kRomy").empty());
  EXPECT_TRUE(BuiltinImage("").empty());
  EXPECT_EQ(BuiltinImageNames().size(), 3u);
}

// Resolves a reference as the sector view does: "MOD" in the module's directory at 0x10000,
// "ROM" in R7kRom first, then in R7kRomx.
std::optional<Bytes> Resolve(std::span<const uint8_t> module, const PatternReference& ref) {
  std::vector<std::span<const uint8_t>> images;
  if (ref.source == kSourceModule) images = {module};
  if (ref.source == kSourceRom) images = {BuiltinImage("R7kRom"), BuiltinImage("R7kRomx")};
  for (auto image : images) {
    const uint32_t base = ref.source == kSourceModule ? kModuleDirectoryBase : 0;
    if (const auto entry = FindReferencedEntry(image, base, ref.index, ref.name)) {
      if (const auto bytes = EntityBytes(image, *entry)) return Bytes(bytes->begin(), bytes->end());
    }
  }
  return std::nullopt;
}

TEST(BuiltinImages, DemoModule) {
  const auto image = BuiltinImage("demo");
  ASSERT_EQ(image.size(), kModuleImageSize);
  EXPECT_EQ(DirectoryBase(image), kModuleDirectoryBase);
  const Directory dir = Read(image);
  ASSERT_FALSE(dir.entries.empty());
  EXPECT_EQ(dir.entries[0].start,
            DecodeModuleAddress(image.subspan(0x10000 + kEmptyDirectoryStartOffset).first<3>()));
  std::set<std::string> names;
  size_t deleted = 0, sectors = 0, mod_refs = 0, rom_refs = 0, empty_refs = 0;
  uint32_t expected_start = dir.entries[0].start;
  for (const DirectoryEntry& e : dir.entries) {
    SCOPED_TRACE(e.name);
    EXPECT_EQ(e.start, expected_start);
    expected_start = e.end;
    names.insert(e.name);
    if (e.state == kEntryDeleted) ++deleted;
    const Bytes data = EntityOf(image, e);
    EXPECT_EQ(ValidateEntity(e.name, data), kValidOk);
    switch (e.name[0]) {
      case 'T':
        EXPECT_EQ(e.name.substr(0, 2), "T0");
        ExpectGoodTechnique(data, e.name);
        break;
      case 'P':
        EXPECT_TRUE(e.name[1] >= '3' && e.name[1] <= '6');
        ExpectGoodPattern(data, e.name);
        break;
      case 'S': {
        ++sectors;
        const auto sector = ReadSectorRecord(data);
        ASSERT_TRUE(sector);
        EXPECT_TRUE(ReadTechniqueLayout(sector->technique));
        EXPECT_TRUE(DecodeInstructionRows(sector->technique).ended);
        for (const PatternReference& ref : {sector->front, sector->back}) {
          if (ref.empty) {
            ++empty_refs;
            continue;
          }
          (ref.source == kSourceModule ? mod_refs : rom_refs) += 1;
          const auto pattern = Resolve(image, ref);
          ASSERT_TRUE(pattern) << ref.name;
          const auto header = ReadPatternHeader(*pattern);
          ASSERT_TRUE(header);
          EXPECT_EQ(header->colours, ref.colours);
          EXPECT_EQ(header->width, ref.width);
          EXPECT_EQ(header->rows, ref.rows);
        }
        break;
      }
      default: EXPECT_EQ(e.name[0], '_');
    }
  }
  for (const char* text : {"_0000", "_0001", "_0002", "_0003", "_0004", "_0005", "_0006"}) {
    EXPECT_TRUE(names.count(text)) << text;
  }
  const auto t5 = std::find_if(dir.entries.begin(), dir.entries.end(),
                               [](const DirectoryEntry& e) { return e.name == "_0005"; });
  ASSERT_NE(t5, dir.entries.end());
  EXPECT_GE(t5->Size(), 94);
  EXPECT_EQ(deleted, 1u);
  EXPECT_GE(sectors, 3u);
  EXPECT_GE(mod_refs, 1u);
  EXPECT_GE(rom_refs, 1u);
  EXPECT_EQ(empty_refs, 1u);
  // Free space after the last entity, up to the end of the module.
  EXPECT_LT(expected_start, kModuleImageSize);
  EXPECT_TRUE(std::all_of(image.begin() + expected_start, image.end(),
                          [](uint8_t b) { return b == 0xFF; }));
}

}  // namespace
}  // namespace r7k
