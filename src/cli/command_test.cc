#include "cli/command.h"

#include <gtest/gtest.h>

#include <array>
#include <sstream>

#include "cli/cli_fixture.h"

namespace r7k::cli {
namespace {

using testing::RunR7k;

TEST(Cli, TableIsSortedAndEveryCommandHasHelp) {
  const auto commands = Commands();
  ASSERT_FALSE(commands.empty());
  for (size_t i = 0; i < commands.size(); ++i) {
    SCOPED_TRACE(std::string(commands[i].name));
    if (i > 0) {
      EXPECT_LT(commands[i - 1].name, commands[i].name);
    }
    EXPECT_FALSE(commands[i].summary.empty());
    const auto run = RunR7k({std::string(commands[i].name), "--help"});
    EXPECT_EQ(run.status, kExitOk);
    EXPECT_EQ(run.out.rfind("Usage: r7k " + std::string(commands[i].name), 0), 0u) << run.out;
    EXPECT_EQ(RunR7k({"help", std::string(commands[i].name)}).out, run.out);
  }
}

TEST(Cli, ListsCommands) {
  const auto help = RunR7k({"--help"});
  EXPECT_EQ(help.status, kExitOk);
  EXPECT_NE(help.out.find("  ls"), std::string::npos);
  EXPECT_NE(help.out.find("  builtin"), std::string::npos);
  const auto none = RunR7k({});
  EXPECT_EQ(none.status, kExitUsage);
  EXPECT_TRUE(none.out.empty());
  EXPECT_NE(none.err.find("Usage: r7k COMMAND"), std::string::npos);
  EXPECT_EQ(RunR7k({"--version"}).out.rfind("r7k ", 0), 0u);
}

TEST(Cli, UnknownCommandsGetASuggestion) {
  auto run = RunR7k({"lx", "x.r7v"});
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_EQ(run.err,
            "r7k: unknown command 'lx'. Did you mean 'ls'?\n"
            "Run 'r7k --help' for the list of commands.\n");
  EXPECT_EQ(SuggestCommand("buildin"), "builtin");
  EXPECT_EQ(SuggestCommand("bu"), "builtin");
  EXPECT_EQ(SuggestCommand("LS"), "ls");
  EXPECT_EQ(SuggestCommand("frobnicate"), "");
  run = RunR7k({"frobnicate"});
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_EQ(run.err.find("Did you mean"), std::string::npos);
}

TEST(Cli, WrongCommandLinesAreUsageErrors) {
  auto run = RunR7k({"ls"});
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_EQ(run.err, "r7k ls: missing argument\nRun 'r7k ls --help' for usage.\n");
  run = RunR7k({"ls", "a", "b"});
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_NE(run.err.find("too many arguments"), std::string::npos);
  run = RunR7k({"ls", "--long", "a"});
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_NE(run.err.find("unknown option '--long'"), std::string::npos);
  run = RunR7k({"ls", "--json=yes", "a"});
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_NE(run.err.find("takes no value"), std::string::npos);
  run = RunR7k({"builtin", "demo", "-o"});
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_NE(run.err.find("needs a value"), std::string::npos);
}

// An empty path or name is a wrong command line for every command, before anything runs.
TEST(Cli, EmptyArgumentsAreUsageErrors) {
  for (const Command& c : Commands()) {
    // The placeholders of the usage line: "Usage: r7k read [options] MODULE".
    const std::string usage = RunR7k({std::string(c.name), "--help"}).out;
    std::istringstream line(usage.substr(0, usage.find('\n')));
    std::vector<std::string> words;
    for (std::string w; line >> w;)
      if (w != "Usage:" && w != "r7k" && w != c.name && w != "[options]") words.push_back(w);
    for (size_t empty = 0; empty < std::max<size_t>(words.size(), 1); ++empty) {
      std::vector<std::string> args = {std::string(c.name)};
      for (size_t i = 0; i < std::max<size_t>(words.size(), 1); ++i)
        args.push_back(i == empty ? "" : words[i].starts_with('[') ? "x=1" : "x");
      const auto run = RunR7k(args);
      EXPECT_EQ(run.status, kExitUsage) << c.name << ' ' << empty << ": " << run.err;
    }
  }
  auto run = RunR7k({"ls", ""});
  EXPECT_EQ(run.err, "r7k ls: the MODULE argument is empty\nRun 'r7k ls --help' for usage.\n");
  run = RunR7k({"import-image", "m.r7v", "P3001", "", "--dry-run"});
  EXPECT_NE(run.err.find("the PICTURE argument is empty"), std::string::npos) << run.err;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"builtin", "demo", "-o", ""},
        {"picture", "m.r7v", "P3000", "--output="},
        {"export", "m.r7v", "P3000", "--dir", ""},
        {"read", "m.r7v", "--sim=", "--yes"}}) {
    run = RunR7k(args);
    EXPECT_EQ(run.status, kExitUsage) << args[0];
    EXPECT_NE(run.err.find("' is empty"), std::string::npos) << run.err;
  }
}

TEST(Cli, OptionalValuesOnlyWithAnEqualsSign) {
  static constexpr std::array kOptions = {OptionSpec{"--sim", "", "[IMAGE]", "a box"}};
  constexpr CommandUsage kUsage = {"x", "[FILE]", "", kOptions, 0, true};
  std::ostringstream out, err;
  CommandIo io{out, err};
  int status = kExitOk;
  ParsedArgs bare, valued;
  const std::vector<std::string> plain = {"--sim", "file.r7v"};
  ASSERT_TRUE(ParseCommandArgs(plain, kUsage, io, bare, status));
  EXPECT_TRUE(bare.Has("--sim"));
  EXPECT_EQ(bare.Value("--sim"), "");
  EXPECT_EQ(bare.positional, std::vector<std::string>{"file.r7v"});
  const std::vector<std::string> with = {"--sim=box.r7v"};
  ASSERT_TRUE(ParseCommandArgs(with, kUsage, io, valued, status));
  EXPECT_EQ(valued.Value("--sim"), "box.r7v");
  PrintUsage(kUsage, out);
  EXPECT_NE(out.str().find("  --sim[=IMAGE]  "), std::string::npos) << out.str();
}

}  // namespace
}  // namespace r7k::cli
