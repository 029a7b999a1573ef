#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "app/directory_view.h"
#include "app/entity_files.h"
#include "cli/commands.h"
#include "cli/module_session.h"

namespace r7k::cli {
namespace {

constexpr CommandUsage kUsage = {
    "import",
    "MODULE FILE.r7k",
    "Writes the entity file FILE.r7k into the virtual module MODULE in place of the entry\n"
    "named by the file (Load, then Update, in the Hex dialog): the file is validated and\n"
    "must have the entry's size.",
    {},
    2};

}  // namespace

int ImportCommand(std::span<const std::string> args, CommandIo& io) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!ParseCommandArgs(args, kUsage, io, parsed, status)) return status;
  const std::filesystem::path file = parsed.positional[1];
  // The file is the user's mistake when it cannot be read, not a missing entry.
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec) || !std::ifstream(file, std::ios::binary)) {
    const int code = errno;
    io.err << "r7k import: cannot read the entity file " << file.string() << ": "
           << (std::filesystem::is_directory(file, ec) ? "it is a folder" : std::strerror(code))
           << '\n';
    return kExitFailure;
  }
  ModuleSession session(parsed.positional[0]);
  if (!session.Select(file.stem().string(), io)) return kExitFailure;
  std::string folder = file.parent_path().string();
  if (!folder.empty()) folder += '/';
  StoreHandle app = session.app();
  const bool done = LoadEntity(session.window(), app, folder) == 1 &&
                    UpdateEntity(session.window(), app, folder) == 1;
  session.ReportMessages(io);
  if (!done) return kExitFailure;
  io.out << StoreGetString(app, "_Status").value_or("") << '\n';
  return kExitOk;
}

}  // namespace r7k::cli
