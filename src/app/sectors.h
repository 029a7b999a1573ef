#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "engine/dialog_engine.h"

// The sector view: a sector record in items, the navigation between sectors and the view of
// the sector's embedded technique.
namespace r7k {

// "MOD  (0x08)", "ROM  (0x0c)", "PC     (0x10)" or "Unknown".
std::string SourceText(uint8_t source);

// Sets the items of the sector view (main store; the embedded technique record as "TechData"
// in the application store). False, and nothing changed, when the record is too short or does
// not begin with the kind mark 0x64 and a zero high byte of its number.
bool SetSectorItems(StoreHandle main, StoreHandle app, std::span<const uint8_t> record);

int DP_LoadSectorData(WindowHandle owner, int, int, StoreHandle main_store, StoreHandle app);
// Removes the items of the sector view once it has closed, so that none shows in another
// view (item names ignore case: its "col1" would show as a pattern's "Col1").
void ClearSectorItems(StoreHandle main_store, StoreHandle app);
int CB_NextSector(FieldHandle field, int message, WParam wparam, LParam lparam);
int CB_PreviousSector(FieldHandle field, int message, WParam wparam, LParam lparam);
int CB_ShowTechnique(FieldHandle field, int message, WParam wparam, LParam lparam);

}  // namespace r7k
