#pragma once

// The names the dialog scripts call: field callbacks ("CB_ReadModule", custom field procedures
// such as "BitmapFld") and procedures ("DP_Info"). The application registers each one once, at
// start, from a table:
//
//   const CallbackEntry kFrameCallbacks[] = {{"CB_Config", CB_Config}, {"CB_Port", CB_Port}};
//   RegisterCallbacks(kFrameCallbacks);
//   const ProcedureEntry kProcedures[] = {{"DP_Info", DP_Info}};
//   RegisterProcedures(kProcedures);

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/item_store.h"
#include "support/window_messages.h"

namespace r7k {

struct Field;
using FieldHandle = Field*;

// (field, message, wparam, lparam) → the engine's result.
using FieldProc = int (*)(FieldHandle field, int message, WParam wparam, LParam lparam);
// (owner window, two engine words, main store, application store) → 1 on success, 2 after a
// reported failure.
using DialogProcedure = int (*)(WindowHandle owner, int word1, int word2, StoreHandle main_store,
                                StoreHandle app_store);

struct CallbackEntry {
  const char* name;
  FieldProc proc;
};
struct ProcedureEntry {
  const char* name;
  DialogProcedure proc;
};

void RegisterCallbacks(std::span<const CallbackEntry> entries);
void RegisterProcedures(std::span<const ProcedureEntry> entries);
void RegisterCallback(std::string_view name, FieldProc proc);
void RegisterProcedure(std::string_view name, DialogProcedure proc);
// Forgets every registration (tests).
void ClearRegistrations();

// Names are matched exactly: the scripts spell them as the code does.
FieldProc FindCallback(std::string_view name);
DialogProcedure FindProcedure(std::string_view name);
std::vector<std::string> RegisteredNames();

// "unknown callback 'CB_Reed'; did you mean 'CB_Read'?" (the hint only when a name is close).
std::string UnknownNameMessage(std::string_view kind, std::string_view name);

// A callback attribute: an optional "=", the name, then an optional parameter after a blank
// ("=BitmapFld question.bmp" → "BitmapFld", "question.bmp").
struct CallbackRef {
  std::string name;
  std::string parameter;
};
CallbackRef ParseCallbackRef(std::string_view text);

}  // namespace r7k
