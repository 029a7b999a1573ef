#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "cli/cli_fixture.h"
#include "module/builtin_images.h"

namespace r7k::cli {
namespace {

using testing::RunR7k;
using testing::WriteBytes;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<uint8_t> Image(std::string_view name) {
  const auto image = BuiltinImage(name);
  return {image.begin(), image.end()};
}

class LsCommand : public ::testing::Test {
 protected:
  std::string Put(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = dir_.File(name);
    WriteBytes(path, bytes);
    return path;
  }
  ScratchDir dir_;
};

// Which rows are listed is the directory view's; ls prints them in its format or as JSON.
TEST_F(LsCommand, ListsInTheDirectoryFormatOrAsJson) {
  const std::string rom = Put("rom.r7v", Image("R7kRom"));
  auto run = RunR7k({"ls", rom});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.err.empty());
  const auto lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 524u);
  EXPECT_EQ(lines[0], "   FC T0001 32768  32809  41   ");
  EXPECT_EQ(Lines(RunR7k({"ls", Put("romx.r7v", Image("R7kRomx"))}).out).size(), 531u);
  const std::string demo = Put("demo.r7v", Image("demo"));
  EXPECT_EQ(Lines(RunR7k({"ls", "--valid-only", demo}).out).size() + 1,
            Lines(RunR7k({"ls", demo}).out).size());

  run = RunR7k({"ls", "--json", rom});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("[\n  {\n    \"Valid\": \"FC\",\n    \"Name\": \"T0001\",\n"
                          "    \"Start\": 32768,\n    \"End\": 32809,\n    \"Size\": 41\n  },\n",
                          0),
            0u)
      << run.out.substr(0, 200);
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '{'), 524);
  EXPECT_EQ(run.out.substr(run.out.size() - 4), "}\n]\n");
}

// The causes are the loader's; ls prints its message alone and fails.
TEST_F(LsCommand, BadFilesAreRefusedWithTheLoadMessage) {
  std::vector<uint8_t> image = Image("demo");
  image[0x10015] = 0x00;
  const std::string dirty = Put("dirty.r7v", image);
  for (const auto& [path, message] :
       {std::pair{dir_.File("missing.r7v"),
                  "Cannot load file " + dir_.File("missing.r7v") + ", not found"},
        {dirty, "Cannot Load file " + dirty +
                    ", directory corrupted, please defragment the Memory Module with the "
                    "R7000 console."}}) {
    const auto run = RunR7k({"ls", path});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.empty());
    EXPECT_EQ(run.err, message + "\n");
  }
}

}  // namespace
}  // namespace r7k::cli
