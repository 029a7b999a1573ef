// The file-side work a user waits for: loading the directory of a 524,288-byte module from its
// file, drawing every pattern of both ROM images as a picture file, decoding the instruction
// listing of every technique the program carries, and counting the colours of a huge picture.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/directory_view.h"
#include "app/techniques.h"
#include "common/picture_cells.h"
#include "common/sti_bmp.h"
#include "common/sti_picture.h"
#include "module/builtin_images.h"
#include "module/cut.h"
#include "module/directory.h"
#include "store/item_store.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The records whose name begins with `kind` in the named images.
std::vector<Bytes> Records(char kind, std::initializer_list<const char*> images) {
  std::vector<Bytes> out;
  for (const char* name : images) {
    const auto image = r7k::BuiltinImage(name);
    for (const r7k::DirectoryEntry& e : r7k::ReadDirectory(image).directory.entries)
      if (e.name[0] == kind)
        if (const auto bytes = r7k::EntityBytes(image, e))
          out.emplace_back(bytes->begin(), bytes->end());
  }
  return out;
}

// The demo module's file read, its directory walked and the "Directory" table built.
void LoadDirectoryOfDemoModule(benchmark::State& state) {
  const auto path = std::filesystem::temp_directory_path() / "r7k-bench-demo.r7v";
  const auto image = r7k::BuiltinImage("demo");
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()),
             static_cast<std::streamsize>(image.size()));
  r7k::StoreHandle app = r7k::StoreOpen("bench:Perm");
  r7k::StoreSetString(app, "CurrentVirtualModule", path.string());
  for (auto _ : state) {
    if (!r7k::LoadDirectory(0, app)) state.SkipWithError("the demo module does not load");
  }
  state.counters["entries"] =
      static_cast<double>(r7k::ReadDirectory(image).directory.entries.size());
  r7k::StoreClose(app);
  std::filesystem::remove(path);
}
BENCHMARK(LoadDirectoryOfDemoModule)->Unit(benchmark::kMicrosecond);

// Every ROM pattern: cut layout, stitch picture, BMP file bytes.
void RenderEveryRomPattern(benchmark::State& state) {
  const std::vector<Bytes> patterns = Records('P', {"R7kRom", "R7kRomx"});
  size_t bytes = 0;
  for (auto _ : state) {
    for (const Bytes& record : patterns) {
      const auto picture = r7k::RunsToSti(r7k::ConvertPatternToCut(record).bytes);
      if (!picture) continue;
      const auto bmp = r7k::StiWriteBmp(picture->Block());
      bytes += bmp ? bmp->size() : 0;
    }
  }
  state.counters["patterns"] = static_cast<double>(patterns.size());
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * patterns.size()));
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(RenderEveryRomPattern)->Unit(benchmark::kMillisecond);

// Every technique of the ROM images and the demo module into the "Instructions" table.
void DecodeEveryTechnique(benchmark::State& state) {
  const std::vector<Bytes> techniques = Records('T', {"R7kRom", "R7kRomx", "demo"});
  r7k::StoreHandle app = r7k::StoreOpen("bench:Perm");
  for (auto _ : state) {
    for (const Bytes& record : techniques) r7k::DecodeInstructions(app, record);
  }
  state.counters["techniques"] = static_cast<double>(techniques.size());
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * techniques.size()));
  r7k::StoreClose(app);
}
BENCHMARK(DecodeEveryTechnique)->Unit(benchmark::kMillisecond);

// A 4000 x 4000 picture whose top half has four colours and whose bottom half has a colour of
// its own at nearly every pixel, as import-image meets it: refused at its fifth colour, half-way
// down (argument 0), or its four most frequent colours found and every pixel given the nearest
// (argument 1, --reduce).
void CountTheColoursOfAHugePicture(benchmark::State& state) {
  r7k::RgbPicture picture;
  picture.width = picture.height = 4000;
  picture.pixels.resize(size_t{picture.width} * picture.height);
  const size_t half = picture.pixels.size() / 2;
  for (size_t i = 0; i < picture.pixels.size(); ++i)
    picture.pixels[i] = i < half ? static_cast<uint32_t>(i % 4) * 0x404040
                                 : static_cast<uint32_t>(i * 2654435761u) & 0xFFFFFF;
  const bool reduce = state.range(0) != 0;
  for (auto _ : state) {
    const auto cells = r7k::PictureToCells(picture, reduce);
    if (cells.cells.has_value() != reduce) state.SkipWithError("unexpected result");
    benchmark::DoNotOptimize(cells);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * picture.pixels.size()));
}
BENCHMARK(CountTheColoursOfAHugePicture)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
