#pragma once

// Callbacks of the configuration dialog, the help entries and printing.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/callbacks.h"

namespace r7k {

inline constexpr char kHelpFileEn[] = "R7kProgEn.chm";
inline constexpr char kHelpFileNl[] = "R7kProgNl.chm";
inline constexpr char kPaletteFilter[] = "Palette file (*.pal)|*pal";

int CB_Port(FieldHandle field, int message, WParam wparam, LParam lparam);
int CB_Config(FieldHandle field, int message, WParam wparam, LParam lparam);
int CB_BrowsePalette(FieldHandle field, int message, WParam wparam, LParam lparam);
int CB_RightAlign(FieldHandle field, int message, WParam wparam, LParam lparam);
int CB_HelpEn(FieldHandle field, int message, WParam wparam, LParam lparam);
int CB_HelpNl(FieldHandle field, int message, WParam wparam, LParam lparam);
int CB_Print(FieldHandle field, int message, WParam wparam, LParam lparam);

// The folder of the running program, where the help files are installed.
std::filesystem::path ProgramFolder();

// How documents are opened (the desktop's browser or xdg-open); tests put a recorder here.
// An empty function restores the default.
using DocumentLauncher = std::function<bool(const std::vector<std::string>& argv)>;
void SetDocumentLauncher(DocumentLauncher launcher);
// Tests point the help files elsewhere; an empty path restores the program's folder.
void SetHelpFolder(std::filesystem::path folder);

}  // namespace r7k
