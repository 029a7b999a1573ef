#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <set>

#include "cli/cli_fixture.h"
#include "module/builtin_images.h"
#include "module/cut.h"

// The editing commands: show, hex, export, import, new-technique, new-pattern, split, clip.
namespace r7k::cli {
namespace {

using testing::ReadBytes;
using testing::RunR7k;
using testing::WriteBytes;

class EditingCommands : public ::testing::Test {
 protected:
  std::string Put(const std::string& name, std::string_view image) {
    const auto bytes = BuiltinImage(image);
    const std::string path = dir_.File(name);
    WriteBytes(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
    return path;
  }
  ScratchDir dir_;
};

TEST_F(EditingCommands, ShowTechniqueSectorAndTextRecord) {
  const std::string rom = Put("rom.r7v", "R7kRom");
  auto run = RunR7k({"show", rom, "T0001"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Size:                41\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("byte 4:              0x02 always on\n"), std::string::npos);
  EXPECT_NE(run.out.find("02,02,1    LX,LX,1    LX,LX,1\n"), std::string::npos);
  EXPECT_TRUE(run.out.ends_with("EF         EVA        Ende der VerArbeitung\n"));

  run = RunR7k({"show", "--json", rom, "T0001"});
  ASSERT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("\"T_Byte4\": \"0x02 always on\\r\\n\""), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"Code\": \"C0\""), std::string::npos);

