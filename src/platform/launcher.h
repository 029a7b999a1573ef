#pragma once

// Starting other programs without a command shell, and what the system knows about them.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace r7k {

// This program's own file; empty when the system cannot say.
std::filesystem::path ProgramPath();

// Starts a program with an argument vector (searched in PATH, never through a shell) and does
// not wait for it. False when it could not be started.
bool LaunchDetached(const std::vector<std::string>& argv);

// The command registered for opening web pages (Windows: "http\shell\open\command" of the
// classes root); nothing where there is no such registration.
std::optional<std::string> RegisteredBrowserCommand();

// Asks the shell to "Open" a document with `folder` as working folder, shown without
// activation (Windows). False where there is no such shell or it refused.
bool ShellOpen(const std::filesystem::path& document, const std::filesystem::path& folder);

}  // namespace r7k
