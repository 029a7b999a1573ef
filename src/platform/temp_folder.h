#pragma once

// The folder where the program puts the files it makes for the user to look at (stitch
// pictures, the full pattern page, the working palette). It is the user's own: other users
// can neither read what is there nor put files under its names.

#include <filesystem>
#include <optional>
#include <string>

namespace r7k {

// On POSIX systems $XDG_RUNTIME_DIR/r7kprog when $XDG_RUNTIME_DIR is the user's own private
// folder, else "r7kprog-UID" in $TMPDIR (or /tmp). The folder is made with mode 0700 when
// missing; an existing one must be a real folder (not a link) owned by the user, and is made
// private again when it is not. Nothing, with *error for the user, when there is no such
// folder.
std::optional<std::filesystem::path> PrivateTempFolder(std::string* error = nullptr);

}  // namespace r7k
