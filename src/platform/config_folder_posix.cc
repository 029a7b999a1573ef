#include <cstdlib>

#include "platform/config_files.h"

namespace r7k {

std::filesystem::path ConfigFolder() {
  if (const char* dir = std::getenv("R7K_CONFIG_DIR"); dir && *dir) return dir;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
    return std::filesystem::path(xdg) / "r7kprog";
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home && *home ? home : ".") / ".config" / "r7kprog";
}

}  // namespace r7k
