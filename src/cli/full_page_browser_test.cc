// The full pattern page as a browser shows it: a headless Chromium opens "Pattern.htm" and its
// screenshot must hold the framed picture pixel for pixel. The screenshot is kept in the build
// folder ("screenshots/") for anyone who wants to look at the page.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/cli_fixture.h"
#include "common/picture_cells.h"
#include "module/builtin_images.h"
#include "testing/browser_fixture.h"

namespace r7k::cli {
namespace {

namespace fs = std::filesystem;
using ::r7k::testing::FindBrowser;
using ::r7k::testing::HeadlessBrowser;
using ::r7k::testing::RunProgram;
using testing::RunR7k;
using testing::ScopedEnv;
using testing::WriteBytes;

bool Near(uint32_t a, uint32_t b) {
  for (int shift : {0, 8, 16}) {
    const int x = (a >> shift) & 0xFF, y = (b >> shift) & 0xFF;
    if (x - y > 2 || y - x > 2) return false;
  }
  return true;
}

// Where the whole of `part` stands inside `whole`, if anywhere.
std::optional<std::pair<unsigned, unsigned>> Locate(const RgbPicture& whole,
                                                    const RgbPicture& part) {
  if (part.width > whole.width || part.height > whole.height) return std::nullopt;
  for (unsigned oy = 0; oy + part.height <= whole.height; ++oy) {
    for (unsigned ox = 0; ox + part.width <= whole.width; ++ox) {
      bool all = true;
      for (unsigned y = 0; y < part.height && all; ++y) {
        for (unsigned x = 0; x < part.width && all; ++x) {
          all = Near(whole.pixels[size_t{oy + y} * whole.width + ox + x],
                     part.pixels[size_t{y} * part.width + x]);
        }
      }
      if (all) return std::make_pair(ox, oy);
    }
  }
  return std::nullopt;
}

TEST(FullPageInBrowser, ScreenshotShowsTheFramedPattern) {
  const auto browser = FindBrowser();
  if (!browser) GTEST_SKIP() << "no Chromium on this machine (set R7K_CHROMIUM)";

  ScratchDir dir;
  const std::string demo = dir.File("demo.r7v");
  WriteBytes(demo, BuiltinImage("demo"));
  {
    ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path().string());
    const auto run = RunR7k({"full", demo, "P3000", "--no-open"});
    ASSERT_EQ(run.status, 0) << run.err;
  }
  const fs::path pages = dir.path() / "r7kprog";
  const auto bmp = ReadPictureFile(pages / "PatternFull.Bmp").picture;
  ASSERT_TRUE(bmp);

  const fs::path shots =
      fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "screenshots";
  fs::create_directories(shots);
  const fs::path shot = shots / "Pattern.htm.png";
  fs::remove(shot);
  const std::string size =
      std::to_string(bmp->width + 200) + "," + std::to_string(bmp->height + 200);
  std::vector<std::string> command = HeadlessBrowser(*browser, dir.File("profile"));
  command.insert(command.end(), {"--window-size=" + size, "--screenshot=" + shot.string(),
                                 "file://" + (pages / "Pattern.htm").string()});
  const int status = RunProgram(command);
  ASSERT_EQ(status, 0) << "the browser failed";
  const auto screen = ReadPictureFile(shot).picture;
  ASSERT_TRUE(screen) << "no screenshot at " << shot;
  EXPECT_TRUE(Locate(*screen, *bmp)) << "the framed picture is not on the page; see " << shot;
}

}  // namespace
}  // namespace r7k::cli
