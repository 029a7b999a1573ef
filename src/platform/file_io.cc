#include "platform/file_io.h"

#include <fstream>

namespace r7k {

// Editing through a link changes the linked file and keeps the link.
std::optional<std::filesystem::path> WriteTarget(std::filesystem::path path) {
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(path, ec)) return path;
    const std::filesystem::path link = std::filesystem::read_symlink(path, ec);
    if (ec) return path;
    path = link.is_absolute() ? link : path.parent_path() / link;
  }
  return std::nullopt;
}

std::optional<std::vector<uint8_t>> ReadFileBytes(const std::filesystem::path& path,
                                                  size_t max_bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<uint8_t> bytes;
  char chunk[65536];
  while (in) {
    in.read(chunk, sizeof chunk);
    const size_t n = static_cast<size_t>(in.gcount());
    if (bytes.size() + n > max_bytes) return std::nullopt;
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  if (in.bad()) return std::nullopt;
  return bytes;
}

}  // namespace r7k
