#include "platform/file_io.h"

#include <windows.h>
#include <io.h>

#include <atomic>

#include "platform/win_text.h"

namespace r7k {

bool WriteFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                         std::string* error) {
  auto fail = [&](DWORD code) {
    if (error) *error = SystemErrorText(code);
    return false;
  };
  if (path.filename().empty()) {
    if (error) *error = "not a file name";
    return false;
  }
  // A new file beside the target, so the replacement stays on one volume.
  static std::atomic<unsigned> counter{0};
  HANDLE file = INVALID_HANDLE_VALUE;
  std::filesystem::path temp;
  for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
    temp = path.parent_path() /
           ("." + path.filename().string() + "." + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++counter));
    file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
      return fail(GetLastError());
  }
  if (file == INVALID_HANDLE_VALUE) return fail(ERROR_FILE_EXISTS);
  DWORD code = 0;
  size_t done = 0;
  while (code == 0 && done < bytes.size()) {
    const DWORD chunk = DWORD(std::min<size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0)
      code = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
    done += written;
  }
  if (code == 0 && !FlushFileBuffers(file)) code = GetLastError();
  if (!CloseHandle(file) && code == 0) code = GetLastError();
  if (code == 0) {
    // ReplaceFile keeps the replaced file's attributes and security; a file that is not there
    // yet is simply moved into place.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    const bool replaced = attributes != INVALID_FILE_ATTRIBUTES &&
                          ReplaceFileW(path.c_str(), temp.c_str(), nullptr,
                                       REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
    if (!replaced && !MoveFileExW(temp.c_str(), path.c_str(),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      code = GetLastError();
  }
  if (code != 0) {
    DeleteFileW(temp.c_str());
    return fail(code);
  }
  return true;
}

// The user's temporary folder (GetTempPath) is private to the user already.
std::filesystem::path MakeScratchFolder(std::string_view prefix) {
  wchar_t temp[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  if (n == 0 || n > MAX_PATH) return {};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path folder =
        std::filesystem::path(temp) / (std::string(prefix) + std::to_string(GetCurrentProcessId()) +
                                       "-" + std::to_string(GetTickCount64() + attempt));
    if (CreateDirectoryW(folder.c_str(), nullptr)) return folder;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}

bool MayWrite(const std::filesystem::path& path) { return _waccess(path.c_str(), 2) == 0; }

// The user's temporary folder is private to the user already: what is left to tell is a junction
// or a link.
bool IsOwnFolder(const std::filesystem::path& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace r7k
