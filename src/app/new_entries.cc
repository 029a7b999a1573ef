#include "app/new_entries.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "app/directory_view.h"
#include "app/entity_files.h"
#include "app/module_file.h"
#include "module/address.h"
#include "module/directory.h"
#include "module/technique.h"
#include "module/validate.h"
#include "platform/file_io.h"

namespace r7k {
namespace {

constexpr std::array<uint8_t, 18> kTechniqueTemplate = {0x11, 0x01, 0x2C, 0x00, 0x17, 0x00,
                                                        0x22, 0x00, 0x02, 0x01, 0x01, 0x01,
                                                        0x07, 0x02, 0xE9, 0xEF, 0x01, 0x00};
constexpr std::array<uint8_t, 19> kPatternTemplate = {0x01, 0x00, 0x02, 0x00, 0x02, 0x00, 0x00,
                                                      0x00, 0x04, 0x02, 0x07, 0x00, 0x00, 0x00,
                                                      0x04, 0x02, 0x00, 0x07, 0x00};

struct KindTexts {
  const char* dialog;
  const char* caption;
  const char* not_added;
  const char* bad_name;
  const char* exists;
  const char* name_item;
  const char* size_item;
};

constexpr KindTexts kTechniqueTexts = {"NewTech",
                                       "New Technique",
                                       "No technique added",
                                       "Incorrect technique name: %s",
                                       "Technique %s already exists",
                                       "t_Name",
                                       "t_size"};
constexpr KindTexts kPatternTexts = {"NewPat",
                                     "New Pattern",
                                     "No pattern added",
                                     "Incorrect pattern name: %s",
                                     "Pattern %s already exists",
                                     "p_Name",
                                     "p_size"};
constexpr KindTexts kSectorTexts = {nullptr,
                                    "New Sector",
                                    "No sector added",
                                    "Incorrect sector name: %s",
                                    "Sector %s already exists",
                                    nullptr,
                                    nullptr};

const KindTexts& TextsOf(NewEntryKind kind) {
  switch (kind) {
    case NewEntryKind::kTechnique: return kTechniqueTexts;
    case NewEntryKind::kPattern: return kPatternTexts;
    case NewEntryKind::kSector: break;
  }
  return kSectorTexts;
}

std::string Format(const char* format, const std::string& value) {
  char text[512];
  std::snprintf(text, sizeof text, format, value.c_str());
  return text;
}

int AddEntryProcedure(NewEntryKind kind, WindowHandle owner, StoreHandle main, StoreHandle app) {
  const KindTexts& t = TextsOf(kind);
  if (DlgRunDialog(owner, t.dialog, main, app) != kIdOk) {
    DlgMessage(owner, kMbOk, t.caption, t.not_added);
    return 2;
  }
  const std::string name = StoreGetString(app, t.name_item).value_or("");
  if (const auto refusal = RefuseNewEntryName(kind, name)) {
    DlgMessage(owner, refusal->type, t.caption, refusal->text);
    return 2;
  }
  const int64_t size = StoreGetNumeric(app, t.size_item);
  const std::string path = StoreGetString(app, "CurrentVirtualModule").value_or("");
  // A damaged directory is refused below with words of its own.
  LoadedModule module = LoadVirtualModule(path);
  if (!module.ok() && module.error != ModuleLoadError::kCorrupted) {
    DlgMessage(owner, kMbIconStop, t.caption, ModuleLoadMessage(module, path));
    return 2;
  }
  if (!MayWrite(path)) {
    DlgMessage(owner, kMbIconStop, t.caption, Format("Cannot open %s", path));
    return 2;
  }
  std::vector<uint8_t>& image = module.image;
  if (auto refusal = AddNewEntry(image, kind, name, size)) {
    DlgMessage(owner, refusal->type, t.caption, refusal->text);
    return 2;
  }
  if (!WriteFileAtomically(path, image)) {
    DlgMessage(owner, kMbIconStop, t.caption, Format("Cannot write %s", path));
    return 2;
  }
  StoreDeleteItem(app, "Directory");
  return 1;
}

int ClipTable(StoreHandle app, const char* item) {
  if (TableHandle table = StoreGetTable(app, item)) {
    TableCopyToClipboard(table, 4);
    TableFree(table);
  }
  return 1;
}

}  // namespace

bool IsNewEntryName(NewEntryKind kind, const std::string& name) {
  if (kind == NewEntryKind::kTechnique) return name.starts_with("T0");
  if (kind == NewEntryKind::kSector) return name.starts_with("S");
  return name.size() >= 2 && name[0] == 'P' && name[1] >= '3' && name[1] <= '6';
}

std::optional<NewEntryRefusal> RefuseNewEntryName(NewEntryKind kind, const std::string& name) {
  if (IsNewEntryName(kind, name)) return std::nullopt;
  return NewEntryRefusal{kMbIconStop, Format(TextsOf(kind).bad_name, name)};
}

std::optional<std::vector<uint8_t>> NewEntryRecord(NewEntryKind kind, const std::string& name,
                                                   int64_t size) {
  if (kind == NewEntryKind::kSector) return std::nullopt;  // sectors have no template
  const bool technique = kind == NewEntryKind::kTechnique;
  const size_t template_size = technique ? kTechniqueTemplate.size() : kPatternTemplate.size();
  if (size < static_cast<int64_t>(template_size) || size > static_cast<int64_t>(kModuleImageSize))
    return std::nullopt;
  std::vector<uint8_t> record(static_cast<size_t>(size), 0);
  if (!technique) {
    std::copy(kPatternTemplate.begin(), kPatternTemplate.end(), record.begin());
    return record;
  }
  const auto code = TechniqueSizeCode(record.size());
  if (!code) return std::nullopt;
  std::copy(kTechniqueTemplate.begin(), kTechniqueTemplate.end(), record.begin());
  record[0] = *code;
  WriteBe16(record, 1, static_cast<uint16_t>(NameNumber(name)));
  return record;
}

namespace {

// Adds the entry when everything fits; `record` is nothing when no record of the requested
// size (`size`, for the message) can be made.
std::optional<NewEntryRefusal> AddEntryToImage(std::vector<uint8_t>& image, NewEntryKind kind,
                                               const std::string& name,
                                               const std::optional<std::vector<uint8_t>>& record,
                                               int64_t size) {
  auto refuse = [](std::string text, int type = kMbIconStop) {
    return std::optional<NewEntryRefusal>(NewEntryRefusal{type, std::move(text)});
  };
  if (name.size() != kEntryNameSize) return refuse(Format(TextsOf(kind).bad_name, name));
  if (!IsImageSize(image.size()) || DirectoryBase(image) != kModuleDirectoryBase)
    return refuse(
        "Entries can only be added to a module image (directory at 0x10000), not to a "
        "ROM image");
  const DirectoryResult read = ReadDirectory(image);
  if (read.error != DirectoryError::kNone)
    return refuse("The directory of the module is corrupted or has no end; nothing added");
  const Directory& dir = read.directory;
  for (const DirectoryEntry& e : dir.entries)
    if (e.state == kEntryValid && e.name == name)
      return refuse(Format(TextsOf(kind).exists, name), kMbOk);
  if (!record) return refuse("Incorrect size " + std::to_string(size) + " for " + name);

  // The directory may grow up to the first entity's data, never into it.
  size_t limit = image.size();
  for (const DirectoryEntry& e : dir.entries)
    if (e.start > dir.base && e.start < limit) limit = e.start;
  const size_t entry_at = dir.end_marker_offset;
  if (entry_at + 2 * kDirectoryEntrySize > limit)
    return refuse("The directory has no room for another entry; nothing added");

  std::array<uint8_t, 3> start_bytes = NextEntryStartBytes(image, dir);
  const uint32_t start = DecodeModuleAddress(start_bytes);
  // Entities lie back to back, so the new one starts where every other ends; in a damaged
  // directory that place can lie inside an entity, which must not be written over.
  for (const DirectoryEntry& e : dir.entries)
    if (std::max(e.start, e.end) > start)
      return refuse("The space after the last entry lies inside " + e.name +
                    " (the directory is damaged); nothing added");
  const uint64_t end = uint64_t{start} + record->size();
  std::array<uint8_t, 3> end_bytes{};
  if (start < entry_at + 2 * kDirectoryEntrySize || end >= image.size())
    return refuse("The new entry does not fit in the module; nothing added");
  EncodeModuleAddress(static_cast<uint32_t>(end), end_bytes);
  if (DecodeModuleAddress(end_bytes) != end)
    return refuse("The new entry does not fit in the module; nothing added");

  uint8_t* entry = image.data() + entry_at;
  entry[0] = kEntryValid;
  std::copy(name.begin(), name.end(), entry + 1);
  std::copy(start_bytes.begin(), start_bytes.end(), entry + 6);
  std::copy(end_bytes.begin(), end_bytes.end(), entry + 9);
  image[entry_at + kDirectoryEntrySize] = kEntryEnd;
  std::copy(record->begin(), record->end(), image.begin() + start);
  return std::nullopt;
}

}  // namespace

std::optional<NewEntryRefusal> AddNewEntry(std::vector<uint8_t>& image, NewEntryKind kind,
                                           const std::string& name, int64_t size) {
  return AddEntryToImage(image, kind, name, NewEntryRecord(kind, name, size), size);
}

std::optional<NewEntryRefusal> AddNewEntryRecord(std::vector<uint8_t>& image, NewEntryKind kind,
                                                 const std::string& name,
                                                 std::span<const uint8_t> record) {
  return AddEntryToImage(image, kind, name, std::vector<uint8_t>(record.begin(), record.end()),
                         static_cast<int64_t>(record.size()));
}

void PutRecordInPlace(std::vector<uint8_t>& image, const DirectoryEntry& entry,
                      std::span<const uint8_t> record) {
  const auto at = image.begin() + entry.start;
  std::copy(record.begin(), record.end(), at);
  std::fill(at + static_cast<ptrdiff_t>(record.size()), image.begin() + entry.end, 0);
}

SplitResult SplitModule(const std::vector<uint8_t>& image, const Table* directory,
                        const std::string& folder) {
  SplitResult result;
  for (int row = 0; row < TableRows(directory); ++row) {
    const std::string name = TableCell(directory, row, 1).value_or("");
    const int64_t start = std::atoll(TableCell(directory, row, 2).value_or("-1").c_str());
    const int64_t size = std::atoll(TableCell(directory, row, 4).value_or("-1").c_str());
    if (!IsEntityFileName(name)) {
      result.skipped.emplace_back(name, "the name cannot be a file name");
      continue;
    }
    if (start < 0 || size < 0 || start > static_cast<int64_t>(image.size()) ||
        size > static_cast<int64_t>(image.size()) - start) {
      result.skipped.emplace_back(name, "its range lies outside the module");
      continue;
    }
    const auto bytes = std::span<const uint8_t>(image).subspan(static_cast<size_t>(start),
                                                               static_cast<size_t>(size));
    std::string error;
    if (WriteFileAtomically(folder + "/" + name + ".r7k", bytes, &error))
      ++result.written;
    else
      result.skipped.emplace_back(name, error);
  }
  return result;
}

int DP_NewTechnique(WindowHandle owner, int, int, StoreHandle main_store, StoreHandle app) {
  return AddEntryProcedure(NewEntryKind::kTechnique, owner, main_store, app);
}

int DP_NewPattern(WindowHandle owner, int, int, StoreHandle main_store, StoreHandle app) {
  return AddEntryProcedure(NewEntryKind::kPattern, owner, main_store, app);
}

int DP_ClipDirectory(WindowHandle, int, int, StoreHandle, StoreHandle app) {
  return ClipTable(app, "Directory");
}

int DP_ClipInstructions(WindowHandle, int, int, StoreHandle, StoreHandle app) {
  return ClipTable(app, "Instructions");
}

int CB_Split(FieldHandle field, int message, WParam wparam, LParam lparam) {
  const int result = DlgFieldDefaultProc(field, message, wparam, lparam);
  if (message != kMsgActivate) return result;
  SplitIntoTimeFolder(DlgItemStore(field));
  return result;
}

std::optional<SplitOutcome> SplitIntoTimeFolder(StoreHandle app) {
  TableHandle directory = StoreGetTable(app, "Directory");
  if (!directory) return std::nullopt;
  std::optional<SplitOutcome> made;
  const std::string path = StoreGetString(app, "CurrentVirtualModule").value_or("");
  if (const auto image = ReadFileBytes(path, kModuleImageSize)) {
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%08X", static_cast<unsigned>(std::time(nullptr)));
    // A folder that exists may hold another split's files (two splits in one second): the
    // folder is made new, its name taken only when the making succeeds.
    const std::string base = FolderOf(path) + stamp;
    for (int n = 1; n <= 1000 && !made; ++n) {
      const std::string folder = n == 1 ? base : base + "-" + std::to_string(n);
      std::error_code ec;
      if (std::filesystem::create_directory(folder, ec))
        made = SplitOutcome{folder, SplitModule(*image, directory, folder)};
      else if (ec)
        break;
    }
  }
  TableFree(directory);
  return made;
}

}  // namespace r7k
