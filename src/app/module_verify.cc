#include "app/module_verify.h"

#include <algorithm>
#include <cstdio>

namespace r7k {

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
    std::snprintf(text, sizeof text, "Verified: the module holds the file's %zu bytes.",
                  file_.size());
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

bool VerifyWanted(StoreHandle app_store) {
  return StoreGetType(app_store, "Verify") == kItemNone ||
         StoreGetNumeric(app_store, "Verify") != 0;
}

VerifyRun::VerifyRun(std::vector<uint8_t> file)
    : kind(Kind::kReadBack),
      verifier(std::move(file)),
      note("Reading the module back to compare it...") {}

VerifyStep AddRead(VerifyRun& run, std::vector<uint8_t> read) {
  using Next = VerifyStep::Next;
  VerifyStep step;
  if (run.kind == VerifyRun::Kind::kReadBack) {
    // A damaged line can change a byte read back; the bytes still in doubt are read again.
    run.verifier->Add(read);
    ++run.read_backs;
    if (run.verifier->verified()) {
      step.next = Next::kDone;
      step.note = run.verifier->Message();
    } else if (run.read_backs < kReadBacks) {
      step.next = Next::kReadAgain;
      step.note = std::to_string(run.verifier->open()) +
                  " bytes read back differ from the file; reading back again...";
    } else {
      step.failure = run.verifier->Message();
    }
    return step;
  }
  run.reads.push_back(std::move(read));
  switch (run.reads.size()) {
    case 1:
      step.next = Next::kReadAgain;
      step.note = "Reading the module a second time to compare...";
      return step;
    case 2:
      // A damaged line changes bytes here and there: a third read outvotes it.
      if (const size_t differ = CountDifferences(run.reads[0], run.reads[1]); differ > 0) {
        step.next = Next::kReadAgain;
        step.note = "The two reads differ in " + std::to_string(differ) +
                    " bytes; reading a third time to settle them...";
        return step;
      }
      step.next = Next::kDone;
      step.note = "Compared: the two reads agree.";
      step.image = std::move(run.reads[0]);
      return step;
    default:
      if (auto settled = Settle(run.reads[0], run.reads[1], run.reads[2])) {
        step.next = Next::kDone;
        step.note = "Settled: every byte agreed in two of the three reads.";
        step.image = std::move(*settled);
      } else {
        step.failure =
            "The three reads differ at the same byte, so the line damaged data; nothing was "
            "written. Read the module again.";
      }
      return step;
  }
}

}  // namespace r7k
