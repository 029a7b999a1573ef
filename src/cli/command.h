#pragma once

#include <map>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The subcommands of r7k: each is one function in its own file, listed once in the table of
// commands.cc with its name and a one-line summary.
namespace r7k::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // a failure that was reported
inline constexpr int kExitUsage = 2;    // the command line was wrong

struct CommandIo {
  std::ostream& out;
  std::ostream& err;
};

using CommandFn = int (*)(std::span<const std::string> args, CommandIo& io);

struct Command {
  std::string_view name;
  std::string_view summary;
  CommandFn run;
};

// Every subcommand, sorted by name.
std::span<const Command> Commands();

// The closest command name to a mistyped one, or empty when none is close.
std::string_view SuggestCommand(std::string_view typed);

// Runs `r7k ARGS...` (the program name not included): dispatches to the subcommand and
// returns its exit status.
int RunCli(std::span<const std::string> args, CommandIo& io);

// One option of a subcommand.
struct OptionSpec {
  std::string_view name;   // "--json"
  std::string_view alias;  // "-o", or empty
  std::string_view value;  // the value's placeholder ("FILE"), empty for a flag; in brackets
                           // ("[IMAGE]") the value is optional and given as --name=value
  std::string_view help;
};

struct CommandUsage {
  std::string_view name;         // "ls"
  std::string_view arguments;    // "MODULE"
  std::string_view description;  // what the command does, a few lines
  std::span<const OptionSpec> options;
  size_t positional = 0;         // how many positional arguments it needs
  bool more_positional = false;  // true: any number beyond those
};

struct ParsedArgs {
  std::vector<std::string> positional;
  std::map<std::string, std::string, std::less<>> options;  // by name; flags map to ""
  bool help = false;

  bool Has(std::string_view name) const { return options.find(name) != options.end(); }
  std::string Value(std::string_view name) const;
};

// Parses a subcommand's arguments. On --help prints the usage and returns kExitOk through
// `status`; on a wrong command line reports it with the usage hint and returns kExitUsage.
// Returns true when the command should run.
bool ParseCommandArgs(std::span<const std::string> args, const CommandUsage& usage, CommandIo& io,
                      ParsedArgs& parsed, int& status);

void PrintUsage(const CommandUsage& usage, std::ostream& out);

// A port as the user gives it: ports are named under /dev, and the full path names the same one.
inline std::string PortName(std::string_view given) {
  if (given.starts_with("/dev/")) given.remove_prefix(5);
  return std::string(given);
}

}  // namespace r7k::cli
