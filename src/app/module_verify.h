#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "store/item_store.h"

// Checking what crossed the line. The box's read answers carry no checksum, so a damaged line
// can change a data byte unnoticed; the checks read more than once rather than trust one read.
namespace r7k {

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

// Whether reads and writes are verified: the item "Verify" (the saved setting, or r7k's
// --no-verify); a missing item means yes.
bool VerifyWanted(StoreHandle app_store);

// Reads back after a write before a byte that reads wrong counts as not written.
inline constexpr int kReadBacks = 3;

// The passes of a verified Upload (read, read again to compare, a third time to settle), or the
// read-back of a verified Download. The read's handler field keeps it across its passes.
struct VerifyRun {
  enum class Kind { kSettle, kReadBack };
  explicit VerifyRun(Kind kind_of) : kind(kind_of) {}
  // A read-back of a write of `file`.
  explicit VerifyRun(std::vector<uint8_t> file);

  Kind kind;
  std::vector<std::vector<uint8_t>> reads;  // kSettle: the reads so far
  std::optional<WriteVerifier> verifier;    // kReadBack
  int read_backs = 0;
  std::string note;  // what the coming read is for, in words for the user
};

// What a verified read does after one more pass.
struct VerifyStep {
  enum class Next { kReadAgain, kDone, kFailed };
  Next next = Next::kFailed;
  std::string note;            // kReadAgain: the next read's purpose; kDone: the outcome
  std::string failure;         // kFailed: why, for the user
  std::vector<uint8_t> image;  // kSettle and kDone: the bytes to keep
};
VerifyStep AddRead(VerifyRun& run, std::vector<uint8_t> read);

}  // namespace r7k
