#include <cstddef>
#include <cstdint>
#include <span>

#include "module/text_records.h"

// The first byte picks the record, the rest is its content: any length and any values.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static constexpr const char* kNames[] = {"_0000", "_0001", "_0002", "_0005", "_0003"};
  const char* name = kNames[data[0] % 5];
  r7k::TextRecordText(name, std::span<const uint8_t>(data + 1, size - 1));
  return 0;
}
