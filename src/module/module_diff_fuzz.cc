#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "module/builtin_images.h"
#include "module/directory.h"
#include "module/module_diff.h"
#include "testing/fuzz_seeds.h"

// The demo module against a copy with the input laid over its directory or its entities (or a
// ROM image's start), both ways round, with and without the directories: the matching, the
// cell counts and the ranges meet any directory a damaged file can hold.
// Seeds: the demo's directory and its first entities.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  r7k::fuzz::WriteSeedsIfAsked([] {
    const auto demo = r7k::BuiltinImage("demo");
    std::vector<r7k::fuzz::Bytes> seeds;
    for (uint8_t selector = 0; selector < 3; ++selector) {
      const size_t at = selector == 0 ? r7k::kModuleDirectoryBase : 0x18000;
      seeds.push_back(r7k::fuzz::Prefixed(
          selector, r7k::fuzz::Bytes(demo.begin() + at, demo.begin() + at + 1024)));
    }
    return seeds;
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::span<const uint8_t> a = r7k::BuiltinImage(data[0] & 4 ? "R7kRom" : "demo");
  // One buffer for every run: a fresh half-megabyte each time would slow the target down.
  static std::vector<uint8_t> b;
  b.assign(a.begin(), a.end());
  const size_t at = data[0] & 4 ? 0 : data[0] % 2 == 0 ? r7k::kModuleDirectoryBase : 0x18000;
  std::copy_n(data + 1, std::min(size - 1, b.size() - at), b.begin() + at);
  const r7k::DirectoryResult da = r7k::ReadDirectory(a);
  const r7k::DirectoryResult db = r7k::ReadDirectory(b);
  const r7k::Directory* dir_b = db.error == r7k::DirectoryError::kNone ? &db.directory : nullptr;
  const bool blind = data[0] & 8;
  const auto diff = r7k::DiffModules(a, blind ? nullptr : &da.directory, b, dir_b);
  const auto back = r7k::DiffModules(b, dir_b, a, blind ? nullptr : &da.directory);
  // Every difference is told, and only then.
  const bool same = std::memcmp(a.data(), b.data(), a.size()) == 0;
  if (diff.identical != same || diff.identical != (diff.entries.empty() && diff.outside.empty()))
    __builtin_trap();
  if (back.identical != diff.identical) __builtin_trap();
  return 0;
}
