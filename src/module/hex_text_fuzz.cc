#include <cstddef>
#include <cstdint>
#include <string_view>

#include "module/hex_text.h"
#include "testing/fuzz_seeds.h"

// The hexadecimal text is typed by the user: any text must parse or fail cleanly, and what
// parses must render and parse back to the same bytes.
// Seeds: the hexadecimal text of the first entities, as the hex view shows it.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  r7k::fuzz::WriteSeedsIfAsked([] {
    std::vector<r7k::fuzz::Bytes> seeds;
    for (const r7k::fuzz::Entity& e : r7k::fuzz::BuiltinEntities()) {
      if (seeds.size() == 20) break;
      seeds.push_back(r7k::fuzz::ToBytes(r7k::RenderHexText(e.bytes)));
    }
    return seeds;
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const r7k::ParsedHexText parsed =
      r7k::ParseHexText(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!parsed.ok()) return 0;
  if (parsed.bytes.size() > r7k::kHexParseCapacity) __builtin_trap();
  const std::string again = r7k::RenderHexText(parsed.bytes, parsed.bytes.size());
  if (r7k::ParseHexText(again).bytes != parsed.bytes) __builtin_trap();
  return 0;
}
