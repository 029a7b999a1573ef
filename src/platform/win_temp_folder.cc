#include "platform/temp_folder.h"

#include <windows.h>

#include "platform/win_text.h"

namespace r7k {

// "R7kProg" in the user's temporary folder (GetTempPath), which is the user's own already.
std::optional<std::filesystem::path> PrivateTempFolder(std::string* error) {
  wchar_t temp[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  if (n == 0 || n > MAX_PATH) {
    if (error) *error = "There is no temporary folder: " + SystemErrorText(GetLastError());
    return std::nullopt;
  }
  const std::filesystem::path folder = std::filesystem::path(temp) / "R7kProg";
  if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    if (error)
      *error = "Cannot make the folder " + folder.string() + ": " + SystemErrorText(GetLastError());
    return std::nullopt;
  }
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    if (error) *error = folder.string() + " is not a folder of its own";
    return std::nullopt;
  }
  return folder;
}

}  // namespace r7k
