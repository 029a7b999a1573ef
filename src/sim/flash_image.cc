#include "sim/flash_image.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

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
  std::filesystem::path temp = path;
  temp += ".tmp";
  auto fail = [&](const char* step) {
    if (error) *error = std::string("Cannot save image ") + path.string() + " (" + step + "): " +
                        std::strerror(errno);
    ::unlink(temp.c_str());
    return false;
  };
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return fail("create");
  size_t done = 0;
  while (done < bytes_.size()) {
    ssize_t n = ::write(fd, bytes_.data() + done, bytes_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::close(fd);
      return fail("write");
    }
    done += size_t(n);
  }
  if (::fsync(fd) != 0) {
    ::close(fd);
    return fail("flush");
  }
  if (::close(fd) != 0) return fail("close");
  if (::rename(temp.c_str(), path.c_str()) != 0) return fail("rename");
  return true;
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
