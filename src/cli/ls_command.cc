#include <array>
#include <cstdio>

#include "app/module_file.h"
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "support/ascii.h"

namespace r7k::cli {
namespace {

constexpr std::array kOptions = {
    OptionSpec{"--valid-only", "", "", "list valid entries (state FC) only"},
    OptionSpec{"--json", "", "", "print an array of objects with Valid, Name, Start, End, Size"},
};

constexpr CommandUsage kUsage = {
    "ls", "MODULE",
    "Lists the directory of the virtual module file MODULE (.r7v, 196,608 or 524,288 bytes):\n"
    "one line per entry with its state byte, name, start and end offsets and size.",
    kOptions, 1};

// The directory as the directory view lists it.
Table DirectoryTable(const Directory& dir, bool valid_only) {
  Table table;
  table.columns = {"Valid", "Name", "Start", "End", "Size"};
  for (const DirectoryEntry& e : dir.entries) {
    if (valid_only && e.state != kEntryValid) continue;
    char state[4];
    std::snprintf(state, sizeof state, "%02X", e.state);
    table.rows.push_back({std::string(state), e.name, int64_t{e.start}, int64_t{e.end}, e.Size()});
  }
  return table;
}

}  // namespace

int LsCommand(std::span<const std::string> args, CommandIo& io) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!ParseCommandArgs(args, kUsage, io, parsed, status)) return status;
  const std::string& path = parsed.positional[0];
  const LoadedModule module = LoadVirtualModule(path);
  if (!module.ok()) {
    io.err << ModuleLoadMessage(module, path) << '\n';
    return kExitFailure;
  }
  const Table table = DirectoryTable(module.directory, parsed.Has("--valid-only"));
  if (parsed.Has("--json")) {
    JsonWriter json(io.out);
    WriteJsonTable(json, table);
    return kExitOk;
  }
  // A damaged directory may hold any bytes in a name: they are shown, not sent to the terminal.
  for (const auto& row : table.rows) {
    char line[128];
    std::snprintf(line, sizeof line, "%5s %-5s %-6s %-6s %-5s", CellText(row[0]).c_str(),
                  PrintableText(CellText(row[1])).c_str(), CellText(row[2]).c_str(),
                  CellText(row[3]).c_str(), CellText(row[4]).c_str());
    io.out << line << '\n';
  }
  return kExitOk;
}

}  // namespace r7k::cli
