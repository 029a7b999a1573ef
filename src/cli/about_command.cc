#include <array>

#include "app/about.h"
#include "cli/commands.h"
#include "cli/json_writer.h"

namespace r7k::cli {
namespace {

constexpr std::array kOptions = {
    OptionSpec{"--json", "", "", "print one object with R7kProgVersion, R7kProgCopyright, WinVer"},
};

constexpr CommandUsage kUsage = {
    "about", "",
    "Prints what the About dialog shows: the program's version and copyright and the\n"
    "operating system it runs on.",
    kOptions, 0};

}  // namespace

int AboutCommand(std::span<const std::string> args, CommandIo& io) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!ParseCommandArgs(args, kUsage, io, parsed, status)) return status;
  const auto items = AboutItems();
  if (parsed.Has("--json")) {
    JsonWriter json(io.out);
    json.BeginObject();
    for (const auto& [item, value] : items) {
      json.Key(item);
      json.String(value);
    }
    json.EndObject();
    io.out << '\n';
    return kExitOk;
  }
  for (const auto& [item, value] : items) io.out << item << ": " << value << '\n';
  return kExitOk;
}

}  // namespace r7k::cli
