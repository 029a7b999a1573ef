// r7k at a terminal asks the box questions that --yes would answer (script(1) gives it one).

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "testing/scratch_folder.h"
#include "testing/shell.h"

namespace r7k {
namespace {

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(TerminalQuestions, EraseAsksAndDoesWhatTheUserAnswers) {
  const std::string r7k =
      (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "r7k").string();
  ScratchDir dir;
  const std::string flash = dir.File("flash.bin");
  const auto erase = [&](const char* answer) {
    return testing::RunShell("printf '" + std::string(answer) + "' | script -qec '" + r7k +
                             " erase --sim=" + flash + "' /dev/null 2>&1");
  };

  const auto no = erase("n\\n");
  EXPECT_EQ(no.status, 1) << no.out;
  EXPECT_NE(no.out.find("Erase Module: Are you sure? [y/N]"), std::string::npos) << no.out;
  EXPECT_NE(no.out.find("answered no to \"Are you sure?\"; the module in the box is unchanged."),
            std::string::npos)
      << no.out;
  const std::string before = Bytes(flash);
  ASSERT_NE(before.find_first_not_of('\xFF'), std::string::npos);

  const auto yes = erase("y\\n");
  EXPECT_EQ(yes.status, 0) << yes.out;
  EXPECT_EQ(Bytes(flash), std::string(before.size(), '\xFF'));
}

}  // namespace
}  // namespace r7k
