#include "sim/flash_image.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "platform/file_io.h"

namespace r7k {

FlashImage::FlashImage() : bytes_(kSize, 0xFF) {}

std::optional<FlashImage> FlashImage::FromBytes(std::vector<uint8_t> bytes) {
  if (bytes.size() != kSize) return std::nullopt;
  FlashImage image;
  image.bytes_ = std::move(bytes);
  return image;
}

std::optional<FlashImage> FlashImage::Load(const std::filesystem::path& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = "Cannot read image " + path.string() + ": " + std::strerror(errno);
    return std::nullopt;
  }
  std::vector<uint8_t> bytes(kSize + 1);
  in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
  bytes.resize(size_t(in.gcount()));
  if (bytes.size() != kSize) {
    if (error) {
      *error = "Image " + path.string() + " is not a module image of " + std::to_string(kSize) +
               " bytes";
    }
    return std::nullopt;
  }
  return FromBytes(std::move(bytes));
}

bool FlashImage::Save(const std::filesystem::path& path, std::string* error) const {
  std::string why;
  if (WriteFileAtomically(path, bytes_, &why)) return true;
  if (error) *error = "Cannot save image " + path.string() + ": " + why;
  return false;
}

void FlashImage::Erase() { std::fill(bytes_.begin(), bytes_.end(), 0xFF); }

bool FlashImage::Program(uint32_t address, std::span<const uint8_t> data) {
  if (!InRange(address, data.size())) return false;
  for (size_t i = 0; i < data.size(); ++i) bytes_[address + i] &= data[i];
  return true;
}

std::span<const uint8_t> FlashImage::Read(uint32_t address, size_t count) const {
  if (!InRange(address, count)) return {};
  return std::span(bytes_).subspan(address, count);
}

}  // namespace r7k
