#include "app/new_entries.h"

#include <ctime>
#include <set>

#include "app/directory_view_fixture.h"
#include "module/address.h"
#include "module/directory.h"
#include "testing/module_builder.h"

namespace r7k::testing {
namespace {

class NewEntries : public EditingTest {
 protected:
  // A module whose one entry, T0009, ends at 0x1C500.
  std::vector<uint8_t> SmallModule() {
    return ModuleImage(kModuleImageSize, 0x1C500 - 41).Add("T0009", Bytes(41, 0xFF)).bytes;
  }
  int AddTechnique(const std::string& name, const std::string& size) {
    view_.WhenDialogOpens("NewTech", [=](DialogUser& user) {
      EXPECT_TRUE(user.Set("t_Name", name));
      EXPECT_TRUE(user.Set("t_Size", size));
      user.Press("OK");
    });
    return DP_NewTechnique(base_, 0, 0, main_, app_);
  }
};

TEST_F(NewEntries, NewTechniqueBytesAt0x1C500) {
  UseModule("small.r7v", SmallModule());
  StoreSetString(app_, "Directory", "x");
  EXPECT_EQ(AddTechnique("T0123", "31"), 1);
  EXPECT_EQ(StoreGetType(app_, "Directory"), kItemNone);
  const auto image = ReadAll(module_);
  const size_t at = kModuleDirectoryBase + kFirstEntryOffset + kDirectoryEntrySize;
  const std::vector<uint8_t> entry(image.begin() + at, image.begin() + at + 12);
  EXPECT_EQ(entry, (std::vector<uint8_t>{0xFC, 'T', '0', '1', '2', '3', 0x83, 0xC5, 0x00, 0x83,
                                         0xC5, 0x1F}));
  std::vector<uint8_t> record = {0x12, 0x00, 0x7B, 0x00, 0x17, 0x00, 0x22, 0x00, 0x02,
                                 0x01, 0x01, 0x01, 0x07, 0x02, 0xE9, 0xEF, 0x01, 0x00};
  record.resize(31, 0x00);
  EXPECT_EQ(std::vector<uint8_t>(image.begin() + 0x1C500, image.begin() + 0x1C500 + 31), record);
  EXPECT_EQ(image.size(), kModuleImageSize);
  EXPECT_EQ(image[0x1C500 + 31], 0xFF);
}

TEST_F(NewEntries, RefusalsLeaveTheModuleUnchanged) {
  const auto before = ReadAll(module_);
  EXPECT_EQ(AddTechnique("T1000", "31"), 2);
  EXPECT_MESSAGE_SHOWN(view_, "New Technique", "Incorrect technique name: T1000");
  EXPECT_EQ(AddTechnique("T0020", "31"), 2);
  EXPECT_MESSAGE_SHOWN(view_, "New Technique", "Technique T0020 already exists");
  view_.WhenDialogOpens("NewTech", [](DialogUser& user) { user.Press("Cancel"); });
  EXPECT_EQ(DP_NewTechnique(base_, 0, 0, main_, app_), 2);
  EXPECT_MESSAGE_SHOWN(view_, "New Technique", "No technique added");
  view_.WhenDialogOpens("NewPat", [](DialogUser& user) {
    user.Set("p_Name", "P2500");
    user.Set("p_Size", "40");
    user.Press("OK");
  });
  EXPECT_EQ(DP_NewPattern(base_, 0, 0, main_, app_), 2);
  EXPECT_MESSAGE_SHOWN(view_, "New Pattern", "Incorrect pattern name: P2500");
  EXPECT_EQ(ReadAll(module_), before);
  // A truncated file is told as the loader tells it, not as a ROM image.
  const std::vector<uint8_t> cut(before.begin(), before.begin() + 500000);
  StoreSetString(app_, "CurrentVirtualModule", WriteImage("cut.r7v", cut));
  EXPECT_EQ(AddTechnique("T0123", "31"), 2);
  EXPECT_MESSAGE_SHOWN(view_, "New Technique",
                       "Cannot load file " + (dir_ / "cut.r7v").string() + ", incorrect filesize");
  EXPECT_EQ(ReadAll((dir_ / "cut.r7v").string()), cut);

  // The ROM layout, and a record that would run past the image.
  auto rom = std::vector<uint8_t>(BuiltinImage("R7kRom").begin(), BuiltinImage("R7kRom").end());
  EXPECT_TRUE(AddNewEntry(rom, NewEntryKind::kTechnique, "T0500", 31).has_value());
  EXPECT_EQ(rom,
            std::vector<uint8_t>(BuiltinImage("R7kRom").begin(), BuiltinImage("R7kRom").end()));
  auto small = SmallModule();
  const auto small_before = small;
  EXPECT_TRUE(AddNewEntry(small, NewEntryKind::kPattern, "P3000", kModuleImageSize).has_value());
  EXPECT_TRUE(AddNewEntry(small, NewEntryKind::kTechnique, "T0001", 40).has_value());
  EXPECT_EQ(small, small_before);
  // A directory without an end marker.
  auto endless = SmallModule();
  for (size_t at = kModuleDirectoryBase + kFirstEntryOffset + 12; at + 12 <= endless.size();
       at += 12)
    endless[at] = kEntryDeleted;
  const auto endless_before = endless;
  EXPECT_TRUE(AddNewEntry(endless, NewEntryKind::kPattern, "P3000", 40).has_value());
  EXPECT_EQ(endless, endless_before);
  // A damaged directory: the last entry T0010 ends before it starts, so the space after it
  // lies inside T0009 or inside T0010 itself; or T0009 reaches beyond the end of T0010.
  const struct {
    uint32_t t0009_end, t0010_start, t0010_end;
    const char* inside;
  } damages[] = {{0x1C500, 0x1C500, 0x1C4E0, "T0009"},
                 {0x1C500, 0x1C600, 0x1C500, "T0010"},
                 {0x1C600, 0x1C500, 0x1C510, "T0009"}};
  for (const auto& d : damages) {
    ModuleImage module(kModuleImageSize, 0x1C500 - 41);
    module.Add("T0009", Bytes(41, 0xFF)).Add("T0010", Bytes(16, 0xFF));
    const size_t first = kModuleDirectoryBase + kFirstEntryOffset;
    EncodeModuleAddress(d.t0009_end, module.Address(first + 9));
    EncodeModuleAddress(d.t0010_start, module.Address(first + kDirectoryEntrySize + 6));
    EncodeModuleAddress(d.t0010_end, module.Address(first + kDirectoryEntrySize + 9));
    const auto before = module.bytes;
    const auto refusal = AddNewEntry(module.bytes, NewEntryKind::kTechnique, "T0123", 31);
    ASSERT_TRUE(refusal.has_value()) << d.inside;
    EXPECT_EQ(refusal->text, std::string("The space after the last entry lies inside ") + d.inside +
                                 " (the directory is damaged); nothing added");
    EXPECT_EQ(module.bytes, before);
  }
}

TEST_F(NewEntries, NamesNumbersAndDeletedDuplicates) {
  auto image = SmallModule();
  image[kModuleDirectoryBase + kFirstEntryOffset] = kEntryDeleted;  // T0009 deleted
  EXPECT_EQ(AddNewEntry(image, NewEntryKind::kTechnique, "T0009", 21), std::nullopt);
  EXPECT_EQ(AddNewEntry(image, NewEntryKind::kTechnique, "T0X12", 21), std::nullopt);
  EXPECT_EQ(AddNewEntry(image, NewEntryKind::kPattern, "P6999", 19), std::nullopt);
  const DirectoryResult dir = ReadDirectory(image);
  ASSERT_EQ(dir.directory.entries.size(), 4u);
  EXPECT_EQ(dir.directory.entries[2].name, "T0X12");
  EXPECT_EQ(image[dir.directory.entries[2].start + 1], 0);
  EXPECT_EQ(image[dir.directory.entries[2].start + 2], 0);
  EXPECT_EQ(dir.directory.entries[3].Size(), 19);
}

// A split writes deleted entries too, never shares a folder (two in one second mixed their
// modules), and reports the names that cannot be file names.
TEST_F(NewEntries, SplitMakesANewFolderEachTimeAndClipCopiesTheDirectory) {
  auto image = ReadAll(module_);
  const size_t first = kModuleDirectoryBase + kFirstEntryOffset;
  std::copy_n("T\x1B[2J", 5, image.begin() + first + 1);
  std::copy_n("a/b.c", 5, image.begin() + first + kDirectoryEntrySize + 1);
  WriteImage("module.r7v", image);
  // Folders named by this second and the next few exist already.
  const auto now = std::time(nullptr);
  for (auto t = now - 1; t <= now + 5; ++t) {
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%08X", static_cast<unsigned>(t));
    std::filesystem::create_directory(dir_ / stamp);
  }
  std::set<std::string> folders;
  for (int i = 0; i < 2; ++i) {
    StoreDeleteItem(app_, "Directory");
    ASSERT_TRUE(LoadDirectory(base_, app_));
    const auto split = SplitIntoTimeFolder(app_);
    ASSERT_TRUE(split);
    folders.insert(split->folder);
    using Skipped = std::pair<std::string, std::string>;
    EXPECT_EQ(split->result.skipped,
              (std::vector<Skipped>{{"T\x1B[2J", "the name cannot be a file name"},
                                    {"a/b.c", "the name cannot be a file name"}}));
    TableHandle t = StoreGetTable(app_, "Directory");
    const int row = TableFindField(t, "P3002", 5, 1);
    const auto start = std::stoul(*TableCell(t, row, 2));
    const auto size = std::stoul(*TableCell(t, row, 4));
    EXPECT_EQ(split->result.written, TableRows(t) - 2);
    TableFree(t);
    EXPECT_EQ(ReadAll(split->folder + "/P3002.r7k"),
              std::vector<uint8_t>(image.begin() + start, image.begin() + start + size))
        << "deleted entries are written too";
  }
  EXPECT_EQ(folders.size(), 2u);
  // The folders that were there are left as they were: empty.
  for (const auto& f : std::filesystem::directory_iterator(dir_)) {
    if (f.is_directory() && !folders.contains(f.path().string())) {
      EXPECT_TRUE(std::filesystem::is_empty(f.path())) << f.path();
    }
  }

  EXPECT_EQ(DP_ClipDirectory(base_, 0, 0, main_, app_), 1);
  EXPECT_TRUE(view_.clipboard().starts_with("Valid\tName\tStart\tEnd\tSize\r\n"));
}

}  // namespace
}  // namespace r7k::testing
