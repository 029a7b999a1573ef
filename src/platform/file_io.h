#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace r7k {

// The characters that end a folder in a path: "/", and "\\" where it is the system's own.
inline constexpr std::string_view kPathSeparators =
    std::filesystem::path::preferred_separator == '/' ? "/" : "/\\";

// The file a write to `path` replaces: `path`, or the file its symbolic links lead to.
// Nothing for a loop of links.
std::optional<std::filesystem::path> WriteTarget(std::filesystem::path path);

// Replaces `path` with `bytes` so that a failure never leaves it truncated: the bytes go to
// a new hidden file beside it, are flushed, and the new file is renamed over the old one.
// A symbolic link is followed: the file it leads to is replaced and the link stays. Hidden
// files that killed writes of the same file left behind are removed afterwards. False (and
// `path` untouched) when any step fails; *error (when given) then says why, in words for the
// user.
bool WriteFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                         std::string* error = nullptr);
inline bool WriteFileAtomically(const std::filesystem::path& path, std::string_view text,
                                std::string* error = nullptr) {
  return WriteFileAtomically(
      path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), error);
}

// A new, empty folder that only this user can use, in the system's temporary folder, its name
// `prefix` and random letters; empty when none could be made.
std::filesystem::path MakeScratchFolder(std::string_view prefix);

// True when this user may write `path`: a file, or a folder to make files in. Otherwise errno
// says why not.
bool MayWrite(const std::filesystem::path& path);

// True when `path` is this user's own folder itself, not a link to one.
bool IsOwnFolder(const std::filesystem::path& path);

// The whole file, or nothing when it cannot be read or is larger than `max_bytes`.
std::optional<std::vector<uint8_t>> ReadFileBytes(const std::filesystem::path& path,
                                                  size_t max_bytes);

}  // namespace r7k
