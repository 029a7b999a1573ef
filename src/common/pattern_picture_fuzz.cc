#include <cstddef>
#include <cstdint>
#include <span>

#include "common/sti_bmp.h"
#include "common/sti_picture.h"
#include "module/cut.h"
#include "testing/fuzz_seeds.h"

// A pattern record from a module on its way to a picture file: the cut layout, the stitch
// picture and both forms of the BMP. Each step takes what the previous one made of any bytes.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  r7k::fuzz::WriteSeedsIfAsked([] { return r7k::fuzz::BuiltinRecords('P'); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const r7k::CutFile cut = r7k::ConvertPatternToCut(std::span<const uint8_t>(data, size));
  if (cut.code != 0) {
    if (!cut.bytes.empty()) __builtin_trap();
    return 0;
  }
  auto picture = r7k::RunsToSti(cut.bytes);
  if (!picture) return 0;
  if (!r7k::StiWriteBmp(picture->Block())) __builtin_trap();
  picture->SetKind(r7k::kStiKindFramed);
  if (!r7k::StiWriteBmp(picture->Block())) __builtin_trap();
  return 0;
}
