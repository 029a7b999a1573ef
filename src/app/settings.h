#pragma once

// The saved settings, in the registry of the current user (platform/registry.h); the baud rate
// stays in the profile "R7kProg.ini".

#include <optional>
#include <string>
#include <string_view>

#include "link/serial_channel.h"  // kProfileFile, "R7kProg.ini"
#include "platform/registry.h"
#include "store/item_store.h"

namespace r7k {

inline constexpr char kSettingsKey[] = "Software\\Veldmark\\R7kProg\\Settings";
inline constexpr char kPagecastKey[] = "Software\\Pagecast";
inline constexpr char kFlagsValue[] = "Flags";
inline constexpr char kFlagsPrintDialog[] = "256";

// One saved value of the settings key and the item of the application store it fills.
struct SettingValue {
  const char* value;
  const char* item;
};
// "Port1", "ModuleFile" → "CurrentVirtualModule", "Palette", "ShowPrintDialog", "Verify".
extern const SettingValue kSettingValues[5];

// Copies each saved value that exists into its item; "Verify" is "1" when none was saved.
void ReadSettings(StoreHandle app_store);
// Writes the items back: the three paths and names as they are (missing items as empty
// values), "ShowPrintDialog" and "Verify" as "1" or "0", and the window printer's "Flags" set
// or deleted.
// False with *error when the file could not be written.
bool WriteSettings(StoreHandle app_store, std::string* error = nullptr);

}  // namespace r7k
