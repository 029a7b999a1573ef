#include <cstddef>
#include <cstdint>
#include <span>

#include "module/cut.h"
#include "module/pattern.h"
#include "module/sector.h"
#include "module/technique.h"
#include "module/validate.h"
#include "testing/fuzz_seeds.h"

// Every record reader on any bytes of any length: none may read outside the record.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  r7k::fuzz::WriteSeedsIfAsked([] {
    std::vector<r7k::fuzz::Bytes> seeds;
    for (r7k::fuzz::Entity& e : r7k::fuzz::BuiltinEntities()) seeds.push_back(std::move(e.bytes));
    return seeds;
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> record(data, size);
  for (const char* name : {"P3000", "T0001", "S0012", "S", "_0000"}) {
    r7k::ValidateEntity(name, record);
  }
  r7k::ConvertPatternToCut(record);
  r7k::DecodePattern(record);
  r7k::ReadTechniqueLayout(record);
  r7k::ListInstructions(record, size > 0 ? data[0] : 0);
  r7k::ReadSectorRecord(record);
  r7k::ReadPatternReference(record);
  return 0;
}
