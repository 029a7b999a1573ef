#pragma once

// The one loader of virtual module files: the directory view, the module write and every r7k
// command that reads a module go through it, so they refuse the same files with the same
// words.

#include <cstdint>
#include <string>
#include <vector>

#include "module/directory.h"

namespace r7k {

enum class ModuleLoadError {
  kNone,
  kNotFound,       // the file does not exist
  kFolder,         // the path names a folder
  kUnreadable,     // the file exists but cannot be opened (see `reason`)
  kIncorrectSize,  // neither 196,608 nor 524,288 bytes (an empty or truncated file too)
  kCorrupted,      // region bytes 0x10..0x1F not all 0xFF, or no end marker
  kNoConversion,   // the file opened but could not be read to its end
};

struct LoadedModule {
  ModuleLoadError error = ModuleLoadError::kNone;
  std::string reason;          // the system's words for kUnreadable ("Permission denied")
  std::vector<uint8_t> image;  // the whole file, when it was read (kCorrupted too, so that its
                               // bytes can still be compared)
  Directory directory;         // filled when error is kNone
  bool ok() const { return error == ModuleLoadError::kNone; }
};

// Reads the whole file and its directory. A file of the wrong size is not read.
LoadedModule LoadVirtualModule(const std::string& path);

// The message for a failed load, with the path in place of "%s"; empty when it loaded.
std::string ModuleLoadMessage(const LoadedModule& module, const std::string& path);

}  // namespace r7k
