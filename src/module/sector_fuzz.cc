#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "module/sector.h"
#include "module/validate.h"
#include "testing/fuzz_seeds.h"

// Sector records come from modules and entity files: reading must stay within the record, and
// what is read must write back into the record unchanged.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  r7k::fuzz::WriteSeedsIfAsked([] { return r7k::fuzz::BuiltinRecords('S'); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> record(data, size);
  r7k::ValidateSector("S0012", record);
  for (size_t at : {r7k::kSectorFrontReferenceOffset, r7k::kSectorBackReferenceOffset})
    if (at <= size) r7k::ReadPatternReference(record.subspan(at));
  const auto sector = r7k::ReadSectorRecord(record);
  if (!sector) return 0;
  std::vector<uint8_t> copy(data, data + size);
  if (!r7k::WriteSectorRecord(*sector, copy)) __builtin_trap();
  // The interpreted fields round-trip: writing what was read changes no byte that is read.
  const auto again = r7k::ReadSectorRecord(copy);
  if (!again) __builtin_trap();
  std::vector<uint8_t> copy2 = copy;
  if (!r7k::WriteSectorRecord(*again, copy2) || copy2 != copy) __builtin_trap();
  return 0;
}
