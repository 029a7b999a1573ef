// Generates the built-in images at build time: the two ROM images "R7kRom" and "R7kRomx"
// (ROM layout: directory at 0, data from 0x8000) and the demo module (directory at
// 0x10000). The output is deterministic, so every build embeds the same bytes.
//
// Usage: r7k_imagegen OUTPUT_DIR   writes R7kRom.r7v, R7kRomx.r7v, demo.r7v and
//                                  builtin_images_digest.h into OUTPUT_DIR.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gen_random.h"
#include "image_builder.h"
#include "module/address.h"
#include "module/builtin_records.h"
#include "module/directory.h"
#include "module/sector.h"
#include "module/validate.h"
#include "pattern_gen.h"
#include "technique_gen.h"

namespace r7k::gen {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kRomTechniques = 240;
constexpr int kRomxTechniques = 234;
constexpr unsigned kRomLastPattern = 2283;
constexpr unsigned kRomxLastPattern = 2296;
constexpr unsigned kHighestTechnique = 550;

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "image generator: %s\n", what.c_str());
  std::exit(1);
}

std::string Name(char kind, unsigned number) {
  char name[8];
  std::snprintf(name, sizeof name, "%c%04u", kind, number % 10000);
  return name;
}

Bytes Technique(unsigned number) {
  if (number == 1) return Bytes(kTechniqueT0001.begin(), kTechniqueT0001.end());
  Random rng(0x7EC40000u + number);
  return MakeTechnique(static_cast<uint16_t>(number), rng);
}

Bytes Pattern(unsigned number) {
  if (number == 2000) return Bytes(kPatternP2000.begin(), kPatternP2000.end());
  return MakePattern(number).record;
}

// Technique numbers of the two ROM images: T0001 leads both; the others are 2..550 with a
// few gaps, the lower ones in "R7kRom" and the higher ones in "R7kRomx".
void TechniqueNumbers(std::vector<unsigned>* rom, std::vector<unsigned>* romx) {
  std::vector<unsigned> numbers;
  for (unsigned n = 2; n <= kHighestTechnique; ++n) numbers.push_back(n);
  Random rng(0x6A95);
  const size_t keep = kRomTechniques - 1 + kRomxTechniques - 1;
  while (numbers.size() > keep) numbers.erase(numbers.begin() + rng.Next() % numbers.size());
  *rom = {1};
  *romx = {1};
  rom->insert(rom->end(), numbers.begin(), numbers.begin() + kRomTechniques - 1);
  romx->insert(romx->end(), numbers.begin() + kRomTechniques - 1, numbers.end());
}

Bytes RomImage(const std::vector<unsigned>& techniques, unsigned last_pattern) {
  ImageBuilder image(kRomImageSize, 0, 0x8000, 0x4);
  for (unsigned n : techniques) image.Add(Name('T', n), Technique(n));
  for (unsigned n = 2000; n <= last_pattern; ++n) image.Add(Name('P', n), Pattern(n));
  return image.bytes();
}

// The machine text records of the demo module.
Bytes TextRecord(int which) {
  switch (which) {
    case 0:  // model 3, 200 needles, motor 2 at 90 %
      return {3, 0, 0x00, 0xC8, 1, 2, 6, 0, 1, 0, 0, 0, 0, 0, 0, 0};
    case 1:  // error preventing on
      return {1, 0};
    case 2:  // motor edges A = 100, B = 250
      return {0x00, 0x64, 0x00, 0xFA};
    case 5: {  // carriage edges in both directions and the stop position
      Bytes r(96, 0);
      const uint16_t values[] = {0, 0, 110, 240, 112, 238};
      for (int i = 2; i < 6; ++i) {
        r[2 * i] = static_cast<uint8_t>(values[i] >> 8);
        r[2 * i + 1] = static_cast<uint8_t>(values[i]);
      }
      r[92] = 0x00;
      r[93] = 180;
      return r;
    }
    default: return {static_cast<uint8_t>(which), 0, 0, 1, 0, 0, 0, 0};
  }
}

