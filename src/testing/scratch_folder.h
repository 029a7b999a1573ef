#pragma once

// A new folder of a test's own, removed with everything in it at the end.

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/file_io.h"

namespace r7k {

class ScratchDir {
 public:
  explicit ScratchDir(std::string_view prefix = "r7k-test-") : path_(MakeScratchFolder(prefix)) {}
  ~ScratchDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace r7k
