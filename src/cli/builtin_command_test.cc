#include <gtest/gtest.h>

#include <filesystem>

#include "cli/cli_fixture.h"
#include "module/builtin_images.h"

namespace r7k::cli {
namespace {

using testing::ReadBytes;
using testing::RunR7k;
using testing::WriteBytes;

TEST(BuiltinCommand, WritesEachImageByteForByteAndReplacesWhenAsked) {
  ScratchDir dir;
  for (std::string_view name : BuiltinImageNames()) {
    const std::string path = dir.File(std::string(name) + ".r7v");
    const auto run = RunR7k({"builtin", std::string(name), "-o", path});
    EXPECT_EQ(run.status, 0) << run.err;
    const auto image = BuiltinImage(name);
    EXPECT_EQ(ReadBytes(path), std::vector<uint8_t>(image.begin(), image.end())) << name;
  }
  // Nothing but the three files is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);

  const std::string path = dir.File("module.r7v");
  WriteBytes(path, std::vector<uint8_t>(1000000, 0xAB));
  EXPECT_EQ(RunR7k({"builtin", "R7kRomx", "--output", path}).status, 1);
  EXPECT_EQ(ReadBytes(path).size(), 1000000u);
  EXPECT_EQ(RunR7k({"builtin", "--output=" + path, "R7kRomx", "-y"}).status, 0);
  EXPECT_EQ(ReadBytes(path).size(), 196608u);
}

TEST(BuiltinCommand, RefusalsSayWhyAndWriteNothing) {
  ScratchDir dir;
  auto run = RunR7k({"builtin", "R7kRam", "-o", dir.File("x.r7v")});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "r7k builtin: unknown image 'R7kRam' (choose R7kRom, R7kRomx or demo)\n");
  run = RunR7k({"builtin", "demo"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("missing -o FILE"), std::string::npos);
  const std::string path = dir.File("no/such/folder/x.r7v");
  run = RunR7k({"builtin", "demo", "-o", path});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.rfind("Cannot write file " + path + ": ", 0), 0u) << run.err;
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
}  // namespace r7k::cli
