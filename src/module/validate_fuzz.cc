#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "module/validate.h"
#include "testing/fuzz_seeds.h"

// The three entity validators on any record: the first byte picks the entity kind (and a
// sector's name number), the rest is the record. Every answer is one of the known codes.
namespace {

constexpr const char* kNames[] = {"P2000", "T0001", "S0012", "S0001", "P3000"};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  r7k::fuzz::WriteSeedsIfAsked([] {
    std::vector<r7k::fuzz::Bytes> seeds;
    for (const r7k::fuzz::Entity& e : r7k::fuzz::BuiltinEntities()) {
      const uint8_t kind = e.name[0] == 'P' ? 0 : e.name[0] == 'T' ? 1 : e.name[0] == 'S' ? 2 : 255;
      if (kind != 255) seeds.push_back(r7k::fuzz::Prefixed(kind, e.bytes));
    }
    return seeds;
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view name = kNames[data[0] % 5];
  const int code = r7k::ValidateEntity(name, std::span<const uint8_t>(data + 1, size - 1));
  if (code < r7k::kValidOk || code > r7k::kValidNotSector) __builtin_trap();
  return 0;
}
