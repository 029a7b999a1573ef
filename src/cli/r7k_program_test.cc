// Runs the built r7k program itself: exit statuses and the streams as a shell sees them.

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>

#include "cli/cli_test_util.h"

namespace r7k::cli {
namespace {

// build/bin/r7k, beside this test program.
std::string R7kPath() {
  return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "r7k").string();
}

struct Result {
  int status = -1;
  std::string out;
};

// Runs a shell command line and collects its standard output (and its error output when the
// line redirects it).
Result Shell(const std::string& command) {
  Result result;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) result.out.append(buf.data(), n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

TEST(R7kProgram, WritesAndListsABuiltInImage) {
  ASSERT_TRUE(std::filesystem::exists(R7kPath()));
  testing::TempDir dir;
  const std::string file = dir.File("rom.r7v");
  const std::string r7k = "'" + R7kPath() + "'";
  EXPECT_EQ(Shell(r7k + " builtin R7kRom -o '" + file + "'").status, 0);
  const Result ls = Shell(r7k + " ls '" + file + "' | head -1");
  EXPECT_EQ(ls.out, "   FC T0001 32768  32809  41   \n");
}

// The README's first command: the demo module read from the simulated box, then listed.
TEST(R7kProgram, ReadsTheDemoModuleFromTheSimulatedBox) {
  testing::TempDir dir;
  const std::string file = dir.File("demo.r7v");
  const std::string r7k = "R7K_CONFIG_DIR='" + dir.File("config") + "' '" + R7kPath() + "'";
  const Result read = Shell(r7k + " read '" + file + "' --sim 2>&1 >/dev/null");
  EXPECT_EQ(read.status, 0) << read.out;
  // Not a terminal: plain progress lines, the last one complete.
  EXPECT_NE(read.out.find("Read Module: 2050/2050 commands, 524288/524288 bytes"),
            std::string::npos)
      << read.out;
  EXPECT_EQ(Shell(r7k + " ls '" + file + "' | head -1").out, "   FC _0000 98304  98320  16   \n");
}

TEST(R7kProgram, ExitStatuses) {
  const std::string r7k = "'" + R7kPath() + "'";
  EXPECT_EQ(Shell(r7k + " --help").status, 0);
  EXPECT_EQ(Shell(r7k + " ls --help").status, 0);
  const Result unknown = Shell(r7k + " lss 2>&1");
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.out.find("Did you mean 'ls'?"), std::string::npos);
  EXPECT_EQ(Shell(r7k + " ls 2>/dev/null").status, 2);
  const Result missing = Shell(r7k + " ls /nonexistent/x.r7v 2>&1 >/dev/null");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "Cannot load file /nonexistent/x.r7v, not found\n");
}

}  // namespace
}  // namespace r7k::cli
