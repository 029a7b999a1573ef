#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "module/address.h"
#include "module/builtin_images.h"
#include "module/directory.h"
#include "testing/fuzz_seeds.h"

// A module image of 0xFF with the input placed at the start (built-in layout when it holds
// "T0001" at 0x81), at the module directory or at the very end of the file, so the walk and
// the entry readers meet any bytes, including entries cut off by the end of the file.
// Seeds: the start of each built-in image (its directory when it is a ROM image) and the
// module directory of the demo.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  r7k::fuzz::WriteSeedsIfAsked([] {
    std::vector<r7k::fuzz::Bytes> seeds;
    for (std::string_view name : r7k::BuiltinImageNames()) {
      const auto image = r7k::BuiltinImage(name);
      const size_t at = r7k::DirectoryBase(image);
      const size_t n = std::min<size_t>(4096, image.size() - at);
      seeds.push_back(r7k::fuzz::Prefixed(
          at == 0 ? 0 : 1, r7k::fuzz::Bytes(image.begin() + at, image.begin() + at + n)));
    }
    return seeds;
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  std::vector<uint8_t> image(r7k::kRomImageSize, 0xFF);
  const size_t n = std::min(size - 1, image.size());
  const size_t at = data[0] % 3 == 0   ? 0
                    : data[0] % 3 == 1 ? r7k::kModuleDirectoryBase
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
