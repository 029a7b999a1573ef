#include "app/sectors.h"

#include "app/directory_view.h"
#include "module/sector.h"

namespace r7k {
namespace {

constexpr char kCaption[] = "Show Sector";
// The items of one side, after its "f" or "b"; the name item is "FrontName" or "BackName".
constexpr const char* kSideItems[] = {"Src",     "Index",      "nColors",    "nRows",
                                      "nSts",    "HorzRepeat", "VertRepeat", "ToRightLeft",
                                      "NameNum", "SrcNum"};

// One side of the sector: its reference and the repeats kept in the record.
void SetSide(StoreHandle main, char side, const char* name_item, const PatternReference& ref,
             const SideRepeats& repeats) {
  const std::string p(1, side);
  if (ref.empty) {
    StoreSetString(main, name_item, "None");
    for (const char* item : kSideItems) StoreDeleteItem(main, p + item);
    return;
  }
  StoreSetString(main, name_item, ref.name);
  StoreSetString(main, p + "Src", SourceText(ref.source));
  StoreSetNumeric(main, p + "Index", ref.index);
  StoreSetNumeric(main, p + "nColors", ref.colours);
  StoreSetNumeric(main, p + "nRows", ref.rows);
  StoreSetNumeric(main, p + "nSts", ref.width);
  StoreSetNumeric(main, p + "HorzRepeat", repeats.horizontal);
  StoreSetNumeric(main, p + "VertRepeat", repeats.vertical);
  StoreSetNumeric(main, p + "ToRightLeft", repeats.to_right_left);
  StoreSetNumeric(main, p + "NameNum", ref.name_number);
  StoreSetNumeric(main, p + "SrcNum", ref.source_number);
}

int StepSector(FieldHandle field, int message, WParam wparam, LParam lparam, bool forward) {
  const int result = DlgFieldDefaultProc(field, message, wparam, lparam);
  if (message != kMsgActivate) return result;
  StoreHandle app = DlgItemStore(field);
  if (!StepDirectorySelection(app, 'S', forward)) return kResultSuppress;
  const WindowHandle window = DlgWindow(field);
  StoreHandle main = DlgMainStore(field);
  DlgRunProcedure(window, "DP_LoadSectorData", main, app);
  RunProcedureIfPresent(window, "DP_UpdatefBitmap", main, app);
  RunProcedureIfPresent(window, "DP_UpdatebBitmap", main, app);
  return result;
}

}  // namespace

std::string SourceText(uint8_t source) {
  switch (source) {
    case kSourceModule: return "MOD  (0x08)";
    case kSourceRom: return "ROM  (0x0c)";
    case kSourcePc: return "PC     (0x10)";
    default: return "Unknown";
  }
}

bool SetSectorItems(StoreHandle main, StoreHandle app, std::span<const uint8_t> record) {
  // A record too short for its fields is refused like one of another kind.
  const auto sector = ReadSectorRecord(record);
  if (record.size() < 2 || record[0] != kSectorKindMark || record[1] != 0 || !sector) return false;
  StoreSetNumeric(main, "nColors", sector->colours);
  for (int i = 0; i < 4; ++i) {
    StoreSetNumeric(main, "feeder" + std::to_string(i + 1), sector->feeders[i]);
    StoreSetNumeric(main, "col" + std::to_string(i + 1), sector->feeder_colours[i]);
  }
  StoreSetString(main, "fInvert", sector->invert ? "yes" : "no");
  StoreSetItem(app, "TechData", sector->technique.data(), sector->technique.size());
  StoreSetString(main, "tSrc", SourceText(sector->technique_source));
  StoreSetNumeric(main, "Technique", sector->technique_number);
  SetSide(main, 'f', "FrontName", sector->front, sector->front_repeats);
  SetSide(main, 'b', "BackName", sector->back, sector->back_repeats);
  return true;
}

int DP_LoadSectorData(WindowHandle owner, int, int, StoreHandle main, StoreHandle app) {
  const CurrentEntry entry = ReadCurrentEntry(app);
  const std::string name = entry.name.substr(0, 8);
  const auto bytes = ReadFileRange(entry.module, entry.start, entry.size);
  if (!bytes) {
    DlgMessageFmt(owner, kMbIconStop, kCaption, "Cannot load sector %s in module %s", name.c_str(),
                  entry.module.c_str());
    return 2;
  }
  if (!SetSectorItems(main, app, *bytes)) {
    DlgMessageFmt(owner, kMbIconStop, kCaption, "Cannot load item %s in module %s", name.c_str(),
                  entry.module.c_str());
    return 2;
  }
  return 1;
}

void ClearSectorItems(StoreHandle main, StoreHandle app) {
  for (const char* item : {"nColors", "fInvert", "tSrc", "Technique", "FrontName", "BackName"})
    StoreDeleteItem(main, item);
  for (int i = 1; i <= 4; ++i) {
    StoreDeleteItem(main, "feeder" + std::to_string(i));
    StoreDeleteItem(main, "col" + std::to_string(i));
  }
  for (const char* side : {"f", "b"})
    for (const char* item : kSideItems) StoreDeleteItem(main, std::string(side) + item);
  for (const char* item : {"TechData", "fPatBmp", "bPatBmp"}) StoreDeleteItem(app, item);
}

int CB_NextSector(FieldHandle field, int message, WParam wparam, LParam lparam) {
  return StepSector(field, message, wparam, lparam, true);
}

int CB_PreviousSector(FieldHandle field, int message, WParam wparam, LParam lparam) {
  return StepSector(field, message, wparam, lparam, false);
}

int CB_ShowTechnique(FieldHandle field, int message, WParam wparam, LParam lparam) {
  const int result = DlgFieldDefaultProc(field, message, wparam, lparam);
  if (message != kMsgActivate) return result;
  RunProcedureIfPresent(DlgWindow(field), "DP_TechniquePicture", DlgMainStore(field),
                        DlgItemStore(field));
  return kResultSuppress;
}

}  // namespace r7k
