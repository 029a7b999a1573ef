#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/new_entries.h"
#include "module/directory.h"

// Copying a technique, pattern or sector from one virtual module into another, as a new entry
// or in place of the target's entry of that name.
namespace r7k {

struct CopyRequest {
  std::string name;      // the entry in the source (its valid one, else a deleted one)
  std::string new_name;  // its name in the target; empty keeps the name
  bool replace = false;  // put it in place of the target's valid entry of that name
};

struct CopyResult {
  std::optional<NewEntryRefusal> refusal;  // when nothing was copied
  std::string done;                        // what was done, for the user
  std::vector<std::string> notes;          // what the user should know about the copy
};

// Copies the entry into `target` (a whole image), which changes only when the copy is done.
// The record is validated under its new name; renamed, a technique's or sector's number
// (bytes 1 and 2) follows the new name. A new entry goes through AddNewEntryRecord, with its
// name rules and room checks. Replacing writes in place when the record has the old entry's
// size (a pattern: at most its size, the rest 0); otherwise the old entry is marked deleted
// and the copy appended. A copied sector's "MOD" pattern references name entries of the
// source's directory; each is told with what the target holds at that index.
CopyResult CopyEntry(std::span<const uint8_t> source, const Directory& source_directory,
                     std::vector<uint8_t>& target, const CopyRequest& request);

}  // namespace r7k
