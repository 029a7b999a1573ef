#include <array>
#include <cstdio>

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

struct Labelled {
  const char* item;
  const char* label;
};

constexpr Labelled kTechniqueItems[] = {
    {"T_Size", "Size"},
    {"T_Number", "Number"},
    {"T_Byte3", "byte 3"},
    {"T_Byte4", "byte 4"},
    {"T_Handle", "Handle"},
    {"T_HandleState", "Handle state"},
    {"T_OneTimePasses", "#one time passes"},
    {"T_PatternPasses", "#pattern  passes"},
    {"T_PatternWidth", "Pattern width"},
    {"T_PatternHeight", "Pattern height"},
};

constexpr Labelled kSectorItems[] = {
    {"Technique", "Technique"},   {"tSrc", "Src"},
    {"nColors", "Number of colors"}, {"fInvert", "v/^ Invert"},
    {"feeder1", "Feeder 1"},      {"col1", "Color 1"},
    {"feeder2", "Feeder 2"},      {"col2", "Color 2"},
    {"feeder3", "Feeder 3"},      {"col3", "Color 3"},
    {"feeder4", "Feeder 4"},      {"col4", "Color 4"},
    {"FrontName", "Front"},       {"fSrc", "Front Src"},
    {"fnColors", "Front #Cols"},  {"fnRows", "Front Rows"},
    {"fnSts", "Front Stitches"},  {"fHorzRepeat", "v-- Repeat"},
    {"fVertRepeat", "v|| Repeat"}, {"fToRightLeft", "v to right/left"},
    {"fNameNum", "Front name number"}, {"fSrcNum", "Front source number"},
    {"fIndex", "Front index"},
    {"BackName", "Back"},         {"bSrc", "Back Src"},
    {"bnColors", "Back #Cols"},   {"bnRows", "Back Rows"},
    {"bnSts", "Back Stitches"},   {"bHorzRepeat", "^-- Repeat"},
    {"bVertRepeat", "^|| Repeat"}, {"bToRightLeft", "^ to right/left"},
    {"bNameNum", "Back name number"}, {"bSrcNum", "Back source number"},
    {"bIndex", "Back index"},
};

// Flag texts are lines; on one line of output they are joined with "; ".
std::string OneLine(std::string text) {
  std::string out;
  size_t from = 0;
  while (from < text.size()) {
    size_t end = text.find("\r\n", from);
    if (end == std::string::npos) end = text.size();
    if (!out.empty()) out += "; ";
    out += text.substr(from, end - from);
    from = end + 2;
  }
  return out;
}

template <size_t N>
void PrintItems(StoreHandle store, const Labelled (&items)[N], bool json_mode, JsonWriter* json,
                std::ostream& out) {
  for (const Labelled& l : items) {
    const int type = StoreGetType(store, l.item);
    if (type == kItemNone) continue;
    const std::string value = StoreGetString(store, l.item).value_or("");
    if (json_mode) {
      json->Key(l.item);
      if (type == kItemNumeric)
        json->Number(StoreGetNumeric(store, l.item));
      else
        json->String(value);
    } else {
      char label[40];
      std::snprintf(label, sizeof label, "%-20s", (std::string(l.label) + ":").c_str());
      out << label << ' ' << OneLine(value) << '\n';
    }
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
  const bool json_mode = parsed.Has("--json");
  JsonWriter json(io.out);
  StoreHandle app = session.app();
  if (json_mode) {
    json.BeginObject();
    json.Key("Name");
    json.String(name);
  }
  if (name.starts_with("T")) {
    if (session.Run("DP_LoadTechniqueDataFromModule") != 1) {
      session.ReportMessages(io);
      return kExitFailure;
    }
    PrintItems(app, kTechniqueItems, json_mode, &json, io.out);
    TableHandle rows = StoreGetTable(app, "Instructions");
    if (json_mode) json.Key("Instructions"), json.BeginArray();
    for (int r = 0; r < TableRows(rows); ++r) {
      const std::string code = TableCell(rows, r, 0).value_or("");
      const std::string instr = TableCell(rows, r, 1).value_or("");
      const std::string comment = TableCell(rows, r, 2).value_or("");
      if (json_mode) {
        json.BeginObject();
        json.Key("Code"), json.String(code);
        json.Key("Instr"), json.String(instr);
        json.Key("Comment"), json.String(comment);
        json.EndObject();
      } else {
        char line[512];
        std::snprintf(line, sizeof line, "%-10s %-10s %s", code.c_str(), instr.c_str(),
                      comment.c_str());
        io.out << line << '\n';
      }
    }
    if (json_mode) json.EndArray();
    TableFree(rows);
  } else if (name.starts_with("S")) {
    if (session.Run("DP_LoadSectorData") != 1) {
      session.ReportMessages(io);
      return kExitFailure;
    }
    PrintItems(session.main(), kSectorItems, json_mode, &json, io.out);
  } else if (name.starts_with("_")) {
    StoreDeleteItem(app, "textData");
    session.view().WhenDialogOpens("Text", [](DialogUser& user) { user.Close(); });
    session.Run("DP_TextInfo");
    const auto text = StoreGetString(app, "textData");
    if (!text) {
      if (json_mode) json.EndObject();
      io.err << name << " has no view\n";
      return kExitFailure;
    }
    if (json_mode) {
      json.Key("textData");
      json.String(*text);
    } else {
      std::string plain = *text;
      for (size_t at; (at = plain.find("\r\n")) != std::string::npos;) plain.erase(at, 1);
      io.out << plain;
    }
  } else {
    if (json_mode) json.EndObject();
    io.err << name << " has no view here; use 'r7k hex' or 'r7k export'\n";
    return kExitFailure;
  }
  if (json_mode) {
    json.EndObject();
    io.out << '\n';
  }
  return session.ReportMessages(io) ? kExitFailure : kExitOk;
}

}  // namespace r7k::cli
