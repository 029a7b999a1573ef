#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/item_store.h"
#include "support/window_messages.h"

// The pictures of the sector view (the front and back patterns a sector refers to) and of the
// technique view (the front and back cell grids of a technique record).
namespace r7k {

enum class PictureSide { kFront, kBack };

// A pattern found in one of the built-in ROM images: its bytes and the image's name.
struct RomPattern {
  std::span<const uint8_t> bytes;
  std::string image;
};

// Entry `index` of "R7kRom", else of "R7kRomx", when it is present and carries `name` (its
// first five characters). A range that leaves the image gives no bytes.
std::optional<RomPattern> FindRomPattern(size_t index, std::string_view name);

// The entry a "MOD" reference names in a virtual module image (directory at 0x10000): its
// bytes (empty when its range leaves the image), or nothing when the entry is free or
// carries another name.
std::optional<std::vector<uint8_t>> FindModulePattern(std::span<const uint8_t> image, size_t index,
                                                      std::string_view name);

// Where the pattern of a sector side was looked for and what came of it.
struct SidePattern {
  enum class Status {
    kFound,             // `record` holds the entry's bytes
    kRomFree,           // no built-in image has the entry
    kModuleUnreadable,  // the virtual module cannot be read
    kModuleFree,        // the module's entry is free or carries another name
  };
  Status status = Status::kFound;
  std::vector<uint8_t> record;
  std::string module;  // the module path, or the built-in image the pattern came from
};

// Looks up a sector side's pattern by its source text ("ROM": the built-in images; "MOD" or
// "PC": the virtual module at `module_path`), directory index and pattern name.
SidePattern FindSidePattern(std::string_view source, size_t index, std::string_view name,
                            const std::string& module_path);

// A pattern record holding one cell grid of a technique record: the front grid follows the
// first 0xEF from byte 11, the back grid follows it. Nothing when the record has no 0xEF or
// the grid does not lie within it.
std::optional<std::vector<uint8_t>> TechniqueGridRecord(std::span<const uint8_t> technique,
                                                        PictureSide side);

int DP_UpdatefBitmap(WindowHandle owner, int, int, StoreHandle main_store, StoreHandle app_store);
int DP_UpdatebBitmap(WindowHandle owner, int, int, StoreHandle main_store, StoreHandle app_store);
int DP_UpdateTechfBitmap(WindowHandle owner, int, int, StoreHandle main_store,
                         StoreHandle app_store);
int DP_UpdateTechbBitmap(WindowHandle owner, int, int, StoreHandle main_store,
                         StoreHandle app_store);
int DP_TechniquePicture(WindowHandle owner, int, int, StoreHandle main_store,
                        StoreHandle app_store);

}  // namespace r7k
