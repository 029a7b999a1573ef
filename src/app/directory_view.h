#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dialog_engine.h"
#include "module/directory.h"
#include "store/item_store.h"

// The directory view of the main dialog: the current virtual module ("CurrentVirtualModule"),
// its directory as the table "Directory", and the current entry ("Valid", "Name", "Start",
// "End", "Size") that every entity operation works on.
namespace r7k {

inline constexpr char kDirectoryFormat[] = "%5s %-5s %-6s %-6s %-5s";
// The main dialog's status line while no virtual module is chosen.
inline constexpr char kChooseModuleHint[] =
    "Choose a virtual module: type its path above, drop a .r7v file on it or press \"...\"";

// The listing of the directory; the caller frees it with TableFree.
TableHandle BuildDirectoryTable(const Directory& directory, bool valid_only);

// Sets the item named by each column to the selected row's cell; deletes them when no row is
// selected.
void PublishSelection(StoreHandle store, const Table* table);

// The first row after (forward) or before `from` whose "Name" cell begins with `kind`; -1 when
// none.
int FindEntryRow(const Table* table, int from, char kind, bool forward);

// Moves the selection of "Directory" to the next or previous entry of that kind and publishes
// it. False (nothing changed) when there is none.
bool StepDirectorySelection(StoreHandle app, char kind, bool forward);

// Runs a procedure when it is registered; procedures that are not there yet are passed over.
int RunProcedureIfPresent(WindowHandle owner, std::string_view name, StoreHandle main_store,
                          StoreHandle app_store);

// The current entry as the application store holds it.
struct CurrentEntry {
  std::string module;  // path of the virtual module
  std::string name;
  int64_t start = 0;
  int64_t size = 0;
};
CurrentEntry ReadCurrentEntry(StoreHandle app);

// `count` bytes at `offset` of the virtual module named by "CurrentVirtualModule"; nothing
// when the file cannot be opened or the range does not lie within it.
std::optional<std::vector<uint8_t>> ReadModuleBytes(StoreHandle store, int64_t offset,
                                                    int64_t count);
std::optional<std::vector<uint8_t>> ReadFileRange(const std::string& path, int64_t offset,
                                                  int64_t count);

// The folder of a file path, with its separator ("" for a bare name).
std::string FolderOf(const std::string& path);

// ".r7v" appended unless the last part of the path already ends in ".r7v" (any case).
std::string WithModuleExtension(std::string path);

// The file dialog for a virtual module; 1 with the path set, 0 when cancelled.
int SelectVirtualModuleFile(const std::string& initial_folder, std::string& path);

// Reads the current virtual module into "Directory" (row 0 selected and published) and sets
// "fReadOnly". On failure "Directory" is deleted and, unless a module operation runs
// ("CmdTable"), the reason is shown. True when loaded.
bool LoadDirectory(WindowHandle window, StoreHandle app);

int CB_CurrentVirtualModule(FieldHandle field, int message, WParam wparam, LParam lparam);
// Files dropped on the path field: the first becomes the field's item (the current virtual
// module) and the directory is dropped, so the next display loads the new file.
void DropOnPathField(FieldHandle field, const std::vector<std::string>& paths);
// The main dialog's status line: says that a virtual module is to be chosen while there is
// none and nothing else is shown.
int CB_MainStatus(FieldHandle field, int message, WParam wparam, LParam lparam);
int CB_Browse(FieldHandle field, int message, WParam wparam, LParam lparam);
int CB_ShowValidOnly(FieldHandle field, int message, WParam wparam, LParam lparam);
int CB_NextPattern(FieldHandle field, int message, WParam wparam, LParam lparam);
int CB_PreviousPattern(FieldHandle field, int message, WParam wparam, LParam lparam);

// Registers every callback and procedure of the editing side (directory view, entity files,
// new entries, sectors, techniques, text records).
void RegisterEditingCallbacks();

}  // namespace r7k
