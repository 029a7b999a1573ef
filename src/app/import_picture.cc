#include "app/import_picture.h"

#include <algorithm>

#include "app/pattern_view.h"
#include "module/address.h"
#include "module/directory.h"
#include "platform/file_io.h"

namespace r7k {
namespace {

PictureImportResult Refuse(std::string text) { return {std::nullopt, {std::move(text), false}}; }

int Refused(WindowHandle owner, int type, const std::string& text) {
  DlgMessage(owner, type, kImportPictureCaption, text);
  return 2;
}

}  // namespace

PictureImportResult PatternFromPictureCells(PictureCellsResult read) {
  if (!read.cells) return {std::nullopt, read.refusal};
  PictureImport import{std::move(*read.cells), {}};
  const PatternGrid& grid = import.cells.grid;
  if (const auto row = FirstLongPatternRow(grid)) {
    const size_t bytes = EncodeRowRuns(grid.Row(*row)).size();
    return Refuse("Row " + std::to_string(grid.rows - *row) + " from the top needs " +
                  std::to_string(bytes) + " bytes; a pattern row holds at most " +
                  std::to_string(kMaxPatternRowBytes) +
                  " (fewer colour changes in a row, or a narrower picture)");
  }
  auto record = EncodePattern(import.cells.colours, grid);
  if (!record) return Refuse("The picture cannot be coded as a pattern");
  import.record = std::move(*record);
  return {std::move(import), {}};
}

PictureImportResult PatternFromPicture(const std::filesystem::path& picture, bool reduce) {
  RgbPictureResult read = ReadPictureFile(picture);
  if (!read.picture) return {std::nullopt, read.refusal};
  return PatternFromPictureCells(PictureToCells(*read.picture, reduce));
}

std::string DescribeImport(const PictureImport& import) {
  const PictureCells& c = import.cells;
  std::string text = std::to_string(c.colours) + (c.colours == 1 ? " colour" : " colours");
  if (c.picture_colours > c.colours) {
    text += " (reduced from " + std::to_string(c.picture_colours) + ")";
  }
  return text + ", " + std::to_string(c.grid.width) + " x " + std::to_string(c.grid.rows) +
         " stitches, " + std::to_string(import.record.size()) + " bytes";
}

std::optional<NewEntryRefusal> ReplacePatternRecord(std::vector<uint8_t>& image,
                                                    const std::string& name,
                                                    std::span<const uint8_t> record) {
  auto refuse = [](std::string text) {
    return std::optional<NewEntryRefusal>(NewEntryRefusal{kMbIconStop, std::move(text)});
  };
  const DirectoryResult read = ReadDirectory(image);
  if (read.error != DirectoryError::kNone)
    return refuse("The directory of the module is corrupted or has no end; nothing changed");
  const DirectoryEntry* found = nullptr;
  for (const DirectoryEntry& e : read.directory.entries)
    if (e.state == kEntryValid && e.name == name && name.starts_with('P')) found = &e;
  if (!found) return refuse("There is no pattern " + name + " to replace; nothing changed");
  const auto bytes = EntityBytes(image, *found);
  if (!bytes) return refuse("The entry " + name + " lies outside the module; nothing changed");
  if (record.size() > bytes->size()) {
    return refuse("Pattern " + name + " holds " + std::to_string(bytes->size()) +
                  " bytes; the picture needs " + std::to_string(record.size()) +
                  "; nothing changed");
  }
  PutRecordInPlace(image, *found, record);
  return std::nullopt;
}

int DP_ImportPicture(WindowHandle owner, int, int, StoreHandle main_store, StoreHandle app) {
  FileRequest request;
  request.title = kImportPictureCaption;
  request.filter = "Pictures (*.png;*.bmp)|*.png;*.bmp|All files|*.*";
  const auto picture = DlgChooseFile(owner, request);
  if (!picture) return Refused(owner, kMbOk, "No pattern added");

  RgbPictureResult read = ReadPictureFile(*picture);
  if (!read.picture) return Refused(owner, kMbIconStop, read.refusal.text);
  PictureCellsResult cells = PictureToCells(*read.picture, false);
  if (!cells.cells && cells.refusal.too_many_colours) {
    const int answer =
        DlgMessage(owner, kMbYesNo | kMbIconQuestion, kImportPictureCaption,
                   cells.refusal.text + ".\nTake the nearest of its " +
                       std::to_string(kMaxPatternColours) + " most frequent colours instead?");
    if (answer != kIdYes) return Refused(owner, kMbOk, "No pattern added");
    cells = PictureToCells(*read.picture, true);
  }
  const PictureImportResult made = PatternFromPictureCells(std::move(cells));
  if (!made.import) return Refused(owner, kMbIconStop, made.refusal.text);
  const PictureImport& import = *made.import;

  // The pattern as the pattern view will show it, with its size and colours, before anything
  // is written. A dry run writes nothing but the preview its caller asks for.
  const bool dry_run = StoreGetNumeric(app, "i_DryRun") == 1;
  BuildPatternPicture(app, import.record, !dry_run);
  StoreSetString(app, "i_Info", DescribeImport(import));
  StoreSetItem(app, "i_Record", import.record.data(), import.record.size());
  const int answer = DlgRunDialog(owner, "ImportPic", main_store, app);
  ClearPatternItems(app);
  if (answer != kIdOk) return Refused(owner, kMbOk, "No pattern added");

  const std::string name = StoreGetString(app, "p_Name").value_or("");
  const bool replace = StoreGetNumeric(app, "i_Replace") == 1;
  if (!replace && !IsNewEntryName(NewEntryKind::kPattern, name))
    return Refused(owner, kMbIconStop, "Incorrect pattern name: " + name);
  const std::string path = StoreGetString(app, "CurrentVirtualModule").value_or("");
  auto image = MayWrite(path) ? ReadFileBytes(path, kModuleImageSize) : std::nullopt;
  if (!image) return Refused(owner, kMbIconStop, "Cannot open " + path);
  const auto refusal = replace
                           ? ReplacePatternRecord(*image, name, import.record)
                           : AddNewEntryRecord(*image, NewEntryKind::kPattern, name, import.record);
  if (refusal) return Refused(owner, refusal->type, refusal->text);
  if (dry_run) return 1;
  if (!WriteFileAtomically(path, *image))
    return Refused(owner, kMbIconStop, "Cannot write " + path);
  StoreDeleteItem(app, "Directory");
  return 1;
}

}  // namespace r7k
