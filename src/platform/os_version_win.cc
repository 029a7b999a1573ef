#include "platform/os_version.h"

#include <windows.h>

#include "support/os_description.h"

namespace r7k {
namespace {

using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
using GetNativeSystemInfoFn = void(WINAPI*)(SYSTEM_INFO*);
using GetProductInfoFn = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, DWORD*);

std::optional<std::string> LocalMachineText(const char* key, const char* value) {
  char buffer[81];
  DWORD size = sizeof buffer;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, key, value, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  return std::string(buffer);
}

std::optional<uint32_t> LocalMachineNumber(const char* key, const char* value) {
  DWORD number = 0;
  DWORD size = sizeof number;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, key, value, RRF_RT_REG_DWORD, nullptr, &number, &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  return number;
}

template <typename Fn>
Fn Find(const wchar_t* module, const char* name) {
  HMODULE m = GetModuleHandleW(module);
  return m ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m, name))) : nullptr;
}

// The version as the extended query gives it (the basic one when that fails), with the NT
// layer's own numbers, which are not shimmed for compatibility.
std::optional<OSVERSIONINFOEXW> QueryVersion(bool* extended) {
  OSVERSIONINFOEXW v{};
  v.dwOSVersionInfoSize = sizeof v;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  *extended = GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&v));
  if (!*extended) {
    v.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&v))) return std::nullopt;
  }
#pragma GCC diagnostic pop
  if (auto rtl = Find<RtlGetVersionFn>(L"ntdll.dll", "RtlGetVersion")) {
    OSVERSIONINFOEXW native{};
    native.dwOSVersionInfoSize = sizeof native;
    if (rtl(&native) == 0) {
      v.dwMajorVersion = native.dwMajorVersion;
      v.dwMinorVersion = native.dwMinorVersion;
      v.dwBuildNumber = native.dwBuildNumber;
    }
  }
  return v;
}

std::string Narrow(const wchar_t* text) {
  std::string out;
  for (; *text; ++text) out.push_back(*text < 128 ? char(*text) : '?');
  return out;
}

}  // namespace

std::string DescribeOperatingSystem() {
  bool extended = false;
  const auto v = QueryVersion(&extended);
  if (!v) return "";
  WindowsVersionInfo info;
  info.platform = int(v->dwPlatformId);
  info.major = v->dwMajorVersion;
  info.minor = v->dwMinorVersion;
  info.build = v->dwBuildNumber;
  info.service_pack = Narrow(v->szCSDVersion);
  info.extended = extended;
  info.product_type = extended ? v->wProductType : 1;
  info.suite_mask = extended ? v->wSuiteMask : 0;
  SYSTEM_INFO system{};
  if (auto native = Find<GetNativeSystemInfoFn>(L"kernel32.dll", "GetNativeSystemInfo"))
    native(&system);
  else
    GetSystemInfo(&system);
  info.architecture = system.wProcessorArchitecture;
  constexpr const char* kCurrentVersion = "Software\\Microsoft\\Windows NT\\CurrentVersion";
  info.ubr = LocalMachineNumber(kCurrentVersion, "UBR");
  info.display_version = LocalMachineText(kCurrentVersion, "DisplayVersion");
  info.current_build = LocalMachineText(kCurrentVersion, "CurrentBuild");
  info.edition_id = LocalMachineText(kCurrentVersion, "EditionID");
  info.registry_product_type =
      LocalMachineText("SYSTEM\\CurrentControlSet\\Control\\ProductOptions", "ProductType");
  HKEY hotfix = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009", 0, KEY_READ,
                    &hotfix) == ERROR_SUCCESS) {
    info.hotfix_q246009 = true;
    RegCloseKey(hotfix);
  }
  info.server2003_r2 = GetSystemMetrics(SM_SERVERR2) != 0;
  if (info.major == 6 && info.minor == 0) {
    DWORD product = 0;
    if (auto get = Find<GetProductInfoFn>(L"kernel32.dll", "GetProductInfo");
        get && get(6, 0, 0, 0, &product))
      info.product_info = product;
  }
  return ComposeWindowsDescription(info);
}

bool OsSupported() {
  bool extended = false;
  const auto v = QueryVersion(&extended);
  return v && v->dwPlatformId == VER_PLATFORM_WIN32_NT && v->dwMajorVersion >= 5;
}

}  // namespace r7k
