#include <limits>

#include "app/directory_view.h"
#include "cli/commands.h"
#include "cli/module_session.h"
#include "module/hex_text.h"

namespace r7k::cli {
namespace {

constexpr CommandUsage kUsage = {
    "hex",
    "MODULE NAME",
    "Prints the entry NAME of the virtual module MODULE as the Hex dialog shows it\n"
    "(\"%02X \" per byte, 16 bytes a line), the whole entity however long.",
    {},
    2};

}  // namespace

int HexCommand(std::span<const std::string> args, CommandIo& io) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!ParseCommandArgs(args, kUsage, io, parsed, status)) return status;
  ModuleSession session(parsed.positional[0]);
  if (!session.Select(parsed.positional[1], io)) return kExitFailure;
  const CurrentEntry entry = ReadCurrentEntry(session.app());
  const auto bytes = ReadModuleBytes(session.app(), entry.start, entry.size);
  if (!bytes) {
    io.err << "cannot read " << entry.name << " from " << entry.module << '\n';
    return kExitFailure;
  }
  std::string text = RenderHexText(*bytes, std::numeric_limits<size_t>::max());
  for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
  io.out << text;
  if (!text.empty() && text.back() != '\n') io.out << '\n';
  return kExitOk;
}

}  // namespace r7k::cli
