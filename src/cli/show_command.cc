#include <array>

#include "app/entry_text.h"
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "cli/module_session.h"
#include "store/item_store.h"

namespace r7k::cli {
namespace {

constexpr std::array kOptions = {
    OptionSpec{"--json", "", "", "print the items (and the instruction rows) as JSON"},
};

constexpr CommandUsage kUsage = {
    "show", "MODULE NAME",
    "Shows one entry of the virtual module MODULE as its view does: a technique's header\n"
    "items and instruction listing, a sector's items, a text record's lines.",
    kOptions, 2};

// The items of a view under their item names.
void PrintJsonItems(StoreHandle store, std::span<const ShownItem> items, JsonWriter& json) {
  for (const ShownItem& shown : items) {
    const int type = StoreGetType(store, shown.item);
    if (type == kItemNone) continue;
    json.Key(shown.item);
    if (type == kItemNumeric)
      json.Number(StoreGetNumeric(store, shown.item));
    else
      json.String(StoreGetString(store, shown.item).value_or(""));
  }
}

}  // namespace

int ShowCommand(std::span<const std::string> args, CommandIo& io) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!ParseCommandArgs(args, kUsage, io, parsed, status)) return status;
  ModuleSession session(parsed.positional[0]);
  const std::string& name = parsed.positional[1];
  if (!session.Select(name, io)) return kExitFailure;
  StoreHandle app = session.app();
  if (name.starts_with("T") || name.starts_with("S")) {
    const char* load =
        name.starts_with("T") ? "DP_LoadTechniqueDataFromModule" : "DP_LoadSectorData";
    if (session.Run(load) != 1) {
      session.ReportMessages(io);
      return kExitFailure;
    }
  } else if (name.starts_with("_")) {
    StoreDeleteItem(app, "textData");
    session.view().WhenDialogOpens("Text", [](DialogUser& user) { user.Close(); });
    session.Run("DP_TextInfo");
    if (StoreGetType(app, "textData") == kItemNone) {
      io.err << name << " has no view\n";
      return kExitFailure;
    }
  } else {
    io.err << name << " has no view here; use 'r7k hex' or 'r7k export'\n";
    return kExitFailure;
  }
  if (!parsed.Has("--json")) {
    io.out << ShownEntryText(name, session.main(), app);
    return session.ReportMessages(io) ? kExitFailure : kExitOk;
  }
  JsonWriter json(io.out);
  json.BeginObject();
  json.Key("Name");
  json.String(name);
  if (name.starts_with("T")) {
    PrintJsonItems(app, TechniqueShownItems(), json);
    json.Key("Instructions");
    json.BeginArray();
    TableHandle rows = StoreGetTable(app, "Instructions");
    for (int r = 0; r < TableRows(rows); ++r) {
      json.BeginObject();
      json.Key("Code"), json.String(TableCell(rows, r, 0).value_or(""));
      json.Key("Instr"), json.String(TableCell(rows, r, 1).value_or(""));
      json.Key("Comment"), json.String(TableCell(rows, r, 2).value_or(""));
      json.EndObject();
    }
    TableFree(rows);
    json.EndArray();
  } else if (name.starts_with("S")) {
    PrintJsonItems(session.main(), SectorShownItems(), json);
  } else {
    json.Key("textData");
    json.String(StoreGetString(app, "textData").value_or(""));
  }
  json.EndObject();
  io.out << '\n';
  return session.ReportMessages(io) ? kExitFailure : kExitOk;
}

}  // namespace r7k::cli
