#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/dialog_engine.h"
#include "module/directory.h"

// Adding a technique or a pattern to a virtual module, splitting a module into entity files,
// and the clipboard copies of the directory and of a technique's instructions.
namespace r7k {

// Sectors are only added as copies of existing ones (r7k copy).
enum class NewEntryKind { kTechnique, kPattern, kSector };

// Why an entry cannot be added: the message type and text for the user.
struct NewEntryRefusal {
  int type = kMbIconStop;
  std::string text;
};

// "T0..." for a technique; "P3", "P4", "P5" or "P6" for a pattern; "S..." for a sector.
bool IsNewEntryName(NewEntryKind kind, const std::string& name);
// Why a new entry may not have that name ("Incorrect pattern name: P2500"); nothing when it may.
std::optional<NewEntryRefusal> RefuseNewEntryName(NewEntryKind kind, const std::string& name);

// The record of a new entry: the template, zeros up to `size`, and for a technique its size
// code and number. Nothing when no record of that size can be made.
std::optional<std::vector<uint8_t>> NewEntryRecord(NewEntryKind kind, const std::string& name,
                                                   int64_t size);

// Appends the entry and its record to the image. The image is changed only when everything
// fits: a module layout (directory at 0x10000) with an end to its directory, no valid entry of
// that name, room for the entry and an end marker before the first entity, and the record
// within the image.
std::optional<NewEntryRefusal> AddNewEntry(std::vector<uint8_t>& image, NewEntryKind kind,
                                           const std::string& name, int64_t size);
// The same with a record made elsewhere (a pattern from a picture).
std::optional<NewEntryRefusal> AddNewEntryRecord(std::vector<uint8_t>& image, NewEntryKind kind,
                                                 const std::string& name,
                                                 std::span<const uint8_t> record);

// Writes the record at the entry's place and 0 over the rest of the entry; the caller has
// checked that the entry lies within the image and the record is no larger than it.
void PutRecordInPlace(std::vector<uint8_t>& image, const DirectoryEntry& entry,
                      std::span<const uint8_t> record);

struct SplitResult {
  int written = 0;
  // Entries not written, each with the reason in words: a name that cannot be a file name, a
  // range outside the module, or a file that could not be written.
  std::vector<std::pair<std::string, std::string>> skipped;
};

// Writes one entity file per row of "Directory" into `folder`.
SplitResult SplitModule(const std::vector<uint8_t>& image, const Table* directory,
                        const std::string& folder);

// Splits the current module by its "Directory" into a new folder beside it named by the
// time ("%08X" seconds, with "-2", "-3", ... when a folder of that name exists: one is never
// shared); nothing when there is no directory, file or folder.
struct SplitOutcome {
  std::string folder;
  SplitResult result;
};
std::optional<SplitOutcome> SplitIntoTimeFolder(StoreHandle app);

int DP_NewTechnique(WindowHandle owner, int, int, StoreHandle main_store, StoreHandle app);
int DP_NewPattern(WindowHandle owner, int, int, StoreHandle main_store, StoreHandle app);
int DP_ClipDirectory(WindowHandle owner, int, int, StoreHandle main_store, StoreHandle app);
int DP_ClipInstructions(WindowHandle owner, int, int, StoreHandle main_store, StoreHandle app);
int CB_Split(FieldHandle field, int message, WParam wparam, LParam lparam);

}  // namespace r7k
