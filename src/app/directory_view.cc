#include "app/directory_view.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/module_file.h"
#include "engine/callbacks.h"
#include "module/address.h"
#include "platform/file_io.h"
#include "support/ascii.h"

namespace r7k {
namespace {

constexpr std::array<const char*, 5> kDirectoryColumns = {"Valid", "Name", "Start", "End", "Size"};
constexpr int kNameColumn = 1;
constexpr uint32_t kWmCommand = 273;
constexpr char kLoadCaption[] = "Pattern Load";

// Presses the hidden "Dummy" field through the dialog's queue so the dialog refreshes.
void PostDummyPress(FieldHandle field) {
  const int index = DlgIndexFromTag(field, "Dummy");
  if (index < 0) return;
  PostWindowMessage(DlgWindow(field), kWmCommand,
                    static_cast<WParam>(DlgGetFieldInfo(field, index, kFieldControlId)),
                    static_cast<LParam>(DlgGetFieldInfo(field, index, kFieldWindow)));
}

bool EndsWithR7v(std::string_view name) {
  if (name.size() < 4) return false;
  const std::string_view ext = name.substr(name.size() - 4);
  return ext[0] == '.' && (ext[1] == 'r' || ext[1] == 'R') && ext[2] == '7' &&
         (ext[3] == 'v' || ext[3] == 'V');
}

// The path with what the file is now: its size and time, or that it is missing.
size_t LoadAttemptKey(const std::string& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  const auto time =
      ec ? std::filesystem::file_time_type{} : std::filesystem::last_write_time(path, ec);
  const std::string state =
      path + '\n' +
      (ec ? std::string("missing")
          : std::to_string(size) + ' ' + std::to_string(time.time_since_epoch().count()));
  return std::hash<std::string>{}(state) | 1;
}

int StepPattern(FieldHandle field, int message, WParam wparam, LParam lparam, bool forward) {
  const int result = DlgFieldDefaultProc(field, message, wparam, lparam);
  if (message == kMsgActivate) StepDirectorySelection(DlgItemStore(field), 'P', forward);
  return result;
}

}  // namespace

TableHandle BuildDirectoryTable(const Directory& directory, bool valid_only) {
  TableHandle table = TableNew(static_cast<int>(kDirectoryColumns.size()));
  TableWriteRow(table, kRowSetNames,
                std::vector<std::string>(kDirectoryColumns.begin(), kDirectoryColumns.end()));
  TableWriteRow(table, kRowSetFormat, std::vector<std::string>{kDirectoryFormat});
  for (const DirectoryEntry& e : directory.entries) {
    if (valid_only && e.state != kEntryValid) continue;
    char state[4];
    std::snprintf(state, sizeof state, "%02X", e.state);
    TableWriteRow(table, kRowAppend,
                  std::vector<std::string>{state, e.name, std::to_string(e.start),
                                           std::to_string(e.end), std::to_string(e.Size())});
  }
  return table;
}

void PublishSelection(StoreHandle store, const Table* table) {
  if (!table) return;
  const int row = TableReadSelection(table);
  for (int col = 0; col < TableCols(table); ++col) {
    const auto name = TableCell(table, kRowNames, col);
    if (!name || name->empty()) continue;
    const auto cell = row >= 0 ? TableCell(table, row, col) : std::nullopt;
    if (cell)
      StoreSetString(store, *name, cell->substr(0, 256));
    else
      StoreDeleteItem(store, *name);
  }
}

int FindEntryRow(const Table* table, int from, char kind, bool forward) {
  const int rows = TableRows(table);
  for (int row = from; row >= 0 && row < rows; row += forward ? 1 : -1) {
    const auto name = TableCell(table, row, kNameColumn);
    if (name && !name->empty() && (*name)[0] == kind) return row;
  }
  return -1;
}

bool StepDirectorySelection(StoreHandle app, char kind, bool forward) {
  TableHandle table = StoreGetTable(app, "Directory");
  if (!table) return false;
  const int selected = TableReadSelection(table);
  const int from = forward ? selected + 1 : (selected < 0 ? TableRows(table) - 1 : selected - 1);
  const int row = FindEntryRow(table, from, kind, forward);
  if (row >= 0) {
    TableWriteSelection(table, row);
    StoreTableSetSelection(app, "Directory", row);
    PublishSelection(app, table);
  }
  TableFree(table);
  return row >= 0;
}

int RunProcedureIfPresent(WindowHandle owner, std::string_view name, StoreHandle main_store,
                          StoreHandle app_store) {
  if (!FindProcedure(name)) return 1;
  return DlgRunProcedure(owner, name, main_store, app_store);
}

CurrentEntry ReadCurrentEntry(StoreHandle app) {
  CurrentEntry entry;
  entry.module = StoreGetString(app, "CurrentVirtualModule").value_or("");
  entry.name = StoreGetString(app, "Name").value_or("");
  entry.start = StoreGetNumeric(app, "Start");
  entry.size = StoreGetNumeric(app, "Size");
  return entry;
}

std::optional<std::vector<uint8_t>> ReadFileRange(const std::string& path, int64_t offset,
                                                  int64_t count) {
  if (offset < 0 || count < 0) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  in.seekg(0, std::ios::end);
  const int64_t file_size = static_cast<int64_t>(in.tellg());
  if (file_size < 0 || offset > file_size || count > file_size - offset) return std::nullopt;
  std::vector<uint8_t> bytes(static_cast<size_t>(count));
  in.seekg(offset);
  in.read(reinterpret_cast<char*>(bytes.data()), count);
  if (in.gcount() != count) return std::nullopt;
  return bytes;
}

std::optional<std::vector<uint8_t>> ReadModuleBytes(StoreHandle store, int64_t offset,
                                                    int64_t count) {
  const auto path = StoreGetString(store, "CurrentVirtualModule");
  if (!path) return std::nullopt;
  return ReadFileRange(*path, offset, count);
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of(kPathSeparators);
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string WithModuleExtension(std::string path) {
  const size_t slash = path.find_last_of(kPathSeparators);
  const std::string_view last =
      std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1);
  if (last.find('.') == std::string_view::npos || !EndsWithR7v(last)) path += ".r7v";
  return path;
}

int SelectVirtualModuleFile(const std::string& initial_folder, std::string& path) {
  FileRequest request;
  request.title = "Select Virtual Memory Module folder & file";
  request.filter = "R7000 Virtual Memory Module (*.r7v)|*.r7v";
  request.initial_path = initial_folder;
  const auto chosen = DlgChooseFile(0, request);
  if (!chosen || chosen->empty()) return 0;
  path = WithModuleExtension(*chosen);
  return 1;
}

bool LoadDirectory(WindowHandle window, StoreHandle app) {
  const std::string path = StoreGetString(app, "CurrentVirtualModule").value_or("");
  const LoadedModule module = LoadVirtualModule(path);
  if (!module.ok()) {
    if (StoreGetType(app, "CmdTable") == kItemNone)
      DlgMessage(window, kMbOk, kLoadCaption, ModuleLoadMessage(module, path));
    StoreDeleteItem(app, "Directory");
    // The entry of the module before is no entry of this file: Info or Update on it would
    // read or write the refused file at its offsets.
    for (const char* item : kDirectoryColumns) StoreDeleteItem(app, item);
    return false;
  }
  const Directory& directory = module.directory;
  TableHandle table = BuildDirectoryTable(directory, StoreGetNumeric(app, "fShowValidOnly") != 0);
  TableWriteSelection(table, TableRows(table) > 0 ? 0 : -1);
  StoreSetTable(app, "Directory", table);
  PublishSelection(app, table);
  TableFree(table);
  StoreSetNumeric(app, "fReadOnly", MayWrite(path) ? 0 : 1);
  return true;
}

void DropOnPathField(FieldHandle field, const std::vector<std::string>& paths) {
  char tag[256] = "";
  if (paths.empty() || !DlgGetProperty(field, kThisField, kAttrTag, tag, sizeof tag)) return;
  // The extension is not checked: the load checks the size.
  StoreHandle app = DlgItemStore(field);
  StoreDeleteItem(app, "Directory");
  StoreSetString(app, tag, paths.front());
}

int CB_CurrentVirtualModule(FieldHandle field, int message, WParam wparam, LParam lparam) {
  StoreHandle app = DlgItemStore(field);
  if (message == kMsgDialogOpened) DlgAcceptDrops(field, DropOnPathField);
  const int result = DlgFieldDefaultProc(field, message, wparam, lparam);
  // Typed by the user: the directory shown is that of the path before.
  if (message == kMsgValueChanged) StoreDeleteItem(app, "Directory");
  // Shown: the path changed. Idle: something else may have dropped the directory (a new
  // entry, a module read into the same file) without changing the path.
  if (message != kMsgValueShown && message != kMsgIdle && message != kMsgValueChanged)
    return result;
  // An empty path names no module ("Keep file" without a saved path, a cleared field): there
  // is nothing to load, and what needs a module stays unavailable.
  if (StoreGetType(app, "CurrentVirtualModule") != kItemNone &&
      StoreGetString(app, "CurrentVirtualModule").value_or("").empty()) {
    StoreDeleteItem(app, "CurrentVirtualModule");
    for (const char* item : kDirectoryColumns) StoreDeleteItem(app, item);
  }
  if (message == kMsgValueChanged) return result;
  if (StoreGetType(app, "CurrentVirtualModule") == kItemNone ||
      StoreGetType(app, "Directory") != kItemNone)
    return result;
  // A file that failed to load is not tried again at every idle round: its error is shown
  // once. Once the file changes (a module read into the file that was not there) it is.
  const size_t key = LoadAttemptKey(*StoreGetString(app, "CurrentVirtualModule"));
  const auto* failed = static_cast<const size_t*>(DlgFieldMemRetrieve(field));
  if (message == kMsgIdle && failed && *failed == key) return result;
  const bool loaded = LoadDirectory(DlgWindow(field), app);
  if (loaded && StoreGetString(app, "_Status") == kChooseModuleHint)
    StoreDeleteItem(app, "_Status");
  if (auto* memory = static_cast<size_t*>(DlgFieldMemAlloc(field, sizeof(size_t))))
    *memory = loaded ? 0 : key;
  // A list that showed no table yet learns of the new one through a refresh.
  const int list = DlgIndexFromTag(field, "Directory");
  if (list >= 0 && DlgTableRowCount(field, list) < 0) PostDummyPress(field);
  return result;
}

int CB_MainStatus(FieldHandle field, int message, WParam wparam, LParam lparam) {
  const int result = DlgFieldDefaultProc(field, message, wparam, lparam);
  // While no module is chosen and nothing else is said, the status line tells a new user what
  // the greyed buttons wait for.
  StoreHandle app = DlgItemStore(field);
  if (message == kMsgValueShown && StoreGetType(app, "CurrentVirtualModule") == kItemNone &&
      StoreGetString(app, "_Status").value_or("").empty()) {
    StoreSetString(app, "_Status", kChooseModuleHint);
    return DlgFieldDefaultProc(field, message, wparam, lparam);
  }
  return result;
}

int CB_Browse(FieldHandle field, int message, WParam wparam, LParam lparam) {
  if (message != kMsgActivate) return DlgFieldDefaultProc(field, message, wparam, lparam);
  StoreHandle app = DlgItemStore(field);
  const std::string current = StoreGetString(app, "CurrentVirtualModule").value_or("");
  std::string path;
  if (!SelectVirtualModuleFile(FolderOf(current), path)) {
    DlgMessage(DlgWindow(field), kMbOk, "Browse", "No Virtual Module selected");
    return DlgFieldDefaultProc(field, message, wparam, lparam);
  }
  const int result = DlgFieldDefaultProc(field, message, wparam, lparam);
  if (path != current) {
    StoreDeleteItem(app, "Directory");
    StoreSetString(app, "CurrentVirtualModule", path);
  }
  return result;
}

int CB_ShowValidOnly(FieldHandle field, int message, WParam wparam, LParam lparam) {
  const int result = DlgFieldDefaultProc(field, message, wparam, lparam);
  if (message != kMsgValueChanged) return result;
  StoreHandle app = DlgItemStore(field);
  char text[4] = "";
  DlgGetField(field, kThisField, text, sizeof text);
  StoreSetNumeric(app, "fShowValidOnly", text[0] == '1' ? 1 : 0);
  StoreDeleteItem(app, "Directory");
  // The path field reloads on its next showing; the path itself did not change, so load now.
  if (StoreGetType(app, "CurrentVirtualModule") != kItemNone) LoadDirectory(DlgWindow(field), app);
  PostDummyPress(field);
  return result;
}

int CB_NextPattern(FieldHandle field, int message, WParam wparam, LParam lparam) {
  return StepPattern(field, message, wparam, lparam, true);
}

int CB_PreviousPattern(FieldHandle field, int message, WParam wparam, LParam lparam) {
  return StepPattern(field, message, wparam, lparam, false);
}

}  // namespace r7k
