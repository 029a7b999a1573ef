#include <cstddef>
#include <cstdint>
#include <span>

#include "common/sti_bmp.h"
#include "common/sti_picture.h"
#include "module/cut.h"
#include "testing/fuzz_seeds.h"

// Cut layouts come from module bytes: any input must decode or fail cleanly, and a decoded
// picture must draw in both forms with the sizes its rows and stitches promise.
// Seeds: the cut layouts of the patterns the program carries.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  r7k::fuzz::WriteSeedsIfAsked([] {
    std::vector<r7k::fuzz::Bytes> seeds;
    for (const r7k::fuzz::Bytes& record : r7k::fuzz::BuiltinRecords('P')) {
      r7k::CutFile cut = r7k::ConvertPatternToCut(record);
      if (cut.code == 0) seeds.push_back(std::move(cut.bytes));
    }
    return seeds;
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto picture = r7k::RunsToSti(std::span<const uint8_t>(data, size));
  if (!picture) return 0;
  const auto bmp = r7k::StiWriteBmp(picture->Block());
  const uint32_t s = r7k::StiCellSize(picture->Rows(), picture->Stitches());
  if (!bmp || bmp->size() <
                  r7k::kStiBmpPixelOffset + size_t{picture->Rows()} * s * picture->Stitches() * s) {
    __builtin_trap();
  }
  picture->SetKind(r7k::kStiKindFramed);
  const auto framed = r7k::StiWriteBmp(picture->Block());
  if (!framed || framed->size() != r7k::kStiBmpPixelOffset + 64 * (size_t{picture->Rows()} + 2) *
                                                                 (picture->Stitches() + 2)) {
    __builtin_trap();
  }
  return 0;
}
