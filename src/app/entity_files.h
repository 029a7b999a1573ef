#pragma once

#include <string>

#include "engine/dialog_engine.h"

// The "Hex" dialog on the current entry: its bytes as hexadecimal text, saved to and loaded
// from entity files (".r7k", plus ".cut" for patterns) beside the module, and written back
// into the module at the entry's place.
namespace r7k {

// The folder (with its separator) + name + extension (".r7k" or ".cut").
std::string EntityFilePath(const std::string& folder, const std::string& name,
                           const char* extension);
// A name that stays a file name inside its folder (the directory may hold any bytes):
// printable ASCII without "/" or "\", and not "." or "..".
bool IsEntityFileName(const std::string& name);

// Save, Load and Update of the current entry with the entity files in `folder` (with its
// separator); the procedures use the module's folder.
int SaveEntity(WindowHandle owner, StoreHandle app, const std::string& folder);
int LoadEntity(WindowHandle owner, StoreHandle app, const std::string& folder);
int UpdateEntity(WindowHandle owner, StoreHandle app, const std::string& folder);

int DP_Info(WindowHandle owner, int, int, StoreHandle main_store, StoreHandle app);
int DP_Save(WindowHandle owner, int, int, StoreHandle main_store, StoreHandle app);
int DP_Load(WindowHandle owner, int, int, StoreHandle main_store, StoreHandle app);
int DP_Update(WindowHandle owner, int, int, StoreHandle main_store, StoreHandle app);

// Replaces `bytes.size()` bytes at `offset` of the file with `bytes`: the whole file is
// rewritten atomically, so a failure leaves it as it was. False when the range does not lie
// within the file or any step fails.
bool PatchFileAtomically(const std::string& path, size_t offset, std::span<const uint8_t> bytes);

}  // namespace r7k
