#include "app/techniques.h"

#include <string>
#include <vector>

#include "app/directory_view.h"
#include "module/instructions.h"

namespace r7k {
namespace {

constexpr const char* kHeaderItems[] = {
    "T_Size",        "T_Number",        "T_Byte3",         "T_Byte4",        "T_Handle",
    "T_HandleState", "T_OneTimePasses", "T_PatternPasses", "T_PatternWidth", "T_PatternHeight",
};

int StepTechnique(FieldHandle field, int message, WParam wparam, LParam lparam, bool forward) {
  const int result = DlgFieldDefaultProc(field, message, wparam, lparam);
  if (message != kMsgActivate) return result;
  StoreHandle app = DlgItemStore(field);
  if (!StepDirectorySelection(app, 'T', forward)) return kResultSuppress;
  DlgRunProcedure(DlgWindow(field), "DP_LoadTechniqueDataFromModule", DlgMainStore(field), app);
  return result;
}

}  // namespace

void DecodeInstructions(StoreHandle app, std::span<const uint8_t> record, size_t from) {
  TableHandle table = TableNew(static_cast<int>(kInstructionColumns.size()));
  TableWriteRow(table, kRowSetNames,
                std::vector<std::string>(kInstructionColumns.begin(), kInstructionColumns.end()));
  for (const InstructionRow& row : DecodeInstructionRows(record, from).rows)
    TableWriteRow(table, kRowAppend, std::vector<std::string>{row.code, row.instr, row.comment});
  StoreSetTable(app, "Instructions", table);
  TableFree(table);
}

void SetTechniqueItems(StoreHandle app, std::span<const uint8_t> record) {
  if (const auto header = DescribeTechniqueHeader(record)) {
    StoreSetNumeric(app, "T_Size", header->size);
    StoreSetNumeric(app, "T_Number", header->number);
    StoreSetString(app, "T_Byte3", header->byte3);
    StoreSetString(app, "T_Byte4", header->byte4);
    StoreSetString(app, "T_Handle", header->handle);
    StoreSetString(app, "T_HandleState", header->handle_state);
    StoreSetNumeric(app, "T_OneTimePasses", header->one_time_passes);
    StoreSetNumeric(app, "T_PatternPasses", header->pattern_passes);
    StoreSetNumeric(app, "T_PatternWidth", header->width);
    StoreSetNumeric(app, "T_PatternHeight", header->height);
  } else {
    // A record without a whole header has nothing to show.
    for (const char* item : kHeaderItems) StoreDeleteItem(app, item);
  }
  DecodeInstructions(app, record);
}

int DP_LoadTechniqueData(WindowHandle owner, int, int, StoreHandle main_store, StoreHandle app) {
  const std::vector<uint8_t> record =
      StoreGetItem(app, "TechData").value_or(std::vector<uint8_t>{});
  SetTechniqueItems(app, record);
  RunProcedureIfPresent(owner, "DP_UpdateTechfBitmap", main_store, app);
  RunProcedureIfPresent(owner, "DP_UpdateTechbBitmap", main_store, app);
  return 1;
}

int DP_LoadTechniqueDataFromModule(WindowHandle owner, int, int, StoreHandle main_store,
                                   StoreHandle app) {
  const CurrentEntry entry = ReadCurrentEntry(app);
  const auto record = ReadFileRange(entry.module, entry.start, entry.size);
  if (!record) {
    DlgMessageFmt(owner, kMbIconStop, "Show Technique", "Cannot load module %s",
                  entry.module.c_str());
    return 2;
  }
  StoreSetItem(app, "TechData", record->data(), record->size());
  DlgRunProcedure(owner, "DP_LoadTechniqueData", main_store, app);
  return 1;
}

int DP_LoadTechniqueDataFromColl(WindowHandle owner, int, int, StoreHandle main_store,
                                 StoreHandle app) {
  DlgRunProcedure(owner, "DP_LoadTechniqueData", main_store, app);
  return 1;
}

int CB_NextTechnique(FieldHandle field, int message, WParam wparam, LParam lparam) {
  return StepTechnique(field, message, wparam, lparam, true);
}

int CB_PreviousTechnique(FieldHandle field, int message, WParam wparam, LParam lparam) {
  return StepTechnique(field, message, wparam, lparam, false);
}

}  // namespace r7k
