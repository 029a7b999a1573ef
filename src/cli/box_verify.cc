#include "cli/box_verify.h"

#include <stdlib.h>

#include <algorithm>
#include <cstdio>

namespace r7k::cli {

WriteVerifier::WriteVerifier(std::vector<uint8_t> file) : file_(std::move(file)) {
  open_.resize(file_.size());
  for (size_t i = 0; i < open_.size(); ++i) open_[i] = i;
}

void WriteVerifier::Add(std::span<const uint8_t> module) {
  ++reads_;
  std::erase_if(open_, [&](size_t at) { return at < module.size() && module[at] == file_[at]; });
  last_.assign(module.begin(), module.end());
}

std::string WriteVerifier::Message() const {
  char text[200];
  if (verified()) {
    std::snprintf(text, sizeof text, "Verified: the module holds the file's %zu bytes.", file_.size());
  } else if (reads_ == 0) {
    std::snprintf(text, sizeof text, "Verify failed: the module was not read back.");
  } else if (const size_t at = open_.front(); at >= last_.size()) {
    std::snprintf(text, sizeof text, "Verify failed: the module read back ends at 0x%06zX.", at);
  } else {
    std::snprintf(text, sizeof text,
                  "Verify failed: %zu byte%s differ%s in every read-back; the first at address "
                  "0x%06zX (file 0x%02X, module 0x%02X).",
                  open_.size(), open_.size() == 1 ? "" : "s", open_.size() == 1 ? "s" : "", at,
                  file_[at], last_[at]);
  }
  return text;
}

std::optional<std::vector<uint8_t>> Settle(std::span<const uint8_t> a, std::span<const uint8_t> b,
                                           std::span<const uint8_t> c) {
  if (a.size() != b.size() || a.size() != c.size()) return std::nullopt;
  std::vector<uint8_t> settled(a.begin(), a.end());
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] == b[i] || a[i] == c[i]) continue;
    if (b[i] != c[i]) return std::nullopt;
    settled[i] = b[i];
  }
  return settled;
}

size_t CountDifferences(std::span<const uint8_t> a, std::span<const uint8_t> b) {
  const size_t common = std::min(a.size(), b.size());
  size_t count = std::max(a.size(), b.size()) - common;
  for (size_t i = 0; i < common; ++i) count += a[i] != b[i];
  return count;
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
