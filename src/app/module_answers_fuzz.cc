#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/box_version.h"
#include "app/flash_chips.h"
#include "app/module_check.h"
#include "app/read_module.h"
#include "module/builtin_images.h"
#include "sim/box_core.h"
#include "testing/fuzz_seeds.h"

// The box's answers come from a serial line: whatever bytes arrive, every examination stays
// within the answer and gives a well-formed result. The first byte chooses the examination
// (and what the check already knows), the rest is the answer.
// Seeds: the simulated box's answers to the check, the version query and the reads.
namespace {

std::vector<r7k::fuzz::Bytes> Seeds() {
  const auto demo = r7k::BuiltinImage("demo");
  std::vector<uint8_t> image(demo.begin(), demo.end());
  image.resize(r7k::FlashImage::kSize, 0xFF);
  auto flash = r7k::FlashImage::FromBytes(image);
  r7k::BoxCore box({}, &*flash);
  std::vector<r7k::fuzz::Bytes> seeds;
  const std::pair<uint8_t, const char*> asked[] = {{0, "version"},
                                                   {0, "model"},
                                                   {0, "bits"},
                                                   {0, "rep 00 00 02"},
                                                   {0, "cd"},
                                                   {0, "id2"},
                                                   {0, "read 00 00 00"},
                                                   {1, "read 00 01 00"},
                                                   {2, "read 00 02 00"},
                                                   {0, "read 10 00 00"},
                                                   {3, "rep 00 00 02"},
                                                   {4, "binread 01 00 00"},
                                                   {5, "read 01 00 00"},
                                                   {6, "id2"}};
  for (const auto& [selector, command] : asked)
    seeds.push_back(r7k::fuzz::Prefixed(selector, r7k::fuzz::ToBytes(box.Execute(command).bytes)));
  return seeds;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  r7k::fuzz::WriteSeedsIfAsked(Seeds);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view answer(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (data[0] % 7) {
    case 0:
    case 1:
    case 2: {
      static const r7k::CheckItems kKnown[] = {{"Present", "Present", ""},
                                               {"Scan 'n Sew 1", "Not Present", ""},
                                               {"Present", "Present", "Viking"}};
      // Texts are parts of the answer or names from the chip table.
      for (const r7k::ItemChange& c : r7k::ExamineCheckAnswer(answer, kKnown[data[0] % 7]))
        if (c.name.empty() || c.text.size() > answer.size() + 32) __builtin_trap();
      break;
    }
    case 3: {
      const auto version = r7k::ExamineVersionAnswer(answer);
      if (version && version->size() > answer.size()) __builtin_trap();
      break;
    }
    case 4:
    case 5: {
      const bool binary = data[0] % 7 == 4;
      const auto bytes = r7k::DecodeReadAnswer(answer, binary);
      const std::size_t needed = binary ? r7k::kBinaryReadAnswerSize : r7k::kTextReadAnswerSize;
      if (bytes && answer.size() < needed) __builtin_trap();
      break;
    }
    default: {
      const auto match = r7k::MatchFlashChip(answer);
      if (match && (match->sector0.size() > 2 || match->card_id > 0xFFFF)) __builtin_trap();
      break;
    }
  }
  const std::string_view cut = r7k::CutAnswer(answer);
  if (cut.size() > answer.size()) __builtin_trap();
  return 0;
}
