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

const EntryDifference* Find(const ModuleDiff& diff, EntryChange change, std::string_view name) {
  for (const EntryDifference& d : diff.entries) {
    const auto& e = d.a ? d.a : d.b;
    if (d.change == change && e->name == name) return &d;
  }
  return nullptr;
}

Bytes Pattern(uint16_t width, uint16_t rows, uint8_t colour) {
  PatternGrid grid{width, rows, std::vector<uint8_t>(size_t{width} * rows, colour)};
  return *EncodePattern(1, grid);
}

TEST(ModuleDiff, EntriesOnlyInOneChangedAndMoved) {
  ModuleImage a("demo");
  EXPECT_TRUE(Diff(a.bytes, a.bytes).identical);

  ModuleImage b = a;
  // The colour of the first run of P3001's first row: a repeat run's stitches, or one.
  const std::span<uint8_t> p3001 = b.Record("P3001");
  const uint8_t control = p3001[9];
  p3001[10] ^= 1;
  b.Record("T0020")[20] ^= 0xFF;
  b.Add("P3900", Pattern(3, 2, 7));
  b.bytes[kModuleDirectoryBase + 3] = 0x55;  // directory header
  b.bytes[0x7FFF0] = 0;                      // free space at the end
  b.bytes[0x7FFF1] = 0;

  const ModuleDiff diff = Diff(a.bytes, b.bytes);
  EXPECT_FALSE(diff.identical);
  ASSERT_EQ(diff.entries.size(), 3u);
  const EntryDifference* p = Find(diff, EntryChange::kChanged, "P3001");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->cells_differing, control & 0x80 ? control & 0x7Fu : 1u);
  EXPECT_EQ(p->width_a, ReadBe16(p3001, 1));
  const EntryDifference* t = Find(diff, EntryChange::kChanged, "T0020");
  ASSERT_TRUE(t);
  EXPECT_EQ(t->bytes_differing, 1u);
  EXPECT_FALSE(t->cells_differing);
  const EntryDifference* added = Find(diff, EntryChange::kOnlyInB, "P3900");
  ASSERT_TRUE(added);
  EXPECT_EQ(added->b->Size(), 17);  // 7 + 2 rows of 2 + 3
  ASSERT_EQ(diff.outside.size(), 2u) << "the new entry's directory slot is explained by it";
  EXPECT_EQ(diff.outside[0].start, kModuleDirectoryBase + 3);
  EXPECT_EQ(diff.outside[0].end, kModuleDirectoryBase + 4);
  EXPECT_STREQ(ByteAreaText(diff.outside[0].area), "directory header");
  EXPECT_EQ(diff.outside[1].start, 0x7FFF0u);
  EXPECT_EQ(diff.outside[1].end, 0x7FFF2u);
  EXPECT_STREQ(ByteAreaText(diff.outside[1].area), "free space");

  // The other way round the new entry is only in A.
  const ModuleDiff back = Diff(b.bytes, a.bytes);
  EXPECT_TRUE(Find(back, EntryChange::kOnlyInA, "P3900"));

  // The same bytes at another place; an address written with another upper nibble shows as
  // a directory difference only.
  ModuleImage c("demo");
  ModuleImage d("demo");
  c.Add("P3900", Pattern(3, 2, 7)).Add("P3901", Pattern(2, 2, 1));
  d.Add("P3901", Pattern(2, 2, 1)).Add("P3900", Pattern(3, 2, 7));
  const size_t slot = EntryOffset(kModuleDirectoryBase, 0) + 6;
  d.bytes[slot] ^= 0x40;
  const ModuleDiff moved = Diff(c.bytes, d.bytes);
  EXPECT_TRUE(Find(moved, EntryChange::kMoved, "P3900"));
  EXPECT_TRUE(Find(moved, EntryChange::kMoved, "P3901"));
  ASSERT_EQ(moved.outside.size(), 1u);
  EXPECT_EQ(moved.outside[0].start, slot);
  EXPECT_STREQ(ByteAreaText(moved.outside[0].area), "directory");
}

