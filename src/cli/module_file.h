#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "module/directory.h"

// Reading a virtual module file and its directory, with the load messages the user sees.
namespace r7k::cli {

enum class LoadError {
  kNone,
  kNotFound,       // the file does not exist
  kIncorrectSize,  // neither 196,608 nor 524,288 bytes
  kCorrupted,      // region bytes 0x10..0x1F not all 0xFF, or no end marker
  kNoConversion,   // the file exists but cannot be opened or read
};

struct LoadedModule {
  LoadError error = LoadError::kNone;
  std::vector<uint8_t> image;
  Directory directory;
};

// Reads the whole file and its directory. A file of the wrong size is not read.
LoadedModule LoadVirtualModule(const std::string& path);

// The message for a failed load, with the path in place of "%s".
std::string LoadErrorMessage(LoadError error, const std::string& path);

// Replaces `path` with `bytes` atomically: written beside it, flushed to disk, then renamed
// over it, so a failure never leaves a truncated file. On failure `error` says why.
bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                         std::string& error);

}  // namespace r7k::cli
