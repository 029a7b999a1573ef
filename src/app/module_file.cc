#include "app/module_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "app/strings.h"
#include "module/address.h"

namespace r7k {
namespace {

std::string WithPath(std::string text, const std::string& path) {
  if (const size_t at = text.find("%s"); at != std::string::npos) text.replace(at, 2, path);
  return text;
}

}  // namespace

LoadedModule LoadVirtualModule(const std::string& path) {
  namespace fs = std::filesystem;
  LoadedModule m;
  auto fail = [&](ModuleLoadError error, std::string reason = {}) {
    m.error = error;
    m.reason = std::move(reason);
    if (error != ModuleLoadError::kCorrupted) m.image.clear();
    return std::move(m);
  };
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (status.type() == fs::file_type::not_found) return fail(ModuleLoadError::kNotFound);
  if (status.type() == fs::file_type::directory) return fail(ModuleLoadError::kFolder);
  errno = 0;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                             std::fclose);
  if (!file) return fail(ModuleLoadError::kUnreadable, std::strerror(errno ? errno : EACCES));
  if (ec) return fail(ModuleLoadError::kUnreadable, ec.message());
  const uintmax_t size = fs::file_size(path, ec);
  if (ec) return fail(ModuleLoadError::kNoConversion);
  if (!IsImageSize(static_cast<size_t>(size))) return fail(ModuleLoadError::kIncorrectSize);
  m.image.resize(static_cast<size_t>(size));
  if (std::fread(m.image.data(), 1, m.image.size(), file.get()) != m.image.size())
    return fail(ModuleLoadError::kNoConversion);
  // A file that grew since it was sized is not the image that was measured.
  if (std::fgetc(file.get()) != EOF) return fail(ModuleLoadError::kIncorrectSize);
  DirectoryResult dir = ReadDirectory(m.image);
  switch (dir.error) {
    case DirectoryError::kNone: m.directory = std::move(dir.directory); break;
    case DirectoryError::kIncorrectSize: return fail(ModuleLoadError::kIncorrectSize);
    case DirectoryError::kCorrupted:
    case DirectoryError::kNoEndMarker: return fail(ModuleLoadError::kCorrupted);
  }
  return m;
}

std::string ModuleLoadMessage(const LoadedModule& module, const std::string& path) {
  switch (module.error) {
    case ModuleLoadError::kNone: return {};
    case ModuleLoadError::kNotFound: return WithPath(AppString(kStrLoadNotFound), path);
    case ModuleLoadError::kFolder: return WithPath("Cannot load file %s, it is a folder", path);
    case ModuleLoadError::kUnreadable:
      return WithPath("Cannot load file %s, it cannot be opened: ", path) + module.reason;
    case ModuleLoadError::kIncorrectSize: return WithPath(AppString(kStrLoadIncorrectSize), path);
    case ModuleLoadError::kCorrupted: return WithPath(AppString(kStrLoadCorrupted), path);
    case ModuleLoadError::kNoConversion: break;
  }
  return WithPath(AppString(kStrLoadNoConversion), path);
}

}  // namespace r7k
