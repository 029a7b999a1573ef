#pragma once

// The About dialog's items: the program's version and copyright and the operating system.

#include <string>
#include <utility>
#include <vector>

#include "engine/callbacks.h"

namespace r7k {

// ("R7kProgVersion", ...), ("R7kProgCopyright", ...), ("WinVer", ...), in that order; a value
// may be empty when it could not be had.
std::vector<std::pair<std::string, std::string>> AboutItems();

// Message 3: fills the three items (an empty value deletes its item), then default handling.
int CB_R7kProgVersion(FieldHandle field, int message, WParam wparam, LParam lparam);

}  // namespace r7k
