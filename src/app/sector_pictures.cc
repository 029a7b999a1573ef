#include "app/sector_pictures.h"

#include <algorithm>
#include <filesystem>

#include "app/pattern_view.h"
#include "common/sti_bmp.h"
#include "engine/dialog_engine.h"
#include "module/builtin_images.h"
#include "module/directory.h"
#include "module/technique.h"
#include "platform/file_io.h"

namespace r7k {
namespace {

constexpr char kShowSectorTitle[] = "Show Sector";
constexpr uint32_t kRomDirectoryBase = 0;  // the ROM images keep their entries from 128
constexpr size_t kMaxModuleBytes = 524288;

// The items and texts of one side of a sector record.
struct SectorSide {
  const char* index;
  const char* source;
  const char* name;
  const char* rows;
  const char* stitches;
  const char* colours;
  const char* picture;
  const char* file;
  const char* free_entry;
  const char* size_warning;
};

constexpr SectorSide kFrontSide = {"fIndex",
                                   "fSrc",
                                   "FrontName",
                                   "fnRows",
                                   "fnSts",
                                   "fnColors",
                                   "fPatBmp",
                                   "fPat.Bmp",
                                   "About to crash; index points to free space",
                                   "nRows or nStitches inconsistent"};
constexpr SectorSide kBackSide = {"bIndex",
                                  "bSrc",
                                  "BackName",
                                  "bnRows",
                                  "bnSts",
                                  "bnColors",
                                  "bPatBmp",
                                  "bPat.Bmp",
                                  "About to crash; inde points to free space",
                                  "nRows of nStitches inconsistent"};

struct TechniqueSide {
  PictureSide side;
  const char* picture;
  const char* file;
};
constexpr TechniqueSide kTechFront = {PictureSide::kFront, "fTechBmp", "fTech.Bmp"};
constexpr TechniqueSide kTechBack = {PictureSide::kBack, "bTechBmp", "bTech.Bmp"};

void RemovePicture(const SectorSide& side, const std::filesystem::path& path,
                   StoreHandle main_store, StoreHandle app_store) {
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
  StoreDeleteItem(app_store, side.picture);
  StoreDeleteItem(main_store, side.rows);
  StoreDeleteItem(main_store, side.stitches);
  StoreDeleteItem(main_store, side.colours);
}

int UpdateSectorPicture(const SectorSide& side, WindowHandle owner, StoreHandle main_store,
                        StoreHandle app_store) {
  const auto path = PictureFile(side.file);
  const std::string source = ReadText(main_store, side.source, 15);
  // A side without a pattern, or with a source no lookup knows ("Unknown"), shows nothing.
  const bool known =
      source.starts_with("ROM") || source.starts_with("MOD") || source.starts_with("PC");
  if (StoreGetType(main_store, side.index) == kItemNone || !known) {
    RemovePicture(side, path, main_store, app_store);
    return 1;
  }
  const int64_t index = StoreGetNumeric(main_store, side.index);
  const std::string name = ReadText(main_store, side.name, 7);
  const size_t entry_index = index < 0 ? SIZE_MAX : static_cast<size_t>(index);

  SidePattern found =
      FindSidePattern(source, entry_index, name, ReadText(app_store, "CurrentVirtualModule", 1023));
  switch (found.status) {
    case SidePattern::Status::kFound: break;
    case SidePattern::Status::kRomFree:
      DlgMessage(owner, kMbIconStop, kShowSectorTitle, side.free_entry);
      return 2;
    case SidePattern::Status::kModuleUnreadable:
      DlgMessageFmt(owner, kMbIconStop, kShowSectorTitle, "Cannot load module %s",
                    found.module.c_str());
      return 2;
    case SidePattern::Status::kModuleFree: {
      std::error_code ignored;
      std::filesystem::remove(path, ignored);
      StoreSetString(app_store, side.picture, "Corrupt");
      DlgMessage(owner, kMbIconStop, kShowSectorTitle,
                 "Index points into free space or other entry, may be deleted");
      return 2;
    }
  }
  const std::string& module = found.module;
  const std::vector<uint8_t>& record = found.record;

  const auto picture = PatternRecordPicture(record);
  if (!picture) {
    DlgMessageFmt(owner, kMbIconStop, kShowSectorTitle, "Cannot load %s in module %s", name.c_str(),
                  module.c_str());
    RemovePicture(side, path, main_store, app_store);
    return 2;
  }
  if (StoreGetNumeric(main_store, side.rows) != picture->Rows() ||
      StoreGetNumeric(main_store, side.stitches) != picture->Stitches()) {
    DlgMessage(owner, kMbIconExclamation, "Update Bitmap", side.size_warning);
  }
  StiWriteBmp(path, picture->Block());
  StoreSetString(app_store, side.picture, path.string());
  return 1;
}

int UpdateTechniquePicture(const TechniqueSide& side, WindowHandle owner, StoreHandle app_store) {
  const auto path = PictureFile(side.file);
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
  auto technique = StoreGetItem(app_store, "TechData").value_or(std::vector<uint8_t>{});
  if (technique.size() > 201) technique.resize(201);
  const auto record = TechniqueGridRecord(technique, side.side);
  const auto picture = record ? PatternRecordPicture(*record) : std::nullopt;
  if (!picture) {
    DlgMessageFmt(owner, kMbIconStop, "Show Technique", "Cannot load %s", side.file);
    return 2;
  }
  StiWriteBmp(path, picture->Block());
  StoreSetString(app_store, side.picture, path.string());
  return 1;
}

}  // namespace

std::optional<RomPattern> FindRomPattern(size_t index, std::string_view name) {
  for (const char* image_name : {"R7kRom", "R7kRomx"}) {
    const auto image = BuiltinImage(image_name);
    const auto entry = FindReferencedEntry(image, kRomDirectoryBase, index, name);
    if (!entry) continue;
    const auto bytes = EntityBytes(image, *entry);
    return RomPattern{bytes.value_or(std::span<const uint8_t>{}), image_name};
  }
  return std::nullopt;
}

std::optional<std::vector<uint8_t>> FindModulePattern(std::span<const uint8_t> image, size_t index,
                                                      std::string_view name) {
  // Sector references always count from the virtual module's directory at 0x10000.
  const auto entry = FindReferencedEntry(image, kModuleDirectoryBase, index, name);
  if (!entry) return std::nullopt;
  const auto bytes = EntityBytes(image, *entry);
  if (!bytes) return std::vector<uint8_t>{};
  return std::vector<uint8_t>(bytes->begin(), bytes->end());
}

SidePattern FindSidePattern(std::string_view source, size_t index, std::string_view name,
                            const std::string& module_path) {
  SidePattern found;
  if (source.starts_with("ROM")) {
    const auto rom = FindRomPattern(index, name);
    if (!rom) {
      found.status = SidePattern::Status::kRomFree;
      return found;
    }
    found.record.assign(rom->bytes.begin(), rom->bytes.end());
    found.module = rom->image;
    return found;
  }
  found.module = module_path;
  const auto image =
      module_path.empty() ? std::nullopt : ReadFileBytes(module_path, kMaxModuleBytes);
  if (!image) {
    found.status = SidePattern::Status::kModuleUnreadable;
    return found;
  }
  auto record = FindModulePattern(*image, index, name);
  if (!record) {
    found.status = SidePattern::Status::kModuleFree;
    return found;
  }
  found.record = std::move(*record);
  return found;
}

std::optional<std::vector<uint8_t>> TechniqueGridRecord(std::span<const uint8_t> technique,
                                                        PictureSide side) {
  constexpr size_t kMaxRun = 127;
  if (technique.size() <= kTechniqueHeaderSize) return std::nullopt;
  const size_t width = technique[9];
  const size_t height = technique[10];
  const auto end_code =
      std::find(technique.begin() + kTechniqueHeaderSize, technique.end(), kEndCode);
  if (end_code == technique.end()) return std::nullopt;
  size_t grid = static_cast<size_t>(end_code - technique.begin()) + 1;
  if (side == PictureSide::kBack) grid += width * height;
  if (grid + width * height > technique.size()) return std::nullopt;

  std::vector<uint8_t> record = {0, 0, static_cast<uint8_t>(width), 0, static_cast<uint8_t>(height),
                                 0, 0};
  for (size_t row = 0; row < height; ++row) {
    // One literal run per 127 cells: grids wider than one run still picture.
    std::vector<uint8_t> runs;
    for (size_t from = 0; from < width; from += kMaxRun) {
      const size_t count = std::min(kMaxRun, width - from);
      runs.push_back(static_cast<uint8_t>(count));
      const auto cells = technique.subspan(grid + row * width + from, count);
      runs.insert(runs.end(), cells.begin(), cells.end());
    }
    runs.push_back(0);
    record.push_back(static_cast<uint8_t>(runs.size() >> 8));
    record.push_back(static_cast<uint8_t>(runs.size()));
    record.insert(record.end(), runs.begin(), runs.end());
  }
  return record;
}

int DP_UpdatefBitmap(WindowHandle owner, int, int, StoreHandle main_store, StoreHandle app_store) {
  return UpdateSectorPicture(kFrontSide, owner, main_store, app_store);
}

int DP_UpdatebBitmap(WindowHandle owner, int, int, StoreHandle main_store, StoreHandle app_store) {
  return UpdateSectorPicture(kBackSide, owner, main_store, app_store);
}

int DP_UpdateTechfBitmap(WindowHandle owner, int, int, StoreHandle, StoreHandle app_store) {
  return UpdateTechniquePicture(kTechFront, owner, app_store);
}

int DP_UpdateTechbBitmap(WindowHandle owner, int, int, StoreHandle, StoreHandle app_store) {
  return UpdateTechniquePicture(kTechBack, owner, app_store);
}

int DP_TechniquePicture(WindowHandle owner, int, int, StoreHandle main_store,
                        StoreHandle app_store) {
  DlgRunProcedure(owner, "DP_LoadTechniqueDataFromColl", main_store, app_store);
  StoreSetNumeric(app_store, "fFromModule", 0);
  DlgRunDialog(owner, "ShowTechnique", main_store, app_store);
  return 1;
}

}  // namespace r7k
