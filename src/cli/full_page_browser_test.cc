// The full pattern page as a browser shows it: a headless Chromium opens "Pattern.htm" and its
// screenshot must hold the framed picture pixel for pixel. The screenshot is kept in the build
// folder ("screenshots/") for anyone who wants to look at the page.

#include <png.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/cli_fixture.h"
#include "common/little_endian.h"
#include "module/builtin_images.h"
#include "testing/browser_fixture.h"

namespace r7k::cli {
namespace {

namespace fs = std::filesystem;
using ::r7k::testing::FindBrowser;
using ::r7k::testing::HeadlessBrowser;
using ::r7k::testing::RunProgram;
using testing::ReadBytes;
using testing::RunR7k;
using testing::ScopedEnv;
using testing::WriteBytes;

struct Rgb {
  uint8_t r, g, b;
};

struct Picture {
  unsigned width = 0, height = 0;
  std::vector<Rgb> pixels;  // top row first
  Rgb At(unsigned x, unsigned y) const { return pixels[size_t{y} * width + x]; }
};

std::optional<Picture> ReadPng(const fs::path& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return std::nullopt;
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return std::nullopt;
  Picture p{image.width, image.height, {}};
  for (size_t i = 0; i + 2 < rgb.size(); i += 3)
    p.pixels.push_back({rgb[i], rgb[i + 1], rgb[i + 2]});
  return p;
}

// The 8-bit BMP the page presents, as colours (its rows are stored bottom first).
std::optional<Picture> ReadBmp8(const std::vector<uint8_t>& file) {
  if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') return std::nullopt;
  const uint32_t offset = ReadLe32(file, 10);
  const int32_t width = static_cast<int32_t>(ReadLe32(file, 18));
  const int32_t height = static_cast<int32_t>(ReadLe32(file, 22));
  if (ReadLe16(file, 28) != 8 || width <= 0 || height <= 0) return std::nullopt;
  const size_t stride = (static_cast<size_t>(width) + 3) & ~size_t{3};
  if (offset < 54 + 1024 || offset + stride * height > file.size()) return std::nullopt;
  Picture p{static_cast<unsigned>(width), static_cast<unsigned>(height), {}};
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = file.data() + offset + stride * static_cast<size_t>(height - 1 - y);
    for (int32_t x = 0; x < width; ++x) {
      const uint8_t* entry = file.data() + 54 + 4 * row[x];
      p.pixels.push_back({entry[2], entry[1], entry[0]});
    }
  }
  return p;
}

bool Near(Rgb a, Rgb b) {
  auto close = [](uint8_t x, uint8_t y) { return (x > y ? x - y : y - x) <= 2; };
  return close(a.r, b.r) && close(a.g, b.g) && close(a.b, b.b);
}

// Where the whole of `part` stands inside `whole`, if anywhere.
std::optional<std::pair<unsigned, unsigned>> Locate(const Picture& whole, const Picture& part) {
  if (part.width > whole.width || part.height > whole.height) return std::nullopt;
  for (unsigned oy = 0; oy + part.height <= whole.height; ++oy) {
    for (unsigned ox = 0; ox + part.width <= whole.width; ++ox) {
      bool all = true;
      for (unsigned y = 0; y < part.height && all; ++y) {
        for (unsigned x = 0; x < part.width && all; ++x) {
          all = Near(whole.At(ox + x, oy + y), part.At(x, y));
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
  const auto bmp = ReadBmp8(ReadBytes((pages / "PatternFull.Bmp").string()));
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
  const auto screen = ReadPng(shot);
  ASSERT_TRUE(screen) << "no screenshot at " << shot;
  EXPECT_TRUE(Locate(*screen, *bmp)) << "the framed picture is not on the page; see " << shot;
}

}  // namespace
}  // namespace r7k::cli
