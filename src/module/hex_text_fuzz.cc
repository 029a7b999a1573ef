#include <cstddef>
#include <cstdint>
#include <string_view>

#include "module/hex_text.h"

// The hexadecimal text is typed by the user: any text must parse or fail cleanly, and what
// parses must render and parse back to the same bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const r7k::ParsedHexText parsed =
      r7k::ParseHexText(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!parsed.ok()) return 0;
  if (parsed.bytes.size() > r7k::kHexParseCapacity) __builtin_trap();
  const std::string again = r7k::RenderHexText(parsed.bytes, parsed.bytes.size());
  if (r7k::ParseHexText(again).bytes != parsed.bytes) __builtin_trap();
  return 0;
}
