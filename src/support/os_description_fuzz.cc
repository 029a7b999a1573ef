#include <cstddef>
#include <cstdint>
#include <string>

#include "support/os_description.h"

// The os-release parser reads a file any package may have written.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  r7k::ComposeLinuxDescription(std::string(reinterpret_cast<const char*>(data), size), "k", "m");
  return 0;
}
