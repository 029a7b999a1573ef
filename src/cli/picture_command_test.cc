#include <gtest/gtest.h>
#include <unistd.h>

#include "cli/cli_fixture.h"
#include "common/little_endian.h"
#include "module/builtin_images.h"
#include "module/directory.h"
#include "module/sector.h"

namespace r7k::cli {
namespace {

using testing::ReadBytes;
using testing::RunR7k;
using testing::WriteBytes;

class PictureCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    demo_ = dir_.File("demo.r7v");
    const auto image = BuiltinImage("demo");
    WriteBytes(demo_, image);
    for (const auto& e : ReadDirectory(image).directory.entries) {
      if (e.state == kEntryValid) names_[e.name[0]].push_back(e.name);
    }
  }
  ScratchDir dir_;
  std::string demo_;
  std::map<char, std::vector<std::string>> names_;
};

TEST_F(PictureCommand, WritesPatternSectorAndTechniquePictures) {
  ASSERT_FALSE(names_['P'].empty());
  ASSERT_FALSE(names_['T'].empty());
  const std::string bmp = dir_.File("pat.bmp");
  auto run = RunR7k({"picture", demo_, names_['P'][0], "-o", bmp, "--png"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, bmp + "\n" + dir_.File("pat.png") + "\n");
  const auto bytes = ReadBytes(bmp);
  ASSERT_GT(bytes.size(), 1078u);
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(ReadBytes(dir_.File("pat.png")).at(1), 'P');

  run = RunR7k({"picture", demo_, names_['T'][0], "--grid", "back", "-o", dir_.File("t.bmp")});
  EXPECT_EQ(run.status, 0) << run.err;

  // Every sector shows each side it has, or says why not.
  for (const auto& sector : names_['S']) {
    for (const char* side : {"front", "back"}) {
      run = RunR7k({"picture", demo_, sector, "--side", side, "-o", dir_.File("s.bmp")});
      EXPECT_TRUE(run.status == 0 || !run.err.empty()) << sector << ' ' << side;
      EXPECT_NE(run.status, 2) << run.err;
    }
  }
}

TEST_F(PictureCommand, ReportsWrongUseAndMissingEntries) {
  EXPECT_EQ(RunR7k({"picture", demo_, "P9999", "-o", dir_.File("x.bmp")}).status, 1);
  EXPECT_EQ(RunR7k({"picture", demo_, "P9999"}).status, 2);
  EXPECT_EQ(RunR7k({"picture", demo_, "P9999", "-o", "x", "--side", "up"}).status, 2);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("x.bmp")));
  // A damaged pattern header that declares no rows gave an empty picture and success.
  auto image = ReadBytes(demo_);
  const std::string name = names_['P'].at(0);
  for (const auto& e : ReadDirectory(image).directory.entries)
    if (e.name == name) image[e.start + 3] = image[e.start + 4] = 0;
  WriteBytes(demo_, image);
  auto run = RunR7k({"picture", demo_, name, "-o", dir_.File("x.bmp")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Cannot load " + name + "\n");
  EXPECT_EQ(RunR7k({"full", demo_, name, "--no-open"}).status, 1);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("x.bmp")));
}

// A sector or technique is not pictured as if it were a pattern (that gave a 96 x 0 picture
// and a "0 x 12" page): the message names the option that pictures it.
TEST_F(PictureCommand, SectorsAndTechniquesNeedTheirOption) {
  const std::string sector = names_['S'].at(0), technique = names_['T'].at(0);
  const std::string bmp = dir_.File("x.bmp");
  auto run = RunR7k({"picture", demo_, sector, "-o", bmp});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "r7k picture: " + sector +
                         " is a sector: give --side front or --side back for its pattern\n");
  run = RunR7k({"picture", demo_, technique, "-o", bmp});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "r7k picture: " + technique +
                         " is a technique: give --grid front or --grid back for its cell grid\n");
  run = RunR7k({"picture", demo_, names_['P'][0], "--side", "front", "-o", bmp});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "r7k picture: " + names_['P'][0] + " is a pattern: --side is for a sector\n");
  run = RunR7k({"full", demo_, sector, "--no-open"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "r7k full: " + sector + " is a sector, not a pattern: r7k picture MODULE " +
                         sector + " --side front|back -o FILE pictures its patterns\n");
  EXPECT_EQ(RunR7k({"full", demo_, technique, "--no-open"}).status, 2);
  EXPECT_FALSE(std::filesystem::exists(bmp));
}

// The picture's format follows the name it is given.
TEST_F(PictureCommand, FormatFollowsTheFileName) {
  const std::string png = dir_.File("pat.png"), bmp = dir_.File("pat.BMP");
  EXPECT_EQ(RunR7k({"picture", demo_, names_['P'][0], "-o", png}).status, 0);
  EXPECT_EQ(ReadBytes(png).at(1), 'P');
  EXPECT_EQ(RunR7k({"picture", demo_, names_['P'][0], "-o", bmp}).status, 0);
  EXPECT_EQ(ReadBytes(bmp).at(0), 'B');
  for (const std::string name : {"pat.gif", "pat"}) {
    const auto run = RunR7k({"picture", demo_, names_['P'][0], "-o", dir_.File(name)});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err,
              "r7k picture: " + dir_.File(name) + ": name the picture FILE.bmp or FILE.png\n");
    EXPECT_FALSE(std::filesystem::exists(dir_.File(name)));
  }
}

// The page and its picture go to the user's private folder, never under fixed names into
// the shared temporary folder.
TEST_F(PictureCommand, FullWritesThePageIntoThePrivateFolderWithoutOpeningIt) {
  ASSERT_FALSE(names_['P'].empty());
  testing::Run run;
  const auto folder = dir_.path() / ("r7kprog-" + std::to_string(geteuid()));
  {
    testing::ScopedEnv tmpdir("TMPDIR", dir_.path().string());
    testing::ScopedEnv runtime("XDG_RUNTIME_DIR", "");
    run = RunR7k({"full", demo_, names_['P'][0], "--no-open", "--png"});
  }
  EXPECT_EQ(run.status, 0) << run.err;
  const auto page = (folder / "Pattern.htm").string();
  EXPECT_EQ(run.out, (folder / "PatternFull.Bmp").string() + "\n" + page + "\n" +
                         (folder / "PatternFull.png").string() + "\n");
  const auto html = ReadBytes(page);
  EXPECT_NE(std::string(html.begin(), html.end()).find("<title>" + names_['P'][0]),
            std::string::npos);
  EXPECT_EQ(std::filesystem::status(folder).permissions(), std::filesystem::perms::owner_all);
}

}  // namespace
}  // namespace r7k::cli
