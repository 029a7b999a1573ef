#include <array>

#include "app/new_entries.h"
#include "cli/commands.h"
#include "cli/module_session.h"

namespace r7k::cli {
namespace {

constexpr std::array kOptions = {
    OptionSpec{"--valid-only", "", "", "write valid entries (state FC) only"},
};

constexpr CommandUsage kUsage = {
    "split", "MODULE",
    "Writes every entry of the virtual module MODULE as an entity file NAME.r7k into a new\n"
    "folder beside it, named by the time; prints the folder.",
    kOptions, 1};

}  // namespace

int SplitCommand(std::span<const std::string> args, CommandIo& io) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!ParseCommandArgs(args, kUsage, io, parsed, status)) return status;
  ModuleSession session(parsed.positional[0]);
  if (!session.Load(io, parsed.Has("--valid-only"))) return kExitFailure;
  const auto folder = SplitIntoTimeFolder(session.app());
  if (!folder) {
    io.err << "cannot split " << parsed.positional[0] << '\n';
    return kExitFailure;
  }
  io.out << *folder << '\n';
  return kExitOk;
}

}  // namespace r7k::cli