struct ModulePattern {
  unsigned number;
  size_t index;
  uint8_t colours;
  PatternGrid grid;
};

PatternReference Reference(uint8_t source, uint16_t index, unsigned number, uint8_t colours,
                           const PatternGrid& grid) {
  PatternReference ref;
  ref.source = source;
  ref.name_number = static_cast<uint16_t>(number);
  ref.source_number = source == kSourceRom ? 1 : 0;
  ref.index = index;
  ref.name = Name('P', number);
  ref.colours = colours;
  ref.width = grid.width;
  ref.rows = grid.rows;
  return ref;
}

// A reference to a built-in pattern: its index in the first ROM image that holds it at the
// index the console uses (R7kRom, else R7kRomx).
PatternReference RomReference(const std::vector<unsigned>& rom_techniques,
                              const std::vector<unsigned>& romx_techniques, unsigned number) {
  const size_t index = number <= kRomLastPattern ? rom_techniques.size() + (number - 2000)
                                                 : romx_techniques.size() + (number - 2000);
  const GeneratedPattern p =
      number == 2000 ? GeneratedPattern{1, *DecodePattern(kPatternP2000), {}} : MakePattern(number);
  return Reference(kSourceRom, static_cast<uint16_t>(index), number, p.colours, p.grid);
}

Bytes Sector(unsigned number, const Bytes& technique, uint8_t technique_source,
             const PatternReference& front, const PatternReference& back, Random& rng) {
  SectorRecord s;
  s.number = static_cast<uint16_t>(number);
  s.colours = std::max<uint8_t>(front.empty ? 1 : front.colours, back.empty ? 1 : back.colours);
  for (int i = 0; i < 4; ++i) {
    s.feeders[i] = static_cast<uint8_t>(i < s.colours ? i + 1 : 0);
    s.feeder_colours[i] = static_cast<uint8_t>(i < s.colours ? rng.Between(1, 8) : 0);
  }
  s.invert = rng.Chance(30);
  auto repeats = [&](const PatternReference& ref) {
    return ref.empty ? SideRepeats{}
                     : SideRepeats{uint16_t(rng.Between(1, 6)), uint16_t(rng.Between(1, 6)),
                                   uint16_t(rng.Between(0, 1))};
  };
  s.front_repeats = repeats(front);
  s.back_repeats = repeats(back);
  std::copy(technique.begin(), technique.end(), s.technique.begin());
  s.technique_source = technique_source;
  s.technique_number = static_cast<uint16_t>(technique[1] << 8 | technique[2]);
  s.front = front;
  s.back = back;
  Bytes record(360, 0);
  WriteSectorRecord(s, record);
  if (ValidateSector(Name('S', number), record) != kValidOk) {
    Fail("sector " + Name('S', number) + " does not validate");
  }
  return record;
}

