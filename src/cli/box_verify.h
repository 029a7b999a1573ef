#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

// Checking a written module: the file against what was read back from the box.
namespace r7k::cli {

// The first address where the module image differs from the file, over the file's length
// (what the module holds beyond it was not written); nullopt when they agree. A module image
// shorter than the file differs where it ends.
std::optional<size_t> FirstDifference(std::span<const uint8_t> file, std::span<const uint8_t> module);

struct VerifyResult {
  bool equal = false;
  std::string message;  // for the user, either way
};
VerifyResult CompareWithModule(const std::filesystem::path& file,
                               const std::filesystem::path& module_image);

// A private folder in the temporary-files folder, removed with everything in it at the end.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  bool ok() const { return !path_.empty(); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace r7k::cli
