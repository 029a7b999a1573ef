#pragma once

// Callbacks of the configuration dialog, the help entries and printing.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/callbacks.h"

namespace r7k {

// The two help files: the first page of the manual in English and in Dutch, below a data folder.
inline constexpr char kHelpFileEn[] = "manual/en/index.html";
inline constexpr char kHelpFileNl[] = "manual/nl/index.html";
inline constexpr char kPaletteFilter[] = "Palette file (*.pal)|*pal";

int CB_Port(FieldHandle field, int message, WParam wparam, LParam lparam);
int CB_Config(FieldHandle field, int message, WParam wparam, LParam lparam);
int CB_BrowsePalette(FieldHandle field, int message, WParam wparam, LParam lparam);
int CB_RightAlign(FieldHandle field, int message, WParam wparam, LParam lparam);
int CB_HelpEn(FieldHandle field, int message, WParam wparam, LParam lparam);
int CB_HelpNl(FieldHandle field, int message, WParam wparam, LParam lparam);
int CB_Print(FieldHandle field, int message, WParam wparam, LParam lparam);

// The folder of the running program.
std::filesystem::path ProgramFolder();

// Where the program's data (button pictures, the manual) is looked for, in this order: beside
// the program (a build folder, or an installation on Windows), then the installed data folder
// ../share/r7kprog. Empty when the program's own path is unknown.
std::vector<std::filesystem::path> DataFolders();
// Tests point the data folders elsewhere; an empty list restores the program's.
void SetDataFolders(std::vector<std::filesystem::path> folders);

// The help file `file` (kHelpFileEn, kHelpFileNl) in the first data folder that has it.
std::optional<std::filesystem::path> FindHelpFile(std::string_view file);

// The texts of one language of the manual.
struct HelpLanguage {
  const char* file;        // kHelpFileEn or kHelpFileNl
  const char* missing;     // shown when the manual is not installed
  const char* no_browser;  // shown with the page's path when no browser could be started
};
extern const HelpLanguage kHelpEnglish;
extern const HelpLanguage kHelpDutch;

// Finds the manual in `language` and opens its first page in the web browser, through the same
// launcher as the full pattern page; tells the user in a message box when it is not installed
// or cannot be shown. The one place that knows where the manual lies and how it is opened.
bool OpenManual(WindowHandle window, const HelpLanguage& language);

}  // namespace r7k