TEST(ModuleDiff, PatternsOfOtherSizesDuplicatesAndStates) {
  ModuleImage a;
  a.Add("P3000", Pattern(4, 3, 1), kEntryDeleted).Add("P3000", Pattern(4, 3, 1));
  ModuleImage b;
  b.Add("P3000", Pattern(4, 3, 1)).Add("P3000", Pattern(5, 2, 1));
  const ModuleDiff diff = Diff(a.bytes, b.bytes);
  // A's deleted P3000 has no partner; its valid one meets B's first and is only moved; B's
  // second is only in B.
  EXPECT_TRUE(Find(diff, EntryChange::kOnlyInA, "P3000"));
  EXPECT_EQ(Find(diff, EntryChange::kOnlyInA, "P3000")->a->state, kEntryDeleted);
  EXPECT_TRUE(Find(diff, EntryChange::kMoved, "P3000"));
  EXPECT_TRUE(Find(diff, EntryChange::kOnlyInB, "P3000"));

  ModuleImage c;
  c.Add("P3000", Pattern(4, 3, 1));
  ModuleImage d;
  d.Add("P3000", Pattern(5, 2, 2));
  const ModuleDiff sizes = Diff(c.bytes, d.bytes);
  const EntryDifference* p = Find(sizes, EntryChange::kChanged, "P3000");
  ASSERT_TRUE(p);
  // 4 x 3 against 5 x 2: 8 common cells all differ, 4 only in A, 2 only in B.
  EXPECT_EQ(p->cells_differing, 14u);
  EXPECT_EQ(p->rows_b, 2);
  // A pattern that does not decode gets no cell count.
  d.Record("P3000")[5] = 1;
  EXPECT_FALSE(Find(Diff(c.bytes, d.bytes), EntryChange::kChanged, "P3000")->cells_differing);
}

TEST(ModuleDiff, DamagedSizesAndLayouts) {
  // A damaged directory header: B is read through A's directory.
  ModuleImage a("demo");
  ModuleImage b = a;
  b.Record("P3000")[9] ^= 1;
  b.bytes[kModuleDirectoryBase + 0x10] = 0;
  ASSERT_NE(ReadDirectory(b.bytes).error, DirectoryError::kNone);
  const ModuleDiff damaged = Diff(a.bytes, b.bytes);
  EXPECT_TRUE(Find(damaged, EntryChange::kChanged, "P3000"));
  ASSERT_EQ(damaged.outside.size(), 1u);
  EXPECT_STREQ(ByteAreaText(damaged.outside[0].area), "directory header");

  // Neither directory: every difference is a range.
  ModuleImage c = b;
  c.bytes[0x7FFFF] = 0;
  const ModuleDiff blind = DiffModules(b.bytes, nullptr, c.bytes, nullptr);
  EXPECT_TRUE(blind.entries.empty());
  ASSERT_EQ(blind.outside.size(), 1u);

  // A ROM image against a module: the module's last 327,680 bytes are beyond A's end.
  ModuleImage rom("R7kRom");
  const ModuleDiff layouts = Diff(rom.bytes, a.bytes);
  EXPECT_TRUE(Find(layouts, EntryChange::kOnlyInA, "T0001"));
  EXPECT_TRUE(Find(layouts, EntryChange::kOnlyInB, "P3000"));
  ASSERT_FALSE(layouts.outside.empty());
  EXPECT_STREQ(ByteAreaText(layouts.outside.back().area), "beyond the end of A");
  EXPECT_EQ(layouts.outside.back().end, kModuleImageSize);
}

// Whatever bytes change, every differing byte is explained by a reported entry (its data or
// its directory slot) or lies in a reported range.
TEST(ModuleDiff, EveryDifferingByteIsReported) {
  const ModuleImage demo("demo");
  std::mt19937 random(20);
  for (int round = 0; round < 200; ++round) {
    Bytes b = demo.bytes;
    const int changes = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < changes; ++i) {
      // Mostly the directory and the entities, sometimes anywhere.
      const size_t at = random() % 2 ? kModuleDirectoryBase + random() % 0x400
                                     : 0x18000 + random() % 0x1400;
      b[round % 7 == 0 ? random() % b.size() : at] = static_cast<uint8_t>(random());
    }
    const ModuleDiff diff = Diff(demo.bytes, b);
    std::vector<bool> told(b.size(), false);
    auto tell = [&](size_t from, size_t to) {
      for (size_t i = from; i < std::min(to, told.size()); ++i) told[i] = true;
    };
    for (const EntryDifference& d : diff.entries) {
      for (const auto* e : {d.a ? &*d.a : nullptr, d.b ? &*d.b : nullptr}) {
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
