#include "app/entry_text.h"

#include <algorithm>
#include <cstdio>

#include "app/sectors.h"
#include "app/techniques.h"
#include "module/instructions.h"
#include "module/sector.h"
#include "module/text_records.h"

namespace r7k {
namespace {

constexpr ShownItem kTechniqueItems[] = {
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

constexpr ShownItem kSectorItems[] = {
    {"Technique", "Technique"},
    {"tSrc", "Src"},
    {"nColors", "Number of colors"},
    {"fInvert", "v/^ Invert"},
    {"feeder1", "Feeder 1"},
    {"col1", "Color 1"},
    {"feeder2", "Feeder 2"},
    {"col2", "Color 2"},
    {"feeder3", "Feeder 3"},
    {"col3", "Color 3"},
    {"feeder4", "Feeder 4"},
    {"col4", "Color 4"},
    {"FrontName", "Front"},
    {"fSrc", "Front Src"},
    {"fnColors", "Front #Cols"},
    {"fnRows", "Front Rows"},
    {"fnSts", "Front Stitches"},
    {"fHorzRepeat", "v-- Repeat"},
    {"fVertRepeat", "v|| Repeat"},
    {"fToRightLeft", "v to right/left"},
    {"fNameNum", "Front name number"},
    {"fSrcNum", "Front source number"},
    {"fIndex", "Front index"},
    {"BackName", "Back"},
    {"bSrc", "Back Src"},
    {"bnColors", "Back #Cols"},
    {"bnRows", "Back Rows"},
    {"bnSts", "Back Stitches"},
    {"bHorzRepeat", "^-- Repeat"},
    {"bVertRepeat", "^|| Repeat"},
    {"bToRightLeft", "^ to right/left"},
    {"bNameNum", "Back name number"},
    {"bSrcNum", "Back source number"},
    {"bIndex", "Back index"},
};

// Flag texts are lines; on one line they are joined with "; ".
std::string OneLine(const std::string& text) {
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

void AppendItems(StoreHandle store, std::span<const ShownItem> items, std::string& out) {
  for (const ShownItem& shown : items) {
    if (StoreGetType(store, shown.item) == kItemNone) continue;
    char label[40];
    std::snprintf(label, sizeof label, "%-20s", (std::string(shown.label) + ":").c_str());
    out += label;
    out += ' ' + OneLine(StoreGetString(store, shown.item).value_or("")) + '\n';
  }
}

// Closes the stores of one EntryText call, whatever happens.
struct OwnStores {
  StoreHandle main = StoreOpen("EntryTextMain");
  StoreHandle app = StoreOpen("EntryTextApp");
  ~OwnStores() {
    StoreClose(main);
    StoreClose(app);
  }
};

}  // namespace

std::span<const ShownItem> TechniqueShownItems() { return kTechniqueItems; }
std::span<const ShownItem> SectorShownItems() { return kSectorItems; }

std::string ShownEntryText(std::string_view name, StoreHandle main, StoreHandle app) {
  std::string out;
  if (name.starts_with('T')) {
    AppendItems(app, kTechniqueItems, out);
    TableHandle rows = StoreGetTable(app, "Instructions");
    for (int r = 0; r < TableRows(rows); ++r) {
      char line[512];
      std::snprintf(line, sizeof line, "%-10s %-10s %s", TableCell(rows, r, 0).value_or("").c_str(),
                    TableCell(rows, r, 1).value_or("").c_str(),
                    TableCell(rows, r, 2).value_or("").c_str());
      out += line;
      out += '\n';
    }
    TableFree(rows);
  } else if (name.starts_with('S')) {
    AppendItems(main, kSectorItems, out);
  } else if (name.starts_with('_')) {
    out = StoreGetString(app, "textData").value_or("");
    std::erase(out, '\r');
  }
  return out;
}

std::optional<std::string> EntryText(std::string_view name, std::span<const uint8_t> record) {
  OwnStores stores;
  if (name.starts_with('T')) {
    SetTechniqueItems(stores.app, record);
  } else if (name.starts_with('S')) {
    if (!SetSectorItems(stores.main, stores.app, record)) return std::nullopt;
  } else if (name.starts_with('_') && HasTextRecordView(name)) {
    const auto text =
        TextRecordText(name, record.first(std::min(record.size(), kTextRecordViewBytes)));
    if (!text) return std::nullopt;
    StoreSetString(stores.app, "textData", *text);
  } else {
    return std::nullopt;
  }
  return ShownEntryText(name, stores.main, stores.app);
}

}  // namespace r7k
