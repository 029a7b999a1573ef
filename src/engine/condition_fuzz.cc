#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/condition.h"
#include "testing/fuzz_seeds.h"

// Conditions come from dialog scripts, and their names read items the user typed: any text
// must give a value or an error, never both, never a crash.
namespace {

std::optional<r7k::ConditionValue> Lookup(std::string_view name) {
  // Built in place: GCC's sanitizer build warns falsely about a variant moved into an optional.
  std::optional<r7k::ConditionValue> value;
  if (name == "_tag") {
    value.emplace(std::in_place_type<std::string>, "P2000");
  } else if (name == "moduleversion") {
    value.emplace(std::in_place_type<std::string>, "-9223372036854775808");
  } else if (!name.empty() && (name[0] == 'f' || name[0] == 'n')) {
    value.emplace(std::in_place_type<std::int64_t>, -1);
  }
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  r7k::fuzz::WriteSeedsIfAsked([] {
    std::vector<r7k::fuzz::Bytes> seeds;
    for (const char* text :
         {"strlen(_tag) < 8", "strlen(_tag) == 5",
          "(_tag > 20) && ((_tag % 10) == 1) && (_tag < 202)",
          "cond((strlen(moduleversion) <= 0),_a_greyed,_a_full)",
          "cond((fReadOnly != 0),_a_greyed,_a_full)", "cond((truncated == 1),_a_readonly,_a_full)",
          "!(nCount * 3 - -2 / 1) || \"12ab\" >= moduleversion % 7"})
      seeds.push_back(r7k::fuzz::ToBytes(text));
    return seeds;
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const r7k::ConditionResult result = r7k::EvaluateCondition(text, Lookup);
  if (result.value.has_value() == !result.error.empty()) __builtin_trap();
  if (result.value) r7k::ConditionTruth(*result.value);
  return 0;
}
