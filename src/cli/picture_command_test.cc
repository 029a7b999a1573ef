#include <gtest/gtest.h>
#include <unistd.h>

#include "cli/cli_test_util.h"
#include "common/little_endian.h"
#include "module/builtin_images.h"
#include "module/directory.h"
#include "module/sector.h"

namespace r7k::cli {
namespace {

using testing::ReadBytes;
using testing::RunR7k;
using testing::TempDir;
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
  TempDir dir_;
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
  const auto run = RunR7k({"picture", demo_, names_['T'][0], "-o", dir_.File("x.bmp")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Cannot load " + names_['T'][0] + "\n");
  EXPECT_FALSE(std::filesystem::exists(dir_.File("x.bmp")));
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
  EXPECT_EQ(RunR7k({"full", demo_, names_['T'][0], "--no-open"}).status, 1);
}

}  // namespace
}  // namespace r7k::cli
