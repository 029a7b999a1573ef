#include "app/entity_files.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "app/directory_view.h"
#include "app/output_guard.h"
#include "module/address.h"
#include "module/cut.h"
#include "module/hex_text.h"
#include "module/validate.h"
#include "platform/file_io.h"

namespace r7k {
namespace {

constexpr char kSaveCaption[] = "Save Entity";
constexpr char kLoadCaption[] = "Load Entity";
constexpr char kUpdateCaption[] = "Update Memory Module";
// An entity file is never larger than a whole module.
constexpr size_t kMaxEntityFile = kModuleImageSize;

// The bytes of the "HexData" text, or nothing after telling the user why not.
std::optional<std::vector<uint8_t>> ParseShownText(WindowHandle owner, StoreHandle app,
                                                   const char* caption) {
  const ParsedHexText parsed = ParseHexText(StoreGetString(app, "HexData").value_or(""));
  if (!parsed.ok()) {
    DlgMessage(owner, kMbIconStop, caption, HexTextErrorMessage(parsed.error));
    return std::nullopt;
  }
  return parsed.bytes;
}

}  // namespace

std::string EntityFilePath(const std::string& folder, const std::string& name,
                           const char* extension) {
  return folder + name + extension;
}

bool IsEntityFileName(const std::string& name) {
  // Printable ASCII, as the console writes names: no control bytes reach the file system.
  const bool printable = std::all_of(name.begin(), name.end(), [](char c) {
    return c >= 0x20 && c < 0x7F && c != '/' && c != '\\';
  });
  return printable && !name.empty() && name != "." && name != "..";
}

bool PatchFileAtomically(const std::string& path, size_t offset, std::span<const uint8_t> bytes) {
  auto image = ReadFileBytes(path, kModuleImageSize);
  if (!image || offset > image->size() || bytes.size() > image->size() - offset) return false;
  std::copy(bytes.begin(), bytes.end(), image->begin() + static_cast<ptrdiff_t>(offset));
  return WriteFileAtomically(path, *image);
}

int DP_Info(WindowHandle owner, int, int, StoreHandle main_store, StoreHandle app) {
  const CurrentEntry entry = ReadCurrentEntry(app);
  const bool truncated = entry.size > static_cast<int64_t>(kHexShownBytes);
  const auto bytes = ReadFileRange(entry.module, entry.start,
                                   truncated ? static_cast<int64_t>(kHexShownBytes) : entry.size);
  if (!bytes) {
    DlgMessageFmt(owner, kMbIconStop, "Info", "Cannot open %s", entry.module.c_str());
    return 2;
  }
  // Only a shown entity may make the dialog read-only: a failed read must not leave the next
  // dialog taking the module's bytes instead of the text.
  if (truncated) StoreSetNumeric(app, "truncated", 1);
  StoreSetString(app, "HexData", RenderHexText(*bytes));
  DlgRunDialog(owner, "Hex", main_store, app);
  return 1;
}

int DP_Save(WindowHandle owner, int, int, StoreHandle, StoreHandle app) {
  return SaveEntity(owner, app, FolderOf(ReadCurrentEntry(app).module));
}

int DP_Load(WindowHandle owner, int, int, StoreHandle, StoreHandle app) {
  return LoadEntity(owner, app, FolderOf(ReadCurrentEntry(app).module));
}

int DP_Update(WindowHandle owner, int, int, StoreHandle, StoreHandle app) {
  return UpdateEntity(owner, app, FolderOf(ReadCurrentEntry(app).module));
}

int SaveEntity(WindowHandle owner, StoreHandle app, const std::string& folder) {
  const CurrentEntry entry = ReadCurrentEntry(app);
  std::optional<std::vector<uint8_t>> bytes;
  if (StoreGetNumeric(app, "truncated") != 0) {
    bytes = ReadFileRange(entry.module, entry.start, entry.size);
    if (!bytes) return 2;
  } else {
    bytes = ParseShownText(owner, app, "Save Memory Module");
    if (!bytes) return 2;
  }
  if (const int code = ValidateEntity(entry.name, *bytes); code != kValidOk) {
    DlgMessageFmt(owner, kMbIconStop, kSaveCaption, "Validate result = %d", code);
    return 2;
  }
  if (!IsEntityFileName(entry.name)) {
    DlgMessageFmt(owner, kMbIconStop, kSaveCaption, "Cannot save an entity named %s",
                  entry.name.c_str());
    return 2;
  }
  const std::string path = EntityFilePath(folder, entry.name, ".r7k");
  const std::string cut_path = EntityFilePath(folder, entry.name, ".cut");
  // A module kept under an entity file's name must not become that entity.
  const std::filesystem::path inputs[] = {entry.module};
  for (const std::string& file : {path, cut_path}) {
    if (const auto refusal = CheckOutputPath(file, inputs, true)) {
      DlgMessageFmt(owner, kMbIconStop, kSaveCaption, "Cannot write %s: %s", file.c_str(),
                    refusal->text.c_str());
      return 2;
    }
  }
  if (!WriteFileAtomically(path, *bytes)) {
    DlgMessageFmt(owner, kMbIconStop, kSaveCaption, "Cannot write %s", path.c_str());
    return 2;
  }
  StoreSetString(app, "_Status", "File " + path + " saved");
  if (!entry.name.starts_with("P")) return 1;
  const CutFile cut = ConvertPatternToCut(*bytes);
  if (cut.code != 0) {
    DlgMessageFmt(owner, kMbIconExclamation, kSaveCaption,
                  "Pattern %s cannot be converted (%d); %s not written", entry.name.c_str(),
                  cut.code, cut_path.c_str());
  } else if (!WriteFileAtomically(cut_path, cut.bytes)) {
    DlgMessageFmt(owner, kMbIconStop, kSaveCaption, "Cannot write %s", cut_path.c_str());
    return 2;
  }
  return 1;
}

int LoadEntity(WindowHandle owner, StoreHandle app, const std::string& folder) {
  const CurrentEntry entry = ReadCurrentEntry(app);
  const std::string path = EntityFilePath(folder, entry.name, ".r7k");
  const auto bytes = ReadFileBytes(path, kMaxEntityFile);
  if (!bytes) {
    DlgMessageFmt(owner, kMbIconStop, kLoadCaption, "Cannot load %s", path.c_str());
    return 2;
  }
  StoreSetNumeric(app, "truncated", bytes->size() > kHexShownBytes ? 1 : 0);
  StoreSetNumeric(app, "fLoaded", 1);
  if (const int code = ValidateEntity(entry.name, *bytes); code != kValidOk) {
    DlgMessageFmt(owner, kMbIconStop, kLoadCaption, "Validate result = %d", code);
    return 2;
  }
  StoreSetString(app, "HexData", RenderHexText(*bytes));
  StoreSetString(app, "_Status", "File " + path + " loaded");
  return 1;
}

int UpdateEntity(WindowHandle owner, StoreHandle app, const std::string& folder) {
  const CurrentEntry entry = ReadCurrentEntry(app);
  std::optional<std::vector<uint8_t>> bytes;
  int64_t count = 0;
  if (StoreGetNumeric(app, "truncated") != 0) {
    if (StoreGetNumeric(app, "fLoaded") != 0)
      bytes = ReadFileBytes(EntityFilePath(folder, entry.name, ".r7k"), kMaxEntityFile);
    else
      bytes = ReadFileRange(entry.module, entry.start, entry.size);
    if (!bytes) return 2;
  } else {
    bytes = ParseShownText(owner, app, kUpdateCaption);
    if (!bytes) return 2;
  }
  count = static_cast<int64_t>(bytes->size());
  if (count != entry.size) {
    DlgMessageFmt(owner, kMbIconStop, kUpdateCaption, "Size (%d) not same as size in module (%d)",
                  static_cast<int>(count), static_cast<int>(entry.size));
    return 2;
  }
  if (StoreGetNumeric(app, "fReadOnly") != 0 || !MayWrite(entry.module) || entry.start < 0 ||
      !PatchFileAtomically(entry.module, static_cast<size_t>(entry.start), *bytes)) {
    DlgMessageFmt(owner, kMbIconStop, kUpdateCaption, "Cannot open %s", entry.module.c_str());
    return 2;
  }
  StoreSetString(app, "_Status", "Memory Module updated");
  return 1;
}

}  // namespace r7k
