#pragma once

#include <cstdint>
#include <span>

#include "engine/dialog_engine.h"

// The technique view: the header of "TechData" in words, its instruction listing, and the
// navigation between the techniques of the directory.
namespace r7k {

// Builds the table "Instructions" from the stream that starts at `from` of the record.
void DecodeInstructions(StoreHandle app, std::span<const uint8_t> record, size_t from = 11);

// Sets the header items ("T_Size" ... "T_PatternHeight", deleted when the record has no whole
// header) and the table "Instructions" from a technique record.
void SetTechniqueItems(StoreHandle app, std::span<const uint8_t> record);

int DP_LoadTechniqueData(WindowHandle owner, int, int, StoreHandle main_store, StoreHandle app);
int DP_LoadTechniqueDataFromModule(WindowHandle owner, int, int, StoreHandle main_store,
                                   StoreHandle app);
int DP_LoadTechniqueDataFromColl(WindowHandle owner, int, int, StoreHandle main_store,
                                 StoreHandle app);
int CB_NextTechnique(FieldHandle field, int message, WParam wparam, LParam lparam);
int CB_PreviousTechnique(FieldHandle field, int message, WParam wparam, LParam lparam);

}  // namespace r7k
