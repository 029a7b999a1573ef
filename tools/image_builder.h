#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Lays out a virtual module image: a directory region at `base` and entities back to back
// from `data_start`, every byte not written left 0xFF as in erased flash.
namespace r7k::gen {

class ImageBuilder {
 public:
  // `marker` is the upper nibble written into the first byte of every banked address.
  ImageBuilder(size_t size, uint32_t base, uint32_t data_start, uint8_t marker);

  // Appends an entity; returns its directory index. Fails (exits) when it does not fit.
  size_t Add(std::string_view name, std::span<const uint8_t> data, uint8_t state = 0xFC);

  size_t entries() const { return entries_; }
  uint32_t data_end() const { return cursor_; }
  const std::vector<uint8_t>& bytes() const { return image_; }

 private:
  void PutAddress(size_t pos, uint32_t offset);

  std::vector<uint8_t> image_;
  uint32_t base_;
  uint8_t marker_;
  uint32_t cursor_;
  size_t entries_ = 0;
};

}  // namespace r7k::gen
