#include "support/os_description.h"

#include <array>
#include <cctype>
#include <sstream>

namespace r7k {
namespace {

bool EqualsNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

// Edition names of Windows Vista / Server 2008, by product number 1..42 (empty: unnamed).
constexpr std::array<const char*, 42> kEditions = {
    "Ultimate Edition",
    "Home Basic Edition",
    "Home Premium Edition",
    "Enterprise Edition",
    "Home Basic N Edition",
    "Business Edition",
    "Standard Edition",
    "Datacenter Edition",
    "Small Business Server",
    "Enterprise Edition",
    "Starter Edition",
    "Datacenter Edition (core installation)",
    "Standard Edition (core installation)",
    "Enterprise Edition (core installation)",
    "Enterprise Edition for Itanium-based Systems",
    "",
    "Web Server Edition",
    "Cluster Server Edition",
    "",
    "Storage Server Express Edition",
    "Storage Server Standard Edition",
    "Storage Server Workgroup Edition",
    "Storage Server Enterprise Edition",
    "Windows Server 2008 for Windows Essential Server Solutions",
    "Small Business Server Premium Edition",
    "Home Premium N Edition",
    "Enterprise N Edition",
    "Ultimate N Edition",
    "Web Server Edition (core installation)",
    "Windows Essential Business Server Management Server",
    "Windows Essential Business Server Security Server",
    "Windows Essential Business Server Messaging Server",
    "",
    "",
    "Windows Server 2008 without Hyper-V for Windows Essential Server Solutions",
    "Standard without Hyper-V Edition",
    "Datacenter without Hyper-V Edition",
    "Enterprise without Hyper-V Edition",
    "Datacenter without Hyper-V Edition (core installation)",
    "Standard without Hyper-V Edition (core installation)",
    "Enterprise without Hyper-V Edition (core installation)",
    "Microsoft Hyper-V Server",
};

constexpr int kX86 = 0, kItanium = 6, kX64 = 9;

const char* ServerYear(unsigned build) {
  if (build <= 17762) return "2016";
  if (build == 17763) return "2019";
  if (build <= 20348) return "2022";
  if (build <= 26100) return "2025";
  return "20XX";
}

}  // namespace

std::string ComposeWindowsDescription(const WindowsVersionInfo& v) {
  const std::string& sp = v.service_pack;
  const char sp1 = sp.size() > 1 ? sp[1] : '\0';
  if (v.platform == 0) return "Microsoft Win32s";
  if (v.platform == 1) {
    if (v.major == 4 && v.minor == 0)
      return std::string("Microsoft Windows 95 ") + (sp1 == 'C' || sp1 == 'B' ? "OSR2 " : "");
    if (v.major == 4 && v.minor == 10)
      return std::string("Microsoft Windows 98 ") + (sp1 == 'A' ? "SE " : "");
    if (v.major == 4 && v.minor == 90) return "Microsoft Windows Millennium Edition";
    return "";
  }
  if (v.platform != 2) return "";

  const bool workstation = v.product_type == 1;
  const bool datacenter = v.suite_mask & kSuiteDatacenter;
  const bool enterprise = v.suite_mask & kSuiteEnterprise;
  std::string s = "Microsoft ";
  bool ubr_read = false;
  if (v.major == 10 && v.minor == 0) {
    if (workstation) {
      ubr_read = true;
      s += v.build < 22000 ? "Windows 10 " : "Windows 11 ";
    } else {
      const unsigned build =
          v.current_build ? std::strtoul(v.current_build->c_str(), nullptr, 10) : 0;
      s += std::string("Windows Server ") + ServerYear(build);
    }
  } else if (v.major == 6 && v.minor == 3) {
    s += workstation ? "Windows 8.1 " : "Windows Server 2012 R2 ";
  } else if (v.major == 6 && v.minor == 2) {
    s += workstation ? "Windows 8 " : "Windows Server 2012 ";
  } else if (v.major == 6 && v.minor == 1) {
    s += workstation ? "Windows 7 " : "Windows Server 2008 R2 ";
  }
  if (v.major > 5 && !(v.major == 6 && v.minor == 0)) {
    if (v.edition_id && !v.edition_id->empty()) s += " " + *v.edition_id;
  }
  if (v.major == 6 && v.minor == 0) {
    s += workstation ? "Windows Vista " : "Windows Server 2008 ";
    if (v.product_info >= 1 && v.product_info <= kEditions.size())
      s += kEditions[v.product_info - 1];
    if (v.architecture == kX64) s += ", 64-bit";
    if (v.architecture == kX86) s += ", 32-bit";
  } else if (v.major == 5 && v.minor == 2) {
    if (v.server2003_r2) {
      s += "Windows Server 2003 \"R2\", ";
    } else if (workstation && v.architecture == kX64) {
      s += "Windows XP Professional x64 Edition ";
    } else {
      s += "Windows Server 2003, ";
    }
  } else if (v.major == 5 && v.minor == 1) {
    s += "Windows XP ";
  } else if (v.major == 5 && v.minor == 0) {
    s += "Windows 2000 ";
  } else if (v.major < 5) {
    s += "Windows NT ";
  }

  if (v.major < 6) {
    if (!v.extended) {
      if (!v.registry_product_type || v.registry_product_type->size() > 80) return "";
      const std::string& t = *v.registry_product_type;
      if (EqualsNoCase(t, "WINNT")) s += "Workstation ";
      if (EqualsNoCase(t, "LANMANNT")) s += "Server ";
      if (EqualsNoCase(t, "SERVERNT")) s += "Advanced Server ";
      s += std::to_string(v.major) + "." + std::to_string(v.minor) + " ";
    } else if (workstation && v.architecture != kX64) {
      if (v.major == 4) {
        s += "Workstation 4.0 ";
      } else {
        s += (v.suite_mask & kSuitePersonal) ? "Home Edition " : "Professional ";
      }
    } else if (v.product_type == 2 || v.product_type == 3) {
      if (v.major == 5 && v.minor == 2) {
        if (v.architecture == kItanium) {
          if (datacenter)
            s += "Datacenter Edition for Itanium-based Systems";
          else if (enterprise)
            s += "Enterprise Edition for Itanium-based Systems";
        } else if (v.architecture == kX64) {
          s += datacenter   ? "Datacenter x64 Edition "
               : enterprise ? "Enterprise x64 Edition "
                            : "Standard x64 Edition ";
        } else {
          s += datacenter                     ? "Datacenter Edition "
               : enterprise                   ? "Enterprise Edition "
               : (v.suite_mask & kSuiteBlade) ? "Web Edition "
                                              : "Standard Edition ";
        }
      } else if (v.major == 5 && v.minor == 0) {
        s += datacenter ? "Datacenter Server " : enterprise ? "Advanced Server " : "Server ";
      } else if (v.major == 4) {
        s += enterprise ? "Server 4.0, Enterprise Edition " : "Server 4.0 ";
      }
    }
  }

  const unsigned build16 = v.build & 0xFFFF;
  if (v.major == 4 && EqualsNoCase(sp, "Service Pack 6")) {
    if (v.hotfix_q246009) return s + "Service Pack 6a (Build " + std::to_string(build16) + ")";
    return s + sp + " (Build " + std::to_string(build16) + ")";
  }
  const uint32_t ubr = ubr_read && v.ubr ? *v.ubr : 0;
  if (ubr == 0) return s + " " + sp + " (Build " + std::to_string(build16) + ")";
  return s + " " + sp + " " + v.display_version.value_or("") + " (Build " +
         std::to_string(build16) + "." + std::to_string(ubr) + ")";
}

std::string ComposeLinuxDescription(const std::string& os_release_text, const std::string& kernel,
                                    const std::string& machine) {
  std::string pretty, plain;
  std::istringstream in(os_release_text);
  for (std::string line; std::getline(in, line);) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string value = line.substr(eq + 1);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    const std::string key = line.substr(0, eq);
    if (key == "PRETTY_NAME") pretty = value;
    if (key == "NAME") plain = value;
  }
  std::string s = !pretty.empty() ? pretty : !plain.empty() ? plain : "Linux";
  if (!kernel.empty()) s += ", kernel " + kernel;
  if (!machine.empty()) s += ", " + machine;
  return s;
}

}  // namespace r7k
