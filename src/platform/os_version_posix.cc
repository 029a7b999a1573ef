#include "platform/os_version.h"

#include <sys/utsname.h>

#include <fstream>
#include <sstream>

#include "support/os_description.h"

namespace r7k {

std::string DescribeOperatingSystem() {
  std::string text;
  for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
    std::ifstream f(path);
    if (!f) continue;
    std::ostringstream buf;
    buf << f.rdbuf();
    text = buf.str();
    break;
  }
  struct utsname u {};
  if (uname(&u) != 0) return ComposeLinuxDescription(text, "", "");
  return ComposeLinuxDescription(text, u.release, u.machine);
}

bool OsSupported() { return true; }

}  // namespace r7k
