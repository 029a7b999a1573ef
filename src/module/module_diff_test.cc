#include "module/module_diff.h"

#include <gtest/gtest.h>

#include <random>

#include "module/pattern.h"
#include "testing/module_builder.h"

namespace r7k {
namespace {

using testing::Bytes;
using testing::ModuleImage;

ModuleDiff Diff(const Bytes& a, const Bytes& b) {
  const DirectoryResult da = ReadDirectory(a);
  const DirectoryResult db = ReadDirectory(b);
  return DiffModules(a, da.error == DirectoryError::kNone ? &da.directory : nullptr, b,
                     db.error == DirectoryError::kNone ? &db.directory : nullptr);
}

// The report in one line: "changed P3001 2 bytes 3 cells; only-b P3900; 0x10003+1 directory
// header".
std::string Told(const ModuleDiff& diff) {
  static constexpr const char* kChange[] = {"only-a", "only-b", "changed", "moved"};
  std::string out;
  for (const EntryDifference& d : diff.entries) {
    const DirectoryEntry& e = d.a ? *d.a : *d.b;
    out += std::string(kChange[static_cast<int>(d.change)]) + ' ' + e.name;
    if (e.state != kEntryValid) out += "(deleted)";
    if (d.change == EntryChange::kChanged)
      out += ' ' + std::to_string(d.bytes_differing) + " bytes";
    if (d.cells_differing) out += ' ' + std::to_string(*d.cells_differing) + " cells";
    out += "; ";
  }
  for (const ByteRange& r : diff.outside) {
    char range[32];
    std::snprintf(range, sizeof range, "0x%zX+%zu ", r.start, r.end - r.start);
    out += range + std::string(ByteAreaText(r.area)) + "; ";
  }
  return out;
}

Bytes Pattern(uint16_t width, uint16_t rows, uint8_t colour) {
  return *EncodePattern(1, {width, rows, std::vector<uint8_t>(size_t{width} * rows, colour)});
}

TEST(ModuleDiff, EntriesHeaderAndFreeSpace) {
  ModuleImage a("demo");
  EXPECT_TRUE(Diff(a.bytes, a.bytes).identical);
  ModuleImage b = a;
  // The colour of the first run of P3001's first row: a repeat run's stitches, or one.
  const std::span<uint8_t> p3001 = b.Record("P3001");
  const unsigned cells = p3001[9] & 0x80 ? p3001[9] & 0x7F : 1;
  p3001[10] ^= 1;
  b.Record("T0020")[20] ^= 0xFF;
  b.Add("P3900", Pattern(3, 2, 7));  // its directory slot is explained by it
  b.bytes[kModuleDirectoryBase + 3] = 0x55;
  b.bytes[0x7FFF0] = b.bytes[0x7FFF1] = 0;
  EXPECT_EQ(Told(Diff(a.bytes, b.bytes)),
            "changed T0020 1 bytes; changed P3001 1 bytes " + std::to_string(cells) +
                " cells; only-b P3900; 0x10003+1 directory header; 0x7FFF0+2 free space; ");
  EXPECT_TRUE(Told(Diff(b.bytes, a.bytes))
                  .ends_with("only-a P3900; 0x10003+1 directory header; "
                             "0x7FFF0+2 free space; "));

  // The same bytes elsewhere; an address with another upper nibble is a directory difference.
  ModuleImage c("demo"), d("demo");
  c.Add("P3900", Pattern(3, 2, 7)).Add("P3901", Pattern(2, 2, 1));
  d.Add("P3901", Pattern(2, 2, 1)).Add("P3900", Pattern(3, 2, 7));
  d.bytes[EntryOffset(kModuleDirectoryBase, 0) + 6] ^= 0x40;
  EXPECT_EQ(Told(Diff(c.bytes, d.bytes)), "moved P3900; moved P3901; 0x10086+1 directory; ");
}

TEST(ModuleDiff, DuplicatesPatternSizesDamageAndLayouts) {
  // A's deleted P3000 has no partner; its valid one meets B's first; B's second is only in B.
  ModuleImage a, b;
  a.Add("P3000", Pattern(4, 3, 1), kEntryDeleted).Add("P3000", Pattern(4, 3, 1));
  b.Add("P3000", Pattern(4, 3, 1)).Add("P3000", Pattern(5, 2, 2));
  EXPECT_EQ(Told(Diff(a.bytes, b.bytes)), "only-a P3000(deleted); moved P3000; only-b P3000; ");
  // 4 x 3 against 5 x 2: 8 common cells differ, 4 only in A, 2 only in B (the records: 6 of
  // their common 17 bytes differ, and A has 5 more); no count for a pattern that does not
  // decode.
  ModuleImage c, d;
  c.Add("P3000", Pattern(4, 3, 1));
  d.Add("P3000", Pattern(5, 2, 2));
  EXPECT_EQ(Told(Diff(c.bytes, d.bytes)), "changed P3000 11 bytes 14 cells; ");
  d.Record("P3000")[5] = 1;
  EXPECT_EQ(Told(Diff(c.bytes, d.bytes)), "changed P3000 12 bytes; ");

  // A damaged directory is read through the other's; with neither, all is ranges. (P3000's
  // first run, one longer, no longer decodes.)
  ModuleImage demo("demo"), damaged("demo");
  damaged.Record("P3000")[9] ^= 1;
  damaged.bytes[kModuleDirectoryBase + 0x10] = 0;
  EXPECT_EQ(Told(Diff(demo.bytes, damaged.bytes)),
            "changed P3000 1 bytes; 0x10010+1 directory header; ");
  EXPECT_EQ(Told(DiffModules(demo.bytes, nullptr, damaged.bytes, nullptr)),
            "0x10010+1 directory header; 0x1824A+1 free space; ");

  // A ROM image against a module: the module's last 327,680 bytes are beyond A's end.
  const ModuleDiff layouts = Diff(ModuleImage("R7kRom").bytes, demo.bytes);
  EXPECT_TRUE(Told(layouts).starts_with("only-a T0001; "));
  EXPECT_TRUE(Told(layouts).ends_with("0x30000+327680 beyond the end of A; "));
}

// Whatever bytes change, every differing byte is explained by a reported entry (its data or
// its directory slot) or lies in a reported range.
TEST(ModuleDiff, EveryDifferingByteIsReported) {
  const ModuleImage demo("demo");
  std::mt19937 random(20);
  for (int round = 0; round < 200; ++round) {
    Bytes b = demo.bytes;
    for (int i = 0, n = 1 + static_cast<int>(random() % 4); i < n; ++i) {
      // Mostly the directory and the entities, sometimes anywhere.
      const size_t at =
          random() % 2 ? kModuleDirectoryBase + random() % 0x400 : 0x18000 + random() % 0x1400;
      b[round % 7 == 0 ? random() % b.size() : at] = static_cast<uint8_t>(random());
    }
    const ModuleDiff diff = Diff(demo.bytes, b);
    std::vector<bool> told(b.size(), false);
    auto tell = [&](size_t from, size_t to) {
      for (size_t i = from; i < std::min(to, told.size()); ++i) told[i] = true;
    };
    for (const EntryDifference& d : diff.entries) {
      for (const auto& e : {d.a, d.b}) {
        if (!e) continue;
        if (e->start < e->end) tell(e->start, e->end);
        tell(EntryOffset(kModuleDirectoryBase, e->index),
             EntryOffset(kModuleDirectoryBase, e->index) + kDirectoryEntrySize);
      }
    }
    for (const ByteRange& r : diff.outside) tell(r.start, r.end);
    size_t untold = 0;
    for (size_t i = 0; i < b.size(); ++i) untold += b[i] != demo.bytes[i] && !told[i];
    EXPECT_EQ(untold, 0u) << "round " << round;
    EXPECT_EQ(diff.identical, b == demo.bytes);
    EXPECT_EQ(diff.identical, diff.entries.empty() && diff.outside.empty()) << "round " << round;
  }
}

}  // namespace
}  // namespace r7k
