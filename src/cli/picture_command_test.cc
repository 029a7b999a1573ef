// What r7k picture and r7k full add to the picture procedures: the options that choose what is
// pictured, the format by the file's name, the lines they print and the exit statuses.

#include <gtest/gtest.h>
#include <unistd.h>

#include "cli/cli_fixture.h"
#include "module/builtin_images.h"
#include "module/directory.h"

namespace r7k::cli {
namespace {

using testing::ReadBytes;
using testing::RunR7k;
using testing::WriteBytes;

class PictureCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto image = BuiltinImage("demo");
    WriteBytes(demo_, image);
    for (const auto& e : ReadDirectory(image).directory.entries) {
      if (e.state == kEntryValid) names_[e.name[0]].push_back(e.name);
    }
  }
  ScratchDir dir_;
  std::string demo_ = dir_.File("demo.r7v");
  std::map<char, std::vector<std::string>> names_;
};

TEST_F(PictureCommand, WritesPatternSectorAndTechniquePicturesInTheFormatOfTheName) {
  const std::string pattern = names_['P'].at(0);
  const std::string bmp = dir_.File("pat.bmp");
  auto run = RunR7k({"picture", demo_, pattern, "-o", bmp, "--png"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, bmp + "\n" + dir_.File("pat.png") + "\n");
  EXPECT_EQ(ReadBytes(bmp).at(0), 'B');
  EXPECT_EQ(ReadBytes(dir_.File("pat.png")).at(1), 'P');
  EXPECT_EQ(RunR7k({"picture", demo_, pattern, "-o", dir_.File("p.PNG")}).status, 0);
  EXPECT_EQ(ReadBytes(dir_.File("p.PNG")).at(1), 'P');

  run = RunR7k({"picture", demo_, names_['T'].at(0), "--grid", "back", "-o", dir_.File("t.bmp")});
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

// A sector or technique is not pictured as if it were a pattern (that gave a 96 x 0 picture
// and a "0 x 12" page): the message names the option that pictures it.
TEST_F(PictureCommand, WrongUseIsRefusedWithWhatIsAllowedAndWritesNothing) {
  const std::string sector = names_['S'].at(0), technique = names_['T'].at(0);
  const std::string pattern = names_['P'].at(0), bmp = dir_.File("x.bmp");
  const struct {
    std::vector<std::string> args;
    int status;
    std::string err;  // empty: not looked at
  } cases[] = {
      {{"picture", demo_, "P9999", "-o", bmp}, 1, ""},
      {{"picture", demo_, "P9999"}, 2, ""},
      {{"picture", demo_, "P9999", "-o", bmp, "--side", "up"}, 2, ""},
      {{"picture", demo_, sector, "-o", bmp},
       2,
       "r7k picture: " + sector +
           " is a sector: give --side front or --side back for its "
           "pattern\n"},
      {{"picture", demo_, technique, "-o", bmp},
       2,
       "r7k picture: " + technique +
           " is a technique: give --grid front or --grid back for its "
           "cell grid\n"},
      {{"picture", demo_, pattern, "--side", "front", "-o", bmp},
       2,
       "r7k picture: " + pattern + " is a pattern: --side is for a sector\n"},
      {{"picture", demo_, pattern, "-o", dir_.File("x.gif")},
       2,
       "r7k picture: " + dir_.File("x.gif") + ": name the picture FILE.bmp or FILE.png\n"},
      {{"picture", demo_, pattern, "-o", dir_.File("x")},
       2,
       "r7k picture: " + dir_.File("x") + ": name the picture FILE.bmp or FILE.png\n"},
      {{"full", demo_, sector, "--no-open"},
       2,
       "r7k full: " + sector + " is a sector, not a pattern: r7k picture MODULE " + sector +
           " --side front|back -o FILE pictures its patterns\n"},
      {{"full", demo_, technique, "--no-open"}, 2, ""},
  };
  for (const auto& c : cases) {
    const auto run = RunR7k(c.args);
    SCOPED_TRACE(c.args[2] + " " + c.args.back());
    EXPECT_EQ(run.status, c.status) << run.err;
    if (!c.err.empty()) {
      EXPECT_EQ(run.err, c.err);
    }
  }
  EXPECT_FALSE(std::filesystem::exists(bmp));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("x.gif")));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("x")));
}

// The page and its picture go to the user's private folder, never under fixed names into
// the shared temporary folder.
TEST_F(PictureCommand, FullWritesThePageIntoThePrivateFolderWithoutOpeningIt) {
  testing::Run run;
  const auto folder = dir_.path() / ("r7kprog-" + std::to_string(geteuid()));
  {
    testing::ScopedEnv tmpdir("TMPDIR", dir_.path().string());
    testing::ScopedEnv runtime("XDG_RUNTIME_DIR", "");
    run = RunR7k({"full", demo_, names_['P'].at(0), "--no-open", "--png"});
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
