#pragma once

// String values under keys of the current user's registry. On Windows the registry itself
// (HKEY_CURRENT_USER); elsewhere the file "registry.ini" in the configuration folder, one
// section per key ("[Software\Veldmark\R7kProg\Settings]") with the value names as keys.

#include <optional>
#include <string>
#include <string_view>

namespace r7k {

inline constexpr char kRegistryFile[] = "registry.ini";

// The value, or nullopt when the key or the value is missing.
std::optional<std::string> RegistryGetString(std::string_view key, std::string_view value);
// Creates the key as needed. False with *error for the user when it could not be written.
bool RegistrySetString(std::string_view key, std::string_view value, std::string_view text,
                       std::string* error = nullptr);
// True when the value is gone (also when it never was there).
bool RegistryDeleteValue(std::string_view key, std::string_view value,
                         std::string* error = nullptr);
// Where the key lives, for the user ("HKEY_CURRENT_USER\Software\...", or the file).
std::string RegistryLocation(std::string_view key);

// While one lives, the values go to a scratch place removed at its end, so the screenshot tour
// leaves the user's settings alone. On Windows a key of its own under
// HKEY_CURRENT_USER\Software\r7kprog-scratch; elsewhere nothing changes here (the file lives
// in the configuration folder, which R7K_CONFIG_DIR moves).
class ScratchRegistry {
 public:
  ScratchRegistry();
  ~ScratchRegistry();
  ScratchRegistry(const ScratchRegistry&) = delete;
  ScratchRegistry& operator=(const ScratchRegistry&) = delete;
};

}  // namespace r7k
