#pragma once

// Seeds for the fuzz targets, made from the images the program carries instead of being kept
// in the repository. A target calls WriteSeedsIfAsked from LLVMFuzzerInitialize; scripts/fuzz
// runs it once with R7K_FUZZ_SEEDS set to a folder, which it fills and exits.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "module/builtin_images.h"
#include "module/directory.h"

namespace r7k::fuzz {

using Bytes = std::vector<uint8_t>;

struct Entity {
  std::string name;
  Bytes bytes;
};

// Every entity of the built-in ROM images and the demo module, in directory order.
inline std::vector<Entity> BuiltinEntities() {
  std::vector<Entity> out;
  for (std::string_view image_name : BuiltinImageNames()) {
    const std::span<const uint8_t> image = BuiltinImage(image_name);
    const DirectoryResult result = ReadDirectory(image);
    for (const DirectoryEntry& entry : result.directory.entries) {
      if (const auto bytes = EntityBytes(image, entry))
        out.push_back({entry.name, Bytes(bytes->begin(), bytes->end())});
    }
  }
  return out;
}

// The entities whose name begins with `kind` ('P', 'T', 'S', '_').
inline std::vector<Bytes> BuiltinRecords(char kind) {
  std::vector<Bytes> out;
  for (Entity& e : BuiltinEntities())
    if (!e.name.empty() && e.name[0] == kind) out.push_back(std::move(e.bytes));
  return out;
}

inline Bytes ToBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

// `head` followed by `rest`: a selector byte in front of a record.
inline Bytes Prefixed(uint8_t head, const Bytes& rest) {
  Bytes out{head};
  out.insert(out.end(), rest.begin(), rest.end());
  return out;
}

inline void WriteSeedsIfAsked(const std::function<std::vector<Bytes>()>& make) {
  const char* dir = std::getenv("R7K_FUZZ_SEEDS");
  if (dir == nullptr || *dir == '\0') return;
  std::filesystem::create_directories(dir);
  size_t n = 0;
  for (const Bytes& seed : make()) {
    char name[32];
    std::snprintf(name, sizeof name, "seed-%04zu", n++);
    std::ofstream(std::filesystem::path(dir) / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(seed.data()),
               static_cast<std::streamsize>(seed.size()));
  }
  std::exit(0);
}

}  // namespace r7k::fuzz
