#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/sti_picture.h"
#include "store/item_store.h"
#include "support/window_messages.h"

// The pattern view: a pattern entry decoded into a stitch picture ("Pat.Bmp"), its colour
// swatches, and the "Picture" button that opens the view fitting the selected entry.
namespace r7k {

inline constexpr char kPatBmpFile[] = "Pat.Bmp";

// The temporary-files folder: the picture files and the working palette live there.
std::filesystem::path PictureFolder();
// The file `name` in that folder; empty when there is no folder, so that nothing is written
// or removed anywhere else.
std::filesystem::path PictureFile(std::string_view name);

// A text item cut to `limit` characters; empty when it is not there.
std::string ReadText(StoreHandle store, std::string_view item, size_t limit);

// A pattern record decoded into a picture with the working palette (or the default colours
// when there is none); nothing when the record does not decode or declares no rows.
std::optional<StiPicture> PatternRecordPicture(std::span<const uint8_t> record);

// "Col1".."Col8" and "Clr1".."Clr8" from the picture's first eight colours; the swatches
// beyond them are removed.
void SetColorItems(StoreHandle app_store, const StiPicture& picture);

// Decodes the pattern, then sets the swatches, "nRows", "nSts", "PatBmp" (after writing
// "Pat.Bmp") and "pnColors"; without `picture_file` no file is written and "PatBmp" is
// removed. False, and nothing changed, when it does not decode.
bool BuildPatternPicture(StoreHandle app_store, std::span<const uint8_t> record,
                         bool picture_file = true);

// Removes what BuildPatternPicture set once its view has closed: the views share the stores,
// and item names ignore case ("Col1" would hide the sector view's "col1").
void ClearPatternItems(StoreHandle app_store);

int DP_Picture(WindowHandle owner, int, int, StoreHandle main_store, StoreHandle app_store);
int DP_UpdateBitmap(WindowHandle owner, int, int, StoreHandle main_store, StoreHandle app_store);

// Registers every picture procedure: the pattern view, the full pattern page and the sector
// and technique pictures.
void RegisterPictureProcedures();

}  // namespace r7k
