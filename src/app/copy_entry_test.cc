#include "app/copy_entry.h"

#include <gtest/gtest.h>

#include "module/address.h"
#include "testing/module_builder.h"

namespace r7k {
namespace {

using testing::Bytes;
using testing::ModuleImage;

class CopyEntryTest : public ::testing::Test {
 protected:
  CopyResult Copy(Bytes& target, const std::string& name, const std::string& as = "",
                  bool replace = false) {
    return CopyEntry(demo_.bytes, ReadDirectory(demo_.bytes).directory, target,
                     {name, as, replace});
  }
  // Refused with `text`, and the target as it was.
  void ExpectRefused(Bytes target, const std::string& name, const std::string& text,
                     const std::string& as = "", bool replace = false) {
    const Bytes before = target;
    const CopyResult result = Copy(target, name, as, replace);
    ASSERT_TRUE(result.refusal) << name;
    EXPECT_EQ(result.refusal->text, text);
    EXPECT_EQ(target, before);
  }
  static std::vector<uint8_t> Record(ModuleImage& image, std::string_view name) {
    const auto r = image.Record(name);
    return {r.begin(), r.end()};
  }
  ModuleImage demo_{"demo"};
};

TEST_F(CopyEntryTest, EntriesArriveWholeAndSectorsTellTheirPatterns) {
  // The sector's patterns are entries 19 and 17 of the demo module: a target without them is
  // told what the sector then shows; one holding the same P4001 at entry 17 is told so.
  ModuleImage target;
  CopyResult result;
  for (const char* name : {"P3000", "T0020", "S0012"}) {
    result = Copy(target.bytes, name);
    ASSERT_FALSE(result.refusal) << result.refusal->text;
    EXPECT_EQ(Record(target, name), Record(demo_, name));
  }
  ASSERT_EQ(result.notes.size(), 2u);
  EXPECT_EQ(result.notes[0],
            "S0012's front pattern P5123 is entry 19 of the source module; the target has no "
            "P5123 at entry 19, so there the sector shows no front pattern");
  ModuleImage copy("demo");
  result = Copy(copy.bytes, "S0012", "S0099");
  ASSERT_FALSE(result.refusal);
  EXPECT_EQ(result.done, "added S0099 as entry 27 (360 bytes)");
  ASSERT_EQ(result.notes.size(), 3u);
  EXPECT_EQ(result.notes[0], "S0099 carries the number 99 of its name (bytes 1 and 2)");
  EXPECT_EQ(result.notes[2],
            "S0099's back pattern P4001 is entry 17 of the source module; the target holds the "
            "same pattern there");
  EXPECT_EQ(ReadBe16(copy.Record("S0099"), 1), 99);

  // A deleted entry is copied when there is no valid one; names that are no file names pass.
  ModuleImage odd;
  odd.Add("P3/..", Record(demo_, "P3001"), kEntryDeleted);
  result =
      CopyEntry(odd.bytes, ReadDirectory(odd.bytes).directory, target.bytes, {"P3/..", "", false});
  ASSERT_FALSE(result.refusal);
  EXPECT_EQ(result.notes[0], "P3/.. is not valid in the source module; its bytes are copied");
  EXPECT_EQ(Record(target, "P3/.."), Record(demo_, "P3001"));
}

TEST_F(CopyEntryTest, WhatTheTargetCannotHoldIsRefusedWithNothingWritten) {
  ModuleImage module("demo");
  ExpectRefused(module.bytes, "P3000", "Pattern P3000 already exists");
  ExpectRefused(module.bytes, "P3000", "Incorrect pattern name: P2999", "P2999");
  ExpectRefused(module.bytes, "P3000", "P3000 cannot be copied as T0999: a copy keeps its kind",
                "T0999");
  ExpectRefused(module.bytes, "_0000",
                "_0000 is no technique, pattern or sector; only those are copied");
  ExpectRefused(module.bytes, "P7777", "There is no entry P7777 in the source module");
  ExpectRefused(ModuleImage("R7kRom").bytes, "P3000",
                "Entries can only be added to a module image (directory at 0x10000), not to a "
                "ROM image");
  // A sector named for another number fails its validation unless renamed by --as.
  std::span<uint8_t> sector = demo_.Record("S0012");
  sector[2] = 13;
  ExpectRefused(module.bytes, "S0012", "Validate result = 3");

  // A directory with room for one entry, a module with room for 100 bytes, a damaged one.
  ModuleImage one(kModuleImageSize, kModuleDirectoryBase + kFirstEntryOffset + 2 * 12);
  ASSERT_FALSE(Copy(one.bytes, "P3001").refusal);
  ExpectRefused(one.bytes, "P4001", "The directory has no room for another entry; nothing added");
  ModuleImage full(kModuleImageSize, kModuleImageSize - 100);
  ExpectRefused(full.bytes, "P3000", "The new entry does not fit in the module; nothing added");
  ModuleImage damaged;
  damaged.bytes[kModuleDirectoryBase + 0x12] = 0;
  ExpectRefused(damaged.bytes, "P3000",
                "The directory of the module is corrupted or has no end; nothing copied");
}

TEST_F(CopyEntryTest, ReplaceInPlaceOrByANewEntry) {
  // The same size in place; a smaller pattern in place, the rest 0; a larger one as a new
  // entry, the old one deleted, and the sectors that show it told.
  ModuleImage module("demo");
  module.Record("T0020")[20] ^= 1;
  CopyResult result = Copy(module.bytes, "T0020", "", true);
  EXPECT_EQ(result.done, "replaced T0020 in place (91 bytes)");
  EXPECT_EQ(module.bytes, demo_.bytes);

  result = Copy(module.bytes, "P3001", "P3000", true);
  ASSERT_FALSE(result.refusal);
  EXPECT_EQ(result.done,
            "replaced P3000 in place (71 bytes; the last 554 bytes of its entry are now 0)");
  const auto p3000 = module.Record("P3000");
  EXPECT_TRUE(std::equal(p3000.begin(), p3000.begin() + 71, demo_.Record("P3001").begin()));
  EXPECT_TRUE(std::all_of(p3000.begin() + 71, p3000.end(), [](uint8_t b) { return b == 0; }));

  result = Copy(module.bytes, "P4000", "P3001", true);
  ASSERT_FALSE(result.refusal);
  EXPECT_EQ(
      result.done,
      "added P3001 as entry 27 (646 bytes); the old P3001 (entry 13, 71 bytes) is now deleted");
  const Directory dir = ReadDirectory(module.bytes).directory;
  EXPECT_EQ(dir.entries[13].state, kEntryDeleted);
  EXPECT_EQ(dir.entries[27].name, "P3001");

  ModuleImage shown("demo");
  result = Copy(shown.bytes, "P3000", "P5123", true);
  ASSERT_FALSE(result.refusal);
  ASSERT_EQ(result.notes.size(), 1u);
  EXPECT_EQ(result.notes[0],
            "S0012's front pattern still shows the old P5123 (entry 19, now deleted)");
}

}  // namespace
}  // namespace r7k
