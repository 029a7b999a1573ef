#include <cstddef>
#include <cstdint>
#include <span>

#include "module/instructions.h"
#include "testing/fuzz_seeds.h"

// Technique records come from modules and entity files of any origin: the header and the
// listing must stay within the record whatever its bytes and length.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  r7k::fuzz::WriteSeedsIfAsked([] { return r7k::fuzz::BuiltinRecords('T'); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> record(data, size);
  r7k::DescribeTechniqueHeader(record);
  const r7k::InstructionListing listing = r7k::DecodeInstructionRows(record);
  if (listing.rows.empty()) __builtin_trap();
  for (const r7k::InstructionRow& row : listing.rows) r7k::FormatInstructionRow(row);
  // The listing may start anywhere, even past the end (a record cut short before its stream).
  if (size > 0) {
    const r7k::InstructionListing from = r7k::DecodeInstructionRows(record, data[0] % (size + 2));
    if (from.rows.empty()) __builtin_trap();
  }
  return 0;
}
