#include "cli/commands.h"
#include "cli/module_session.h"

namespace r7k::cli {
namespace {

constexpr CommandUsage kUsage = {
    "clip",
    "MODULE",
    "Prints the directory of the virtual module MODULE as the Clip Dir button puts it on the\n"
    "clipboard (tab-separated, a line of column names first).",
    {},
    1};

}  // namespace

int ClipCommand(std::span<const std::string> args, CommandIo& io) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!ParseCommandArgs(args, kUsage, io, parsed, status)) return status;
  ModuleSession session(parsed.positional[0]);
  if (!session.Load(io)) return kExitFailure;
  session.Run("DP_ClipDirectory");
  io.out << session.view().clipboard();
  return kExitOk;
}

}  // namespace r7k::cli
