#include "app/gallery.h"

#include <gtest/gtest.h>

#include "app/pattern_view_fixture.h"
#include "module/address.h"
#include "testing/file_modes.h"
#include "testing/module_builder.h"

namespace r7k {
namespace {

namespace fs = std::filesystem;
using testing::ModuleImage;

class GalleryTest : public testing::PictureProcedures {
 protected:
  GalleryResult Write(const ModuleImage& image, const std::string& name = "m.r7v") {
    const fs::path path = folder_ / name;
    testing::WriteAll(path, image.bytes);
    return WriteGallery(path.string(), LoadVirtualModule(path.string()), folder_ / "out");
  }
  std::string Page(const GalleryResult& result) {
    const auto bytes = testing::ReadAll(result.files->page);
    return {bytes.begin(), bytes.end()};
  }
  size_t Pictures(const GalleryResult& result) {
    size_t count = 0;
    for (const auto& file : fs::directory_iterator(result.files->pictures))
      count += file.path().extension() == ".png";
    return count;
  }
};

TEST_F(GalleryTest, EveryPatternOfTheRomAndOddNamesStayInTheirFolder) {
  ModuleImage rom("R7kRom");
  size_t patterns = 0;
  for (const DirectoryEntry& e : ReadDirectory(rom.bytes).directory.entries)
    patterns += e.name.starts_with('P');
  GalleryResult result = Write(rom, "rom.r7v");
  ASSERT_TRUE(result.files) << result.error;
  EXPECT_EQ(result.files->page, folder_ / "out" / "rom-gallery.htm");
  EXPECT_EQ(result.files->patterns, static_cast<int>(patterns));
  EXPECT_EQ(result.files->pictured, result.files->patterns);
  EXPECT_EQ(Pictures(result), patterns);

  // A name with slashes (the page's escaping is looked at in a browser); a pattern that does
  // not decode; a "WOp".
  ModuleImage odd, demo("demo");
  const auto p3001 = demo.Record("P3001");
  std::vector<uint8_t> record(p3001.begin(), p3001.end());
  odd.Add("P/../", record);
  record[5] = 1;
  odd.Add("P3000", record).Add("T0001", record, kEntryWop);
  result = Write(odd);
  ASSERT_TRUE(result.files) << result.error;
  EXPECT_EQ(result.files->pictured, 1);
  EXPECT_EQ(result.files->patterns, 2);
  EXPECT_EQ(Pictures(result), 1u);
  EXPECT_TRUE(fs::exists(result.files->pictures / "000-P____.png"));
  const std::string page = Page(result);
  EXPECT_NE(page.find("<span class=\"name\">P3000</span><br>cannot be pictured"),
            std::string::npos);
  EXPECT_NE(page.find("<section class=\"deleted\">"), std::string::npos);
  EXPECT_NE(page.find("T0001</a> (state FE)"), std::string::npos) << page;
}

TEST_F(GalleryTest, RefusedOutputsWriteNothing) {
  if (!PosixFileSystem()) GTEST_SKIP() << "links, mode bits and sysfs are POSIX's";
  const fs::path module = folder_ / "m.r7v";
  testing::WriteAll(module, demo_);
  fs::create_directories(folder_ / "out");
  fs::create_symlink(module, folder_ / "out" / "m-gallery.htm");
  GalleryResult result =
      WriteGallery(module.string(), LoadVirtualModule(module.string()), folder_ / "out");
  ASSERT_TRUE(result.refusal);
  EXPECT_EQ(result.refusal->kind, OutputRefusalKind::kInput);
  EXPECT_FALSE(fs::exists(folder_ / "out" / "m-gallery"));
  EXPECT_EQ(testing::ReadAll(module), std::vector<uint8_t>(demo_.begin(), demo_.end()));

  // A picture's name taken by a module the user keeps.
  fs::remove(folder_ / "out" / "m-gallery.htm");
  fs::create_directories(folder_ / "out" / "m-gallery");
  testing::WriteAll(folder_ / "out" / "m-gallery" / "012-P3000.png", demo_);
  result = WriteGallery(module.string(), LoadVirtualModule(module.string()), folder_ / "out");
  ASSERT_TRUE(result.refusal);
  EXPECT_EQ(result.refusal->kind, OutputRefusalKind::kUserFile);
  EXPECT_FALSE(fs::exists(folder_ / "out" / "m-gallery.htm"));
}

TEST_F(GalleryTest, TheGalleryButtonOpensThePageOfTheCurrentModule) {
  EXPECT_EQ(Run("DP_Gallery"), 1);
  EXPECT_EQ(StoreGetString(app_, "_Status"),
            "Gallery " + (pictures_ / "demo-gallery.htm").string());
  EXPECT_TRUE(fs::exists(pictures_ / "demo-gallery" / "012-P3000.png"));

  auto damaged = std::vector<uint8_t>(demo_.begin(), demo_.end());
  damaged[kModuleDirectoryBase + 0x10] = 0;
  testing::WriteAll(module_, damaged);
  EXPECT_EQ(Run("DP_Gallery"), 2);
  ASSERT_EQ(view_.messages().size(), 1u);
  EXPECT_EQ(view_.messages()[0].caption, "Gallery");
  EXPECT_EQ(view_.messages()[0].text,
            "Cannot Load file " + module_.string() +
                ", directory corrupted, please defragment the Memory Module with the R7000 "
                "console.");
}

}  // namespace
}  // namespace r7k
