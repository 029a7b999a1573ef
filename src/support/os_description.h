#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The one-line description of the operating system shown in the About dialog ("WinVer").
namespace r7k {

// What Windows reports about itself, and the registry values the description reads.
struct WindowsVersionInfo {
  int platform = 2;  // 0 Win32s, 1 Windows 9x, 2 Windows NT
  unsigned major = 0, minor = 0, build = 0;
  std::string service_pack;
  int product_type = 1;     // 1 workstation, 2 domain controller, 3 server
  uint32_t suite_mask = 0;  // kSuite* flags
  bool extended = true;     // the extended version query worked
  int architecture = 0;     // 0 x86, 6 Itanium, 9 x64
  std::optional<uint32_t> ubr;
  std::optional<std::string> display_version;
  std::optional<std::string> current_build;
  std::optional<std::string> edition_id;
  std::optional<std::string> registry_product_type;  // "WINNT", "LANMANNT", "SERVERNT"
  bool hotfix_q246009 = false;
  bool server2003_r2 = false;
  uint32_t product_info = 0;  // product number for version 6.0
};

inline constexpr uint32_t kSuiteEnterprise = 0x0002;
inline constexpr uint32_t kSuiteDatacenter = 0x0080;
inline constexpr uint32_t kSuitePersonal = 0x0200;
inline constexpr uint32_t kSuiteBlade = 0x0400;

// Composes the Windows description; empty when it cannot be made (the length 0 case).
std::string ComposeWindowsDescription(const WindowsVersionInfo& info);

// Linux: distribution name from the os-release file, kernel release and architecture.
std::string ComposeLinuxDescription(const std::string& os_release_text, const std::string& kernel,
                                    const std::string& machine);

}  // namespace r7k
