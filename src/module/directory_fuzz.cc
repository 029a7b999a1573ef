#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "module/address.h"
#include "module/directory.h"

// A module image of 0xFF with the input placed at the start (built-in layout when it holds
// "T0001" at 0x81), at the module directory or at the very end of the file, so the walk and
// the entry readers meet any bytes, including entries cut off by the end of the file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  std::vector<uint8_t> image(r7k::kRomImageSize, 0xFF);
  const size_t n = std::min(size - 1, image.size());
  const size_t at = data[0] % 3 == 0 ? 0 : data[0] % 3 == 1 ? r7k::kModuleDirectoryBase
                                                            : image.size() - n;
  std::copy_n(data + 1, std::min(n, image.size() - at), image.begin() + at);
  const r7k::DirectoryResult result = r7k::ReadDirectory(image);
  for (const r7k::DirectoryEntry& e : result.directory.entries) {
    r7k::EntityBytes(image, e);
    r7k::FindReferencedEntry(image, result.directory.base, e.start & 0xFFFF, e.name);
  }
  r7k::NextEntryStartBytes(image, result.directory);
  r7k::ReadDirectoryEntry(image, r7k::kModuleDirectoryBase, n);
  return 0;
}
