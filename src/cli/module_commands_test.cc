#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "cli/cli_fixture.h"
#include "testing/module_builder.h"

// r7k copy, diff and gallery on files: what they print, their exit status, and that a refused
// copy leaves the target as it was. The gallery's page is looked at in gallery_browser_test.cc.
namespace r7k::cli {
namespace {

using testing::ReadBytes;
using testing::RunR7k;
using testing::WriteBytes;

class CopyAndDiff : public ::testing::Test {
 protected:
  std::string Put(const std::string& name, const r7k::testing::ModuleImage& image) {
    const std::string path = dir_.File(name);
    WriteBytes(path, image.bytes);
    return path;
  }
  ScratchDir dir_;
};

TEST_F(CopyAndDiff, CopyThenDiffTellsTheNewEntry) {
  const std::string demo = Put("demo.r7v", r7k::testing::ModuleImage("demo"));
  const std::string backup = Put("backup.r7v", r7k::testing::ModuleImage("demo"));
  auto run = RunR7k({"diff", demo, backup});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "");

  // Within one module, under another name.
  run = RunR7k({"copy", demo, "P3001", demo, "--as", "P3999"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, demo + ": added P3999 as entry 27 (71 bytes)\n");
  run = RunR7k({"diff", backup, demo});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "only in " + demo + ": FC P3999 (71 bytes at 103565)\n");
  run = RunR7k({"diff", "--json", backup, demo});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(
      run.out.find("\"only_in_b\": [\n    {\n      \"Valid\": \"FC\",\n      \"Name\": \"P3999\""),
      std::string::npos)
      << run.out;

  // Refusals (told as the new-entry procedures tell them) and a read-only target write nothing.
  const std::string rom = dir_.File("rom.r7v");
  ASSERT_EQ(RunR7k({"builtin", "R7kRom", "-o", rom}).status, 0);
  const auto before = ReadBytes(demo);
  run = RunR7k({"copy", rom, "P2000", demo});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "r7k copy: Incorrect pattern name: P2000\n");
  if (geteuid() != 0) {
    ::chmod(demo.c_str(), 0444);
    run = RunR7k({"copy", rom, "P2000", demo, "--as", "P3998"});
    EXPECT_EQ(run.err, "Cannot open " + demo + "\n");
    ::chmod(demo.c_str(), 0644);
  }
  EXPECT_EQ(RunR7k({"copy", demo, "P3001"}).status, 2);
  EXPECT_EQ(ReadBytes(demo), before);
}

TEST_F(CopyAndDiff, DiffOfDamagedOtherSizedAndMissingModules) {
  r7k::testing::ModuleImage demo("demo");
  const std::string a = Put("a.r7v", demo);
  demo.Record("P3000")[9] ^= 1;
  demo.bytes[0x10012] = 0;  // the directory's check bytes
  const std::string b = Put("b.r7v", demo);
  auto run = RunR7k({"diff", a, b});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Cannot Load file " + b +
                         ", directory corrupted, please defragment the Memory Module with the "
                         "R7000 console.\nr7k diff: the bytes of " +
                         b + " are compared through the directory of " + a + "\n");
  EXPECT_EQ(run.out.substr(0, run.out.find('(')), "different: FC P3000 ");
  EXPECT_NE(run.out.find("bytes 0x10012-0x10012 differ (1 byte, directory header)\n"),
            std::string::npos)
      << run.out;

  const std::string rom = dir_.File("rom.r7v");
  ASSERT_EQ(RunR7k({"builtin", "R7kRomx", "-o", rom}).status, 0);
  run = RunR7k({"diff", rom, a});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(
      run.out.ends_with("bytes 0x30000-0x7FFFF differ (327680 bytes, only in " + a + ")\n"));

  // A name that would steer the terminal is shown escaped, as ls shows it; copy takes it.
  r7k::testing::ModuleImage odd("demo");
  const auto p3001 = odd.Record("P3001");
  odd.Add("P3\x1b[2", std::vector<uint8_t>(p3001.begin(), p3001.end()));
  const std::string c = Put("c.r7v", odd);
  run = RunR7k({"diff", a, c});
  EXPECT_EQ(run.out, "only in " + c + ": FC P3\\x1B[2 (71 bytes at 103565)\n");
  run = RunR7k({"copy", c, "P3\x1b[2", c, "--as", "P3\x1b[3"});
  EXPECT_EQ(run.out, c + ": added P3\\x1B[3 as entry 28 (71 bytes)\n");

  run = RunR7k({"diff", a, dir_.File("none.r7v")});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
}

TEST_F(CopyAndDiff, GalleryOfDamagedModulesAndIntoNoFolder) {
  r7k::testing::ModuleImage demo("demo");
  const std::string good = Put("good.r7v", demo);
  demo.bytes[0x10012] = 0;
  const std::string damaged = Put("damaged.r7v", demo);
  auto run = RunR7k({"gallery", damaged, "-o", dir_.File("out"), "--no-open"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.err.starts_with("Cannot Load file " + damaged + ", directory corrupted"));
  run = RunR7k({"gallery", good, "-o", good, "--no-open"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "r7k gallery: Cannot make the folder " + good + "/good-gallery\n");
  EXPECT_EQ(RunR7k({"gallery", good, "-o", "", "--no-open"}).status, 2);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("out")));
}

}  // namespace
}  // namespace r7k::cli
