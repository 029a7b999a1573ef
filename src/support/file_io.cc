#include "support/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace r7k {

bool WriteFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                         std::string* error) {
  auto fail = [&](int code) {
    if (error) *error = std::strerror(code);
    return false;
  };
  if (path.filename().empty()) {
    if (error) *error = "not a file name";
    return false;
  }
  // A hidden name beside the target, so the rename stays on one file system.
  std::string temp = (path.parent_path() / ("." + path.filename().string() + ".XXXXXX")).string();
  const int fd = mkstemp(temp.data());
  if (fd < 0) return fail(errno);
  // mkstemp makes the file private; keep the mode of the file being replaced instead.
  struct stat old {};
  const mode_t mode = stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  int code = fchmod(fd, mode) == 0 ? 0 : errno;
  size_t done = 0;
  while (code == 0 && done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      code = n < 0 ? errno : EIO;
    else
      done += static_cast<size_t>(n);
  }
  if (code == 0 && fsync(fd) != 0) code = errno;
  if (close(fd) != 0 && code == 0) code = errno;
  if (code == 0 && std::rename(temp.c_str(), path.c_str()) != 0) code = errno;
  if (code != 0) {
    unlink(temp.c_str());
    return fail(code);
  }
  return true;
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