  const std::string demo = Put("demo.r7v", "demo");
  run = RunR7k({"show", demo, "S0003"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Back:                None\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("Back Src"), std::string::npos);

  run = RunR7k({"show", demo, "_0002"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.out.starts_with("Edge Motor LE: -")) << run.out;

  run = RunR7k({"show", demo, "T9999"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "no entry named T9999 in the module\n");
}

TEST_F(EditingCommands, HexPrintsTheWholeEntity) {
  const std::string rom = Put("rom.r7v", "R7kRom");
  auto run = RunR7k({"hex", rom, "T0001"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.out.starts_with("13 00 01 00 02 00 00 04 02 02 01 C0 D4 02 02 01 \n"));
  run = RunR7k({"hex", rom, "P2191"});  // 3,783 bytes, beyond what the dialog shows
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(run.out.size(), 3783u * 3 + (3783 + 15) / 16);
}

TEST_F(EditingCommands, ExportImportAndTheFilesTheyWrite) {
  const std::string demo = Put("demo.r7v", "demo");
  auto run = RunR7k({"export", demo, "P3001"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto record = ReadBytes(dir_.File("P3001.r7k"));
  ASSERT_FALSE(record.empty());
  EXPECT_EQ(ReadBytes(dir_.File("P3001.cut")), ConvertPatternToCut(record).bytes);
  EXPECT_EQ(run.out, "File " + dir_.File("P3001.r7k") + " saved\n");

  const std::string out = dir_.File("out");
  std::filesystem::create_directory(out);
  ASSERT_EQ(RunR7k({"export", demo, "T0031", "--dir", out}).status, 0);
  auto technique = ReadBytes(out + "/T0031.r7k");
  ASSERT_GT(technique.size(), 11u);

  // Import writes the file in place of the entry; a file of another size is refused.
  technique[6] ^= 0x10;
  WriteBytes(out + "/T0031.r7k", technique);
  run = RunR7k({"import", demo, out + "/T0031.r7k"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Memory Module updated\n");
  ASSERT_EQ(RunR7k({"export", demo, "T0031"}).status, 0);
  EXPECT_EQ(ReadBytes(dir_.File("T0031.r7k")), technique);
  const auto before = ReadBytes(demo);
  auto longer = technique;
  longer.resize(technique.size() + 10, 0);
  longer[0] = static_cast<uint8_t>(longer[0] + 1);  // the size code of 10 more bytes
  WriteBytes(out + "/T0031.r7k", longer);
  run = RunR7k({"import", demo, out + "/T0031.r7k"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(ReadBytes(demo), before);
}

TEST_F(EditingCommands, NewEntriesSplitAndClip) {
  const std::string demo = Put("demo.r7v", "demo");
  auto run = RunR7k({"new-technique", demo, "T0123", "31"});
  ASSERT_EQ(run.status, 0) << run.err;
  run = RunR7k({"new-technique", demo, "T0123", "31"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "New Technique: Technique T0123 already exists\n");
  EXPECT_EQ(RunR7k({"new-technique", demo, "T0124", "30"}).status, 1);
  ASSERT_EQ(RunR7k({"new-pattern", demo, "P6999", "19"}).status, 0);
  run = RunR7k({"show", demo, "T0123"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("01,07,2    KX,SX,2    KX,GX,2\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Handle state:         + 0x02\n"), std::string::npos);

  const std::string rom = Put("rom.r7v", "R7kRomx");
  run = RunR7k({"new-pattern", rom, "P3500", "40"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(ReadBytes(rom).size(), 196608u);

  run = RunR7k({"split", demo});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string folder = run.out.substr(0, run.out.size() - 1);
  EXPECT_TRUE(std::filesystem::exists(folder + "/P6999.r7k"));
  EXPECT_TRUE(std::filesystem::exists(folder + "/P3002.r7k"));

  run = RunR7k({"clip", demo});
  ASSERT_EQ(run.status, 0);
  EXPECT_TRUE(run.out.starts_with("Valid\tName\tStart\tEnd\tSize\r\nFC\t_0000\t"));
}

// A refusal names the refused thing and what is allowed; a missing file is not a missing entry.
TEST_F(EditingCommands, RefusalsNameWhatIsRefusedAndWhatIsAllowed) {
  const std::string demo = Put("demo.r7v", "demo");
  const auto before = ReadBytes(demo);
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"new-technique", demo, "T05011", "31"},
       "r7k new-technique: the name T05011 is refused: a name has 5 characters\n"},
      {{"new-technique", demo, "T0501", "40"},
       "r7k new-technique: the size 40 is refused: a technique has 21, 31, 41 ... 201 bytes\n"},
      {{"new-pattern", demo, "P3501", "18"},
       "r7k new-pattern: the size 18 is refused: a pattern has more than 18 bytes\n"},
      {{"import", demo, dir_.File("none/X9999.r7k")},
       "r7k import: cannot read the entity file " + dir_.File("none/X9999.r7k") +
           ": No such file or directory\n"},
      {{"import", demo, dir_.path().string()},
       "r7k import: cannot read the entity file " + dir_.path().string() + ": it is a folder\n"},
  };
  for (const auto& [args, message] : cases) {
    const auto run = RunR7k(args);
    EXPECT_EQ(run.status, 1) << args[0];
    EXPECT_EQ(run.err, message);
  }
  EXPECT_EQ(ReadBytes(demo), before);
}

// Two splits in the same second get folders of their own, and entries whose names cannot be
// file names are reported, escaped, and make the exit status say so.
TEST_F(EditingCommands, SplitMakesANewFolderAndReportsNamesThatCannotBeFiles) {
  const std::string demo = Put("demo.r7v", "demo");
  auto image = ReadBytes(demo);
  const size_t first = 0x10000 + 0x80;
  std::copy_n("T\x1B[2J", 5, image.begin() + first + 1);  // would clear the screen
  std::copy_n("a/b.c", 5, image.begin() + first + 12 + 1);
  WriteBytes(demo, image);
  // Folders named by this second and the next few exist already.
  const auto now = std::time(nullptr);
  for (auto t = now - 1; t <= now + 5; ++t) {
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%08X", static_cast<unsigned>(t));
    std::filesystem::create_directory(dir_.File(stamp));
  }

  std::set<std::string> folders;
  for (int i = 0; i < 2; ++i) {
    const auto run = RunR7k({"split", demo});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "r7k split: T\\x1B[2J not written: the name cannot be a file name\n"
              "r7k split: a/b.c not written: the name cannot be a file name\n");
    const std::string folder = run.out.substr(0, run.out.size() - 1);
    folders.insert(folder);
    EXPECT_TRUE(std::filesystem::exists(folder + "/P3002.r7k")) << folder;
  }
  EXPECT_EQ(folders.size(), 2u);
  // The folders that were there are left as they were: empty.
  for (const auto& f : std::filesystem::directory_iterator(dir_.path())) {
    if (f.is_directory() && !folders.contains(f.path().string())) {
      EXPECT_TRUE(std::filesystem::is_empty(f.path())) << f.path();
    }
  }

  // ls shows such names escaped too.
  const auto run = RunR7k({"ls", demo});
  EXPECT_TRUE(run.out.starts_with("   FC T\\x1B[2J ")) << run.out;
  EXPECT_EQ(run.out.find('\x1B'), std::string::npos);
}

}  // namespace
}  // namespace r7k::cli
