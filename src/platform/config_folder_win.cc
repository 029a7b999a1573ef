#include "platform/config_files.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdlib>

namespace r7k {

// The user's roaming application data, "R7kProg" in it. The profile "R7kProg.ini" lives here
// too rather than in the Windows folder, which a 64-bit program may not write (no UAC file
// virtualisation for it).
std::filesystem::path ConfigFolder() {
  if (const wchar_t* dir = _wgetenv(L"R7K_CONFIG_DIR"); dir && *dir) return dir;
  PWSTR appdata = nullptr;
  std::filesystem::path folder;
  if (SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &appdata) == S_OK)
    folder = std::filesystem::path(appdata) / "R7kProg";
  CoTaskMemFree(appdata);
  return folder.empty() ? std::filesystem::path("R7kProg") : folder;
}

}  // namespace r7k
