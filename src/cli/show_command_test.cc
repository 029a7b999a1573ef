#include <gtest/gtest.h>

#include <filesystem>

#include "cli/cli_fixture.h"
#include "module/builtin_images.h"

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

TEST_F(EditingCommands, ExportAndImportPrintWhatTheyDid) {
  const std::string demo = Put("demo.r7v", "demo");
  const std::string out = dir_.File("out");
  std::filesystem::create_directory(out);
  auto run = RunR7k({"export", demo, "T0031", "--dir", out});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "File " + out + "/T0031.r7k saved\n");
  auto technique = ReadBytes(out + "/T0031.r7k");
  ASSERT_GT(technique.size(), 11u);
  technique[6] ^= 0x10;
  WriteBytes(out + "/T0031.r7k", technique);
  run = RunR7k({"import", demo, out + "/T0031.r7k"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Memory Module updated\n");
  WriteBytes(out + "/T0031.r7k", std::vector<uint8_t>(technique.size() + 10, 0));
  EXPECT_EQ(RunR7k({"import", demo, out + "/T0031.r7k"}).status, 1);
}

TEST_F(EditingCommands, NewEntriesSplitAndClipPrintWhatTheyDid) {
  const std::string demo = Put("demo.r7v", "demo");
  ASSERT_EQ(RunR7k({"new-technique", demo, "T0123", "31"}).status, 0);
  auto run = RunR7k({"new-technique", demo, "T0123", "31"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "New Technique: Technique T0123 already exists\n");
  ASSERT_EQ(RunR7k({"new-pattern", demo, "P6999", "19"}).status, 0);

  run = RunR7k({"split", demo});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string folder = run.out.substr(0, run.out.size() - 1);
  EXPECT_TRUE(std::filesystem::exists(folder + "/P6999.r7k"));
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

// Names that cannot be file names are reported escaped, and the exit status says so.
TEST_F(EditingCommands, SplitAndLsShowNamesThatCannotBeFilesEscaped) {
  const std::string demo = Put("demo.r7v", "demo");
  auto image = ReadBytes(demo);
  std::copy_n("T\x1B[2J", 5, image.begin() + 0x10080 + 1);  // would clear the screen
  WriteBytes(demo, image);
  auto run = RunR7k({"split", demo});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "r7k split: T\\x1B[2J not written: the name cannot be a file name\n");
  run = RunR7k({"ls", demo});
  EXPECT_TRUE(run.out.starts_with("   FC T\\x1B[2J ")) << run.out;
  EXPECT_EQ(run.out.find('\x1B'), std::string::npos);
}

}  // namespace
}  // namespace r7k::cli
