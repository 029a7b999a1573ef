#include <cstddef>
#include <cstdint>
#include <span>

#include "common/dib.h"
#include "common/sti_bmp.h"
#include "module/cut.h"
#include "testing/fuzz_seeds.h"

// Picture files on dialogs are whatever the user points at: any bytes must read or be
// refused, and a read image holds exactly its pixels.
// Seeds: picture files of a few patterns the program carries, plain and framed.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  r7k::fuzz::WriteSeedsIfAsked([] {
    std::vector<r7k::fuzz::Bytes> seeds;
    for (const r7k::fuzz::Bytes& record : r7k::fuzz::BuiltinRecords('P')) {
      if (seeds.size() >= 8) break;
      auto picture = r7k::RunsToSti(r7k::ConvertPatternToCut(record).bytes);
      if (!picture) continue;
      if (auto bmp = r7k::StiWriteBmp(picture->Block())) seeds.push_back(std::move(*bmp));
      picture->SetKind(r7k::kStiKindFramed);
      if (auto bmp = r7k::StiWriteBmp(picture->Block())) seeds.push_back(std::move(*bmp));
    }
    return seeds;
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto image = r7k::DibReadBytes(std::span<const uint8_t>(data, size));
  if (image && image->pixels.size() != size_t{image->width} * image->height) __builtin_trap();
  return 0;
}
