#include "cli/module_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "module/address.h"
#include "support/file_io.h"

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
  return r7k::WriteFileAtomically(std::filesystem::path(path), bytes, &error);
}

}  // namespace r7k::cli
