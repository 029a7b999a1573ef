#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>

// Where an operation may put what it makes: never over one of the files it reads, never over
// a folder, and over an existing virtual module or entity file only when the user allowed it.
namespace r7k {

enum class OutputRefusalKind {
  kEmpty,     // no file name
  kInput,     // the output is one of the inputs (by any path: links count)
  kFolder,    // the output is a folder
  kUserFile,  // an existing virtual module or entity file, and replacing was not allowed
};

struct OutputRefusal {
  OutputRefusalKind kind;
  std::string text;  // for the user, naming the file
};

// A file that is a virtual module (".r7v", or the size of one) or an entity file (".r7k",
// ".cut"): what a user keeps and edits. Empty when it is neither or does not exist.
std::string UserFileKind(const std::filesystem::path& path);

// Why `output` may not be written by an operation reading `inputs`; nothing when it may.
// `replace` allows replacing an existing virtual module or entity file.
std::optional<OutputRefusal> CheckOutputPath(const std::filesystem::path& output,
                                             std::span<const std::filesystem::path> inputs,
                                             bool replace);

}  // namespace r7k
