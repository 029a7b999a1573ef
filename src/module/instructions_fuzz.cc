#include <cstddef>
#include <cstdint>
#include <span>

#include "module/instructions.h"

// Technique records come from modules and entity files of any origin: the header and the
// listing must stay within the record whatever its bytes and length.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> record(data, size);
  r7k::DescribeTechniqueHeader(record);
  const r7k::InstructionListing listing = r7k::DecodeInstructionRows(record);
  if (listing.rows.empty()) __builtin_trap();
  for (const r7k::InstructionRow& row : listing.rows) r7k::FormatInstructionRow(row);
  return 0;
}
