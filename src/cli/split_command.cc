#include <array>

#include "app/new_entries.h"
#include "cli/commands.h"
#include "cli/module_session.h"
#include "support/ascii.h"

namespace r7k::cli {
namespace {

constexpr std::array kOptions = {
    OptionSpec{"--valid-only", "", "", "write valid entries (state FC) only"},
};

constexpr CommandUsage kUsage = {
    "split", "MODULE",
    "Writes every entry of the virtual module MODULE as an entity file NAME.r7k into a new\n"
    "folder beside it, named by the time; prints the folder. Entries that cannot be written\n"
    "(a name that cannot be a file name) are reported, and the exit status is then 1.",
    kOptions, 1};

}  // namespace

int SplitCommand(std::span<const std::string> args, CommandIo& io) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!ParseCommandArgs(args, kUsage, io, parsed, status)) return status;
  ModuleSession session(parsed.positional[0]);
  if (!session.Load(io, parsed.Has("--valid-only"))) return kExitFailure;
  const auto split = SplitIntoTimeFolder(session.app());
  if (!split) {
    io.err << "cannot split " << parsed.positional[0] << '\n';
    return kExitFailure;
  }
  io.out << split->folder << '\n';
  for (const auto& [name, why] : split->result.skipped)
    io.err << "r7k split: " << PrintableText(name) << " not written: " << why << '\n';
  return split->result.skipped.empty() ? kExitOk : kExitFailure;
}

}  // namespace r7k::cli
