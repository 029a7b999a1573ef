#include "cli/module_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "module/address.h"

namespace r7k::cli {
namespace {

std::string Format(const char* format, const std::string& path) {
  std::string text = format;
  text.replace(text.find("%s"), 2, path);
  return text;
}

}  // namespace

LoadedModule LoadVirtualModule(const std::string& path) {
  LoadedModule m;
  std::error_code ec;
  const bool exists = std::filesystem::exists(path, ec);
  if (!exists && !ec) {
    m.error = LoadError::kNotFound;
    return m;
  }
  std::ifstream in(path, std::ios::binary);
  const uintmax_t size = std::filesystem::file_size(path, ec);
  if (!in || ec) {
    m.error = LoadError::kNoConversion;
    return m;
  }
  if (!IsImageSize(static_cast<size_t>(size))) {
    m.error = LoadError::kIncorrectSize;
    return m;
  }
  m.image.resize(static_cast<size_t>(size));
  if (!in.read(reinterpret_cast<char*>(m.image.data()), static_cast<std::streamsize>(size))) {
    m.error = LoadError::kNoConversion;
    m.image.clear();
    return m;
  }
  DirectoryResult dir = ReadDirectory(m.image);
  switch (dir.error) {
    case DirectoryError::kNone:
      m.directory = std::move(dir.directory);
      break;
    case DirectoryError::kIncorrectSize:  // the file changed while it was read
      m.error = LoadError::kIncorrectSize;
      break;
    case DirectoryError::kCorrupted:
    case DirectoryError::kNoEndMarker:
      m.error = LoadError::kCorrupted;
      break;
  }
  return m;
}

std::string LoadErrorMessage(LoadError error, const std::string& path) {
  switch (error) {
    case LoadError::kNone:
      return {};
    case LoadError::kNotFound:
      return Format("Cannot load file %s, not found", path);
    case LoadError::kIncorrectSize:
      return Format("Cannot load file %s, incorrect filesize", path);
    case LoadError::kCorrupted:
      return Format(
          "Cannot Load file %s, directory corrupted, please defragment the Memory Module with "
          "the R7000 console.",
          path);
    case LoadError::kNoConversion:
      break;
  }
  return Format("Cannot load file %s; no conversion", path);
}

bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                         std::string& error) {
  const std::filesystem::path target(path);
  if (target.filename().empty()) {
    error = "not a file name";
    return false;
  }
  std::string temp = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = mkstemp(temp.data());
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  bool ok = done == bytes.size() && fsync(fd) == 0;
  if (!ok) error = std::strerror(errno);
  // A replaced file keeps its permissions; a new one gets the usual 0644, not mkstemp's 0600.
  struct stat old {};
  fchmod(fd, stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);
  if (close(fd) != 0 && ok) {
    ok = false;
    error = std::strerror(errno);
  }
  if (ok && std::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    error = std::strerror(errno);
  }
  if (!ok) std::remove(temp.c_str());
  return ok;
}

}  // namespace r7k::cli
