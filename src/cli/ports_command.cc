#include <array>
#include <cstdio>

#include "cli/commands.h"
#include "cli/json_writer.h"
#include "link/port_discovery.h"
#include "store/item_store.h"

namespace r7k::cli {
namespace {

constexpr std::array kOptions = {
    OptionSpec{"--json", "", "", "print an object with Ports (Port1, Description) and Port1"},
    OptionSpec{"--sysfs", "", "DIR", "read the devices from DIR instead of /sys"},
    OptionSpec{"--proc", "", "DIR", "read the open files from DIR instead of /proc"},
};

constexpr CommandUsage kUsage = {
    "ports", "",
    "Lists the ports the programmer box may be on: USB serial converters (FTDI first, with\n"
    "their product string, or \"Device In Use\"), then \"sim\", the simulated box. Port1 is\n"
    "the port chosen when none was saved.",
    kOptions, 0};

}  // namespace

int PortsCommand(std::span<const std::string> args, CommandIo& io) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!ParseCommandArgs(args, kUsage, io, parsed, status)) return status;
  SystemRoots roots;
  if (parsed.Has("--sysfs")) roots.sysfs = parsed.Value("--sysfs");
  if (parsed.Has("--proc")) roots.proc = parsed.Value("--proc");
  StoreHandle store = StoreOpen("appmain:Perm");
  if (PortDiscovery(store, "", roots) != 1) {
    io.err << "r7k ports: the list of ports could not be made.\n";
    StoreClose(store);
    return kExitFailure;
  }
  Table table;
  table.columns = {"Port1", "Description"};
  for (int row = 0; row < StoreTableRowCount(store, "Ports"); ++row) {
    auto cells = StoreTableGetRow(store, "Ports", row).value_or(std::vector<std::string>{});
    cells.resize(2);
    table.rows.push_back({cells[0], cells[1]});
  }
  const std::string chosen = StoreGetString(store, "Port1").value_or("");
  StoreClose(store);
  if (parsed.Has("--json")) {
    JsonWriter json(io.out);
    json.BeginObject();
    json.Key("Ports");
    WriteJsonTable(json, table);
    json.Key("Port1");
    json.String(chosen);
    json.EndObject();
    return kExitOk;
  }
  for (const auto& row : table.rows) {
    char line[160];
    std::snprintf(line, sizeof line, "%-10s %s", CellText(row[0]).c_str(),
                  CellText(row[1]).c_str());
    io.out << line << '\n';
  }
  return kExitOk;
}

}  // namespace r7k::cli
