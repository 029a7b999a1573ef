#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/new_entries.h"
#include "common/picture_cells.h"
#include "engine/dialog_engine.h"

// Making a pattern entry from a picture the user drew: the picture's pixels become the
// pattern's stitches (at most four colours), coded as a pattern record and added to the
// module as a new pattern entry, or put in place of an existing one.
namespace r7k {

inline constexpr char kImportPictureCaption[] = "Import Picture";
inline constexpr char kImportBmpFile[] = "Import.Bmp";

struct PictureImport {
  PictureCells cells;
  std::vector<uint8_t> record;
};

struct PictureImportResult {
  std::optional<PictureImport> import;
  PictureRefusal refusal;  // when there is no import
};

// The cells of the picture as a pattern record; refused when the picture cannot be read,
// has more than four colours (without `reduce`), or a row codes longer than 400 bytes.
PictureImportResult PatternFromPictureCells(PictureCellsResult cells);
PictureImportResult PatternFromPicture(const std::filesystem::path& picture, bool reduce);

// "4 colours, 40 x 30 stitches, 812 bytes" (and the picture's own colour count when reduced).
std::string DescribeImport(const PictureImport& import);

// Puts the record in place of the valid pattern entry `name` (the last one of that name): the
// entry keeps its place and size, the bytes after the record become 0. Refused when there is
// no such entry or the record is larger than the entry.
std::optional<NewEntryRefusal> ReplacePatternRecord(std::vector<uint8_t>& image,
                                                    const std::string& name,
                                                    std::span<const uint8_t> record);

// The main dialog's "Import picture...": asks for a picture, reads it (offering to reduce
// more than four colours), shows the pattern it makes in the "ImportPic" dialog with the name
// ("p_Name") and whether to replace ("i_Replace"), then adds or replaces the entry and writes
// the module. The record stays in the raw item "i_Record", its description in "i_Info".
// With the item "i_DryRun" set to 1 every check runs but the module is not
// written. Returns 1 when done, 2 after a refusal that was shown.
int DP_ImportPicture(WindowHandle owner, int, int, StoreHandle main_store, StoreHandle app);

}  // namespace r7k
