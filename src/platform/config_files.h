#pragma once

// The user's configuration folder and the profile (INI) files kept in it.
//
// The folder is $R7K_CONFIG_DIR when set (tests, scripts), else $XDG_CONFIG_HOME/r7kprog, else
// ~/.config/r7kprog; on Windows %APPDATA%\R7kProg. Profile files follow the Windows profile rules:
// "[Section]" lines, then "Key=Value" lines; section and key names match without regard to letter
// case; a missing file, section or key reads as the default.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace r7k {

std::filesystem::path ConfigFolder();
// The profile file `file` ("R7kProg.ini") in that folder.
std::filesystem::path ProfilePath(std::string_view file);

// The value of `key` in `section` of the INI text, without surrounding blanks.
std::optional<std::string> IniGetValue(std::string_view text, std::string_view section,
                                       std::string_view key);
// The INI text with `key` of `section` set to `value`: an existing line is replaced in place,
// a new key goes at the end of its section, a new section at the end of the text. Every other
// line is kept as it was.
std::string IniSetValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value);

// The INI text without the line of `key` in `section`; unchanged when there is none.
std::string IniDeleteValue(std::string_view text, std::string_view section, std::string_view key);

// The value of `key`, or nullopt when the file, section or key is missing.
std::optional<std::string> ReadProfileValue(std::string_view file, std::string_view section,
                                            std::string_view key);
// Reads from the profile file `file` (a name inside ConfigFolder(), e.g. "R7kProg.ini").
std::string GetProfileString(std::string_view file, std::string_view section, std::string_view key,
                             std::string_view fallback = {});
// True when the text holds a byte below 0x20 or 0x7F: no such text is written to a file.
bool HasControlCharacter(std::string_view text);

// Writes the value, creating the folder and the file as needed; the file is replaced
// atomically. False with *error for the user when that failed or when the section, key or
// value holds a control character.
bool WriteProfileString(std::string_view file, std::string_view section, std::string_view key,
                        std::string_view value, std::string* error = nullptr);

// Removes `key` from `section`; true when it is gone (also when it never was there).
bool DeleteProfileValue(std::string_view file, std::string_view section, std::string_view key,
                        std::string* error = nullptr);

}  // namespace r7k
