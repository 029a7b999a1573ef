#include "app/pattern_view.h"

#include <array>

#include "app/directory_view.h"
#include "app/frame.h"
#include "app/full_page.h"
#include "app/gallery.h"
#include "app/sector_pictures.h"
#include "app/sectors.h"
#include "app/startup.h"
#include "common/sti_bmp.h"
#include "engine/callbacks.h"
#include "engine/dialog_engine.h"
#include "module/cut.h"

namespace r7k {
namespace {

constexpr char kShowPatternTitle[] = "Show Pattern";

// Steps shared by the pattern view and the update after "&<"/"&>": the entry's bytes, or the
// message about the module and nothing.
std::optional<std::vector<uint8_t>> LoadCurrentEntry(WindowHandle owner, StoreHandle app_store,
                                                     CurrentEntry& entry) {
  entry = ReadCurrentEntry(app_store);
  if (entry.name.size() > 7) entry.name.resize(7);
  // An entry whose range leaves the file is read as nothing, as an unopenable module.
  auto bytes = ReadFileRange(entry.module, entry.start, entry.size);
  if (!bytes) {
    DlgMessageFmt(owner, kMbIconStop, kShowPatternTitle, "Cannot load module %s",
                  entry.module.c_str());
  }
  return bytes;
}

}  // namespace

std::string ReadText(StoreHandle store, std::string_view item, size_t limit) {
  std::string text = StoreGetString(store, item).value_or("");
  if (text.size() > limit) text.resize(limit);
  return text;
}

std::filesystem::path PictureFolder() { return LongTempPath(); }

std::filesystem::path PictureFile(std::string_view name) {
  const std::filesystem::path folder = PictureFolder();
  return folder.empty() ? folder : folder / name;
}

std::optional<StiPicture> PatternRecordPicture(std::span<const uint8_t> record) {
  const CutFile cut = ConvertPatternToCut(record);
  if (cut.code != 0) return std::nullopt;
  auto picture = RunsToSti(cut.bytes, PictureFile(kTempPalette));
  // A damaged header can declare no rows: an empty picture shows nothing and says nothing.
  if (picture && picture->Rows() == 0) return std::nullopt;
  return picture;
}

void SetColorItems(StoreHandle app_store, const StiPicture& picture) {
  const auto swatches = StiSwatches(picture);
  for (size_t k = 1; k <= kStiMaxSwatches; ++k) {
    const std::string col = "Col" + std::to_string(k);
    const std::string clr = "Clr" + std::to_string(k);
    if (k <= swatches.size()) {
      StoreSetNumeric(app_store, col, swatches[k - 1].color);
      StoreSetNumeric(app_store, clr, swatches[k - 1].index);
    } else {
      StoreDeleteItem(app_store, col);
      StoreDeleteItem(app_store, clr);
    }
  }
}

void ClearPatternItems(StoreHandle app_store) {
  for (size_t k = 1; k <= kStiMaxSwatches; ++k) {
    StoreDeleteItem(app_store, "Col" + std::to_string(k));
    StoreDeleteItem(app_store, "Clr" + std::to_string(k));
  }
  for (const char* item : {"nRows", "nSts", "pnColors", "PatBmp"}) StoreDeleteItem(app_store, item);
}

bool BuildPatternPicture(StoreHandle app_store, std::span<const uint8_t> record,
                         bool picture_file) {
  const auto picture = PatternRecordPicture(record);
  if (!picture) return false;
  SetColorItems(app_store, *picture);
  StoreSetNumeric(app_store, "nRows", picture->Rows());
  StoreSetNumeric(app_store, "nSts", picture->Stitches());
  if (picture_file) {
    const auto path = PictureFile(kPatBmpFile);
    // An unwritable file is not reported: the picture field then shows what it finds.
    StiWriteBmp(path, picture->Block());
    StoreSetString(app_store, "PatBmp", path.string());
  } else {
    StoreDeleteItem(app_store, "PatBmp");
  }
  StoreSetNumeric(app_store, "pnColors", record[0]);
  return true;
}

int DP_Picture(WindowHandle owner, int, int, StoreHandle main_store, StoreHandle app_store) {
  CurrentEntry entry;
  const auto bytes = LoadCurrentEntry(owner, app_store, entry);
  if (!bytes) return 2;
  const char kind = entry.name.empty() ? '\0' : entry.name[0];
  if (kind == 'T') {
    DlgRunProcedure(owner, "DP_LoadTechniqueDataFromModule", main_store, app_store);
    StoreSetNumeric(app_store, "fFromModule", 1);
    DlgRunDialog(owner, "ShowTechnique", main_store, app_store);
  } else if (kind == 'S') {
    if (DlgRunProcedure(owner, "DP_LoadSectorData", main_store, app_store) == 1) {
      DlgRunProcedure(owner, "DP_UpdatefBitmap", main_store, app_store);
      DlgRunProcedure(owner, "DP_UpdatebBitmap", main_store, app_store);
      DlgRunDialog(owner, "ShowSector", main_store, app_store);
      ClearSectorItems(main_store, app_store);
    }
  } else if (kind == 'P') {
    if (!BuildPatternPicture(app_store, *bytes)) {
      DlgMessageFmt(owner, kMbIconStop, kShowPatternTitle, "Cannot load %s", entry.name.c_str());
      return 2;
    }
    DlgRunDialog(owner, "ShowPattern", main_store, app_store);
    ClearPatternItems(app_store);
  }
  return 1;
}

int DP_UpdateBitmap(WindowHandle owner, int, int, StoreHandle, StoreHandle app_store) {
  CurrentEntry entry;
  const auto bytes = LoadCurrentEntry(owner, app_store, entry);
  if (!bytes) return 2;
  if (!BuildPatternPicture(app_store, *bytes)) {
    DlgMessageFmt(owner, kMbIconStop, kShowPatternTitle, "Cannot load %s", entry.name.c_str());
    return 2;
  }
  return 1;
}

void RegisterPictureProcedures() {
  static const std::array kProcedures = {
      ProcedureEntry{"DP_Picture", DP_Picture},
      ProcedureEntry{"DP_UpdateBitmap", DP_UpdateBitmap},
      ProcedureEntry{"DP_ShowFull", DP_ShowFull},
      ProcedureEntry{"DP_Gallery", DP_Gallery},
      ProcedureEntry{"DP_UpdatefBitmap", DP_UpdatefBitmap},
      ProcedureEntry{"DP_UpdatebBitmap", DP_UpdatebBitmap},
      ProcedureEntry{"DP_UpdateTechfBitmap", DP_UpdateTechfBitmap},
      ProcedureEntry{"DP_UpdateTechbBitmap", DP_UpdateTechbBitmap},
      ProcedureEntry{"DP_TechniquePicture", DP_TechniquePicture},
  };
  RegisterProcedures(kProcedures);
}

}  // namespace r7k
