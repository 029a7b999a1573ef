#include "platform/registry.h"

#include <windows.h>

#include <vector>

#include "platform/win_text.h"

namespace r7k {
namespace {

// Set while a ScratchRegistry lives: the keys are below it.
std::string g_scratch;

std::string Key(std::string_view key) { return g_scratch + std::string(key); }

}  // namespace

std::optional<std::string> RegistryGetString(std::string_view key, std::string_view value) {
  HKEY k = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, Key(key).c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
    return std::nullopt;
  const std::string name(value);
  DWORD type = 0, size = 0;
  std::optional<std::string> text;
  if (RegQueryValueExA(k, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ)) {
    std::vector<char> buffer(size + 1, 0);
    if (RegQueryValueExA(k, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                         &size) == ERROR_SUCCESS)
      text = std::string(buffer.data());  // up to its terminating zero
  }
  RegCloseKey(k);
  return text;
}

bool RegistrySetString(std::string_view key, std::string_view value, std::string_view text,
                       std::string* error) {
  HKEY k = nullptr;
  LSTATUS status = RegCreateKeyExA(HKEY_CURRENT_USER, Key(key).c_str(), 0, nullptr, 0, KEY_WRITE,
                                   nullptr, &k, nullptr);
  if (status == ERROR_SUCCESS) {
    const std::string data(text);
    status = RegSetValueExA(k, std::string(value).c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(data.c_str()), DWORD(data.size() + 1));
    RegCloseKey(k);
  }
  if (status == ERROR_SUCCESS) return true;
  if (error)
    *error = "Cannot write " + RegistryLocation(key) + ": " + SystemErrorText(DWORD(status));
  return false;
}

bool RegistryDeleteValue(std::string_view key, std::string_view value, std::string* error) {
  HKEY k = nullptr;
  LSTATUS status = RegOpenKeyExA(HKEY_CURRENT_USER, Key(key).c_str(), 0, KEY_SET_VALUE, &k);
  if (status == ERROR_FILE_NOT_FOUND) return true;
  if (status == ERROR_SUCCESS) {
    status = RegDeleteValueA(k, std::string(value).c_str());
    RegCloseKey(k);
  }
  if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) return true;
  if (error)
    *error = "Cannot write " + RegistryLocation(key) + ": " + SystemErrorText(DWORD(status));
  return false;
}

std::string RegistryLocation(std::string_view key) { return "HKEY_CURRENT_USER\\" + Key(key); }

ScratchRegistry::ScratchRegistry() {
  g_scratch = "Software\\r7kprog-scratch\\" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(GetTickCount64()) + "\\";
}

ScratchRegistry::~ScratchRegistry() {
  const std::string root = g_scratch.substr(0, g_scratch.size() - 1);
  g_scratch.clear();
  RegDeleteTreeA(HKEY_CURRENT_USER, root.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, root.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\r7kprog-scratch");  // when no other is left
}

}  // namespace r7k
