#include <cstddef>
#include <cstdint>
#include <span>

#include "module/text_records.h"
#include "testing/fuzz_seeds.h"

// The first byte picks the record, the rest is its content: any length and any values.
namespace {

constexpr const char* kNames[] = {"_0000", "_0001", "_0002", "_0005", "_0003"};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  r7k::fuzz::WriteSeedsIfAsked([] {
    std::vector<r7k::fuzz::Bytes> seeds;
    for (const r7k::fuzz::Entity& e : r7k::fuzz::BuiltinEntities()) {
      for (uint8_t k = 0; k < 5; ++k)
        if (e.name == kNames[k]) seeds.push_back(r7k::fuzz::Prefixed(k, e.bytes));
    }
    return seeds;
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const char* name = kNames[data[0] % 5];
  r7k::TextRecordText(name, std::span<const uint8_t>(data + 1, size - 1));
  return 0;
}
