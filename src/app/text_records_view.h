#pragma once

#include "engine/dialog_engine.h"

// The "Text" dialog: the machine text records "_0000" to "_0006" as readable lines.
namespace r7k {

// Sets "textData" to the lines of the current entry and shows them in the dialog "Text" with
// the entry's name in its title; names without a view show nothing. Returns 1.
int DP_TextInfo(WindowHandle owner, int, int, StoreHandle main_store, StoreHandle app);

}  // namespace r7k
