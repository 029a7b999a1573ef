#include "cli/box_verify.h"

#include <stdlib.h>

#include <algorithm>
#include <cstdio>

#include "support/file_io.h"

namespace r7k::cli {
namespace {

constexpr size_t kLargestModule = 524288;

}  // namespace

std::optional<size_t> FirstDifference(std::span<const uint8_t> file,
                                      std::span<const uint8_t> module) {
  const size_t common = std::min(file.size(), module.size());
  const auto [at, _] = std::mismatch(file.begin(), file.begin() + common, module.begin());
  if (at != file.begin() + common) return size_t(at - file.begin());
  if (module.size() < file.size()) return module.size();
  return std::nullopt;
}

VerifyResult CompareWithModule(const std::filesystem::path& file,
                               const std::filesystem::path& module_image) {
  const auto written = ReadFileBytes(file, kLargestModule);
  const auto read = ReadFileBytes(module_image, kLargestModule);
  if (!written || !read) return {false, "Verify failed: cannot read " + (written ? module_image : file).string()};
  const auto at = FirstDifference(*written, *read);
  char text[160];
  if (!at) {
    std::snprintf(text, sizeof text, "Verified: the module holds the file's %zu bytes.",
                  written->size());
    return {true, text};
  }
  if (*at >= read->size()) {
    std::snprintf(text, sizeof text, "Verify failed: the module read back ends at 0x%06zX.", *at);
  } else {
    std::snprintf(text, sizeof text,
                  "Verify failed: first difference at address 0x%06zX (file 0x%02X, module 0x%02X).",
                  *at, (*written)[*at], (*read)[*at]);
  }
  return {false, text};
}

ScratchFolder::ScratchFolder() {
  std::error_code ec;
  std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
  if (ec) temp = "/tmp";
  std::string pattern = (temp / "r7k-XXXXXX").string();
  if (mkdtemp(pattern.data())) path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  if (path_.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

}  // namespace r7k::cli
