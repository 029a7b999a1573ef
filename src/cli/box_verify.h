#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Checking what crossed the line. The box's read answers carry no checksum, so a damaged line
// can change a data byte unnoticed; the checks read more than once rather than trust one read.
namespace r7k::cli {

// A write checked by reading the module back, once or more: an address counts as written
// once any read-back shows the file's byte there. A damaged line scatters its changes, while
// a byte the flash failed to take reads wrong every time.
class WriteVerifier {
 public:
  explicit WriteVerifier(std::vector<uint8_t> file);
  // One read-back; an image shorter than the file shows nothing beyond its end.
  void Add(std::span<const uint8_t> module);
  // Addresses no read-back has shown right yet.
  size_t open() const { return open_.size(); }
  bool verified() const { return reads_ > 0 && open_.empty(); }
  // For the user, either way.
  std::string Message() const;

 private:
  std::vector<uint8_t> file_;
  std::vector<size_t> open_;
  std::vector<uint8_t> last_;  // the latest read-back, to show what the module held
  int reads_ = 0;
};

// Three reads of the same module settled byte by byte: the value at least two agree on.
// Nullopt when the lengths differ or at some address all three differ.
std::optional<std::vector<uint8_t>> Settle(std::span<const uint8_t> a, std::span<const uint8_t> b,
                                           std::span<const uint8_t> c);

// How many bytes of two reads differ (a length difference counts every missing byte).
size_t CountDifferences(std::span<const uint8_t> a, std::span<const uint8_t> b);

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