Bytes DemoImage(const std::vector<unsigned>& rom_techniques,
                const std::vector<unsigned>& romx_techniques) {
  ImageBuilder image(kModuleImageSize, kModuleDirectoryBase, 0x18000, 0x8);
  for (int i = 0; i <= 6; ++i) image.Add(Name('_', i), TextRecord(i));

  const unsigned techniques[] = {20, 31, 45, 102, 250};
  std::vector<Bytes> technique_records;
  for (unsigned n : techniques) {
    technique_records.push_back(Technique(n));
    image.Add(Name('T', n), technique_records.back());
  }

  std::vector<ModulePattern> patterns;
  auto add_pattern = [&](unsigned number, uint8_t colours, PatternGrid grid, uint8_t state) {
    const auto record = EncodePattern(colours, grid);
    if (!record) Fail("demo pattern does not encode");
    const size_t index = image.Add(Name('P', number), *record, state);
    patterns.push_back({number, index, colours, std::move(grid)});
  };
  auto generated = [&](unsigned number, uint8_t state = kEntryValid) {
    GeneratedPattern p = MakePattern(number);
    add_pattern(number, p.colours, std::move(p.grid), state);
  };
  add_pattern(3000, 2, WordGrid("R7000", 2, 2, 1), kEntryValid);
  generated(3001);
  generated(3002, kEntryDeleted);  // deleted, but it keeps its space
  generated(3100);
  add_pattern(4000, 1, WordGrid("KNIT", 3, 3, 7), kEntryValid);
  generated(4001);
  generated(5000);
  generated(5123);
  generated(6000);
  auto mod = [&](unsigned number) {
    for (const ModulePattern& p : patterns) {
      if (p.number == number) {
        return Reference(kSourceModule, uint16_t(p.index), number, p.colours, p.grid);
      }
    }
    Fail("no demo pattern " + std::to_string(number));
  };
  auto rom = [&](unsigned number) { return RomReference(rom_techniques, romx_techniques, number); };
  PatternReference none;
  none.empty = true;

  Random rng(0x5EC7);
  const Bytes t0001(kTechniqueT0001.begin(), kTechniqueT0001.end());
  image.Add("S0001", Sector(1, technique_records[0], kSourceModule, mod(3000), rom(2005), rng));
  image.Add("S0002", Sector(2, t0001, kSourceRom, rom(2010), mod(3001), rng));
  image.Add("S0003", Sector(3, technique_records[1], kSourceModule, mod(4000), none, rng));
  image.Add("S0004", Sector(4, technique_records[2], kSourceModule, rom(2290), mod(5000), rng));
  image.Add("S0005", Sector(5, technique_records[3], kSourceModule, mod(6000), rom(2100), rng));
  image.Add("S0012", Sector(12, technique_records[4], kSourceModule, mod(5123), mod(4001), rng));
  return image.bytes();
}

void Check(const Bytes& image, size_t entries, size_t end_marker, const char* name) {
  const DirectoryResult dir = ReadDirectory(image);
  if (dir.error != DirectoryError::kNone || dir.directory.entries.size() != entries ||
      (end_marker != 0 && dir.directory.end_marker_offset != end_marker)) {
    Fail(std::string(name) + ": directory is not as it should be");
  }
}

uint64_t Fnv1a(const std::vector<const Bytes*>& images) {
  uint64_t h = 0xCBF29CE484222325ull;
  for (const Bytes* image : images) {
    for (uint8_t b : *image) h = (h ^ b) * 0x100000001B3ull;
  }
  return h;
}

void Write(const std::filesystem::path& path, const void* data, size_t size) {
  const std::filesystem::path temp = path.string() + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out.flush()) Fail("cannot write " + temp.string());
  }
  std::filesystem::rename(temp, path);
}

}  // namespace
}  // namespace r7k::gen

int main(int argc, char** argv) {
  using namespace r7k::gen;
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::filesystem::create_directories(dir);

  std::vector<unsigned> rom_techniques, romx_techniques;
  TechniqueNumbers(&rom_techniques, &romx_techniques);
  const Bytes rom = RomImage(rom_techniques, kRomLastPattern);
  const Bytes romx = RomImage(romx_techniques, kRomxLastPattern);
  const Bytes demo = DemoImage(rom_techniques, romx_techniques);
  Check(rom, 524, 0x1910, "R7kRom");
  Check(romx, 531, 0x1964, "R7kRomx");
  Check(demo, 27, 0, "demo");

  Write(dir / "R7kRom.r7v", rom.data(), rom.size());
  Write(dir / "R7kRomx.r7v", romx.data(), romx.size());
  Write(dir / "demo.r7v", demo.data(), demo.size());
  // The digest makes the embedding source change whenever the images do, so no compiler
  // cache can hand back an object with old image bytes.
  char header[160];
  const int n = std::snprintf(header, sizeof header,
                              "#pragma once\n// Generated by r7k_imagegen.\n"
                              "#define R7K_BUILTIN_IMAGES_DIGEST \"%016llx\"\n",
                              static_cast<unsigned long long>(Fnv1a({&rom, &romx, &demo})));
  Write(dir / "builtin_images_digest.h", header, static_cast<size_t>(n));
  return 0;
}
