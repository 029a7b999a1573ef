#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace r7k {

// The flash chip of the simulated module: erasing sets every byte to 0xFF, programming can only
// clear bits (the new byte is the old one AND the programmed one), as on a real 29F040.
class FlashImage {
 public:
  static constexpr size_t kSize = 524288;

  FlashImage();  // erased
  // Takes an image of exactly kSize bytes; anything else gives nullopt.
  static std::optional<FlashImage> FromBytes(std::vector<uint8_t> bytes);
  // Reads an image file; fills *error with a text for the user when it is missing or of the
  // wrong size.
  static std::optional<FlashImage> Load(const std::filesystem::path& path, std::string* error);
  // Replaces the file atomically (written beside it, flushed, renamed).
  bool Save(const std::filesystem::path& path, std::string* error) const;

  void Erase();
  // False, changing nothing, when the range leaves the chip.
  bool Program(uint32_t address, std::span<const uint8_t> data);
  // Empty when the range leaves the chip.
  std::span<const uint8_t> Read(uint32_t address, size_t count) const;
  static bool InRange(uint32_t address, size_t count) {
    return address <= kSize && count <= kSize - address;
  }

  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace r7k
