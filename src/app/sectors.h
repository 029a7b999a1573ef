#pragma once

#include <cstdint>
#include <string>

#include "engine/dialog_engine.h"

// The sector view: a sector record in items, the navigation between sectors and the view of
// the sector's embedded technique.
namespace r7k {

// "MOD  (0x08)", "ROM  (0x0c)", "PC     (0x10)" or "Unknown".
std::string SourceText(uint8_t source);

int DP_LoadSectorData(WindowHandle owner, int, int, StoreHandle main_store, StoreHandle app);
int CB_NextSector(FieldHandle field, int message, WParam wparam, LParam lparam);
int CB_PreviousSector(FieldHandle field, int message, WParam wparam, LParam lparam);
int CB_ShowTechnique(FieldHandle field, int message, WParam wparam, LParam lparam);

}  // namespace r7k
