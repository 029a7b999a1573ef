#include "module/module_diff.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <utility>

#include "module/pattern.h"

namespace r7k {
namespace {

// The byte ranges [start, end) that reported entries explain, and every entity's data.
using Spans = std::vector<std::pair<size_t, size_t>>;

void CoverData(Spans& covered, const Directory* dir) {
  if (!dir) return;
  for (const DirectoryEntry& e : dir->entries)
    if (e.start < e.end) covered.emplace_back(e.start, e.end);
}

void CoverSlot(Spans& covered, const Directory* dir, const DirectoryEntry& e) {
  const size_t at = EntryOffset(dir->base, e.index);
  covered.emplace_back(at, at + kDirectoryEntrySize);
}

// The cells of two patterns that differ, the two laid on each other from row 0 and stitch 0.
void CompareCells(EntryDifference& d, std::span<const uint8_t> a, std::span<const uint8_t> b) {
  const auto ga = DecodePattern(a);
  const auto gb = DecodePattern(b);
  if (!ga || !gb) return;
  const size_t rows = std::min(ga->rows, gb->rows);
  const size_t width = std::min(ga->width, gb->width);
  const uint64_t overlap = uint64_t{rows} * width;
  uint64_t differing =
      uint64_t{ga->rows} * ga->width - overlap + uint64_t{gb->rows} * gb->width - overlap;
  for (size_t r = 0; r < rows; ++r)
    for (size_t c = 0; c < width; ++c) differing += ga->At(c, r) != gb->At(c, r);
  d.cells_differing = differing;
  d.width_a = ga->width;
  d.rows_a = ga->rows;
  d.width_b = gb->width;
  d.rows_b = gb->rows;
}

// The difference between two entries of the same name and state; nothing when they are the
// same bytes at the same place.
std::optional<EntryDifference> CompareEntries(std::span<const uint8_t> a, const DirectoryEntry& ea,
                                              std::span<const uint8_t> b,
                                              const DirectoryEntry& eb) {
  EntryDifference d;
  d.a = ea;
  d.b = eb;
  const auto ba = EntityBytes(a, ea);
  const auto bb = EntityBytes(b, eb);
  const bool same_place = ea.start == eb.start && ea.end == eb.end;
  if (ba && bb && std::ranges::equal(*ba, *bb)) {
    if (same_place) return std::nullopt;
    d.change = EntryChange::kMoved;
    return d;
  }
  if (!ba && !bb && same_place) return std::nullopt;
  d.change = EntryChange::kChanged;
  const std::span<const uint8_t> ra = ba.value_or(std::span<const uint8_t>());
  const std::span<const uint8_t> rb = bb.value_or(std::span<const uint8_t>());
  const size_t common = std::min(ra.size(), rb.size());
  d.bytes_differing = std::max(ra.size(), rb.size()) - common;
  for (size_t i = 0; i < common; ++i) d.bytes_differing += ra[i] != rb[i];
  if (ba && bb && ea.name.starts_with('P')) CompareCells(d, ra, rb);
  return d;
}

// The first offset from `at` on where the images differ, or `end`; equal blocks are passed
// whole.
size_t NextDifference(std::span<const uint8_t> a, std::span<const uint8_t> b, size_t at,
                      size_t end) {
  constexpr size_t kBlock = 4096;
  while (at < end) {
    const size_t n = std::min(kBlock, end - at);
    if (std::memcmp(a.data() + at, b.data() + at, n) != 0) {
      while (a[at] == b[at]) ++at;
      return at;
    }
    at += n;
  }
  return end;
}

EntryDifference OnlyIn(EntryChange change, const DirectoryEntry& e) {
  EntryDifference d;
  d.change = change;
  (change == EntryChange::kOnlyInA ? d.a : d.b) = e;
  return d;
}

struct Areas {
  size_t size_a = 0, size_b = 0;
  size_t base = 0;
  size_t entries_end = 0;

  ByteArea At(size_t at) const {
    if (at >= size_a) return ByteArea::kBeyondA;
    if (at >= size_b) return ByteArea::kBeyondB;
    if (at < base) return ByteArea::kBeforeDirectory;
    if (at < base + kFirstEntryOffset) return ByteArea::kDirectoryHeader;
    if (at < entries_end) return ByteArea::kDirectory;
    return ByteArea::kFreeSpace;
  }
};

Areas LayoutOf(std::span<const uint8_t> a, const Directory* dir_a, std::span<const uint8_t> b,
               const Directory* dir_b) {
  Areas areas{a.size(), b.size(), 0, 0};
  const Directory* dir = dir_a ? dir_a : dir_b;
  areas.base = dir ? dir->base : DirectoryBase(a.empty() ? b : a);
  areas.entries_end = areas.base + kFirstEntryOffset;
  for (const Directory* d : {dir_a, dir_b})
    if (d)
      areas.entries_end = std::max(areas.entries_end, d->end_marker_offset + kDirectoryEntrySize);
  return areas;
}

}  // namespace

const char* ByteAreaText(ByteArea area) {
  switch (area) {
    case ByteArea::kBeforeDirectory: return "before the directory";
    case ByteArea::kDirectoryHeader: return "directory header";
    case ByteArea::kDirectory: return "directory";
    case ByteArea::kFreeSpace: return "free space";
    case ByteArea::kBeyondA: return "beyond the end of A";
    case ByteArea::kBeyondB: return "beyond the end of B";
  }
  return "";
}

ModuleDiff DiffModules(std::span<const uint8_t> a, const Directory* dir_a,
                       std::span<const uint8_t> b, const Directory* dir_b) {
  ModuleDiff diff;
  diff.identical = a.size() == b.size() && NextDifference(a, b, 0, a.size()) == a.size();
  if (diff.identical) return diff;
  if (!dir_a) dir_a = dir_b;
  if (!dir_b) dir_b = dir_a;
  Spans covered;
  CoverData(covered, dir_a);
  CoverData(covered, dir_b);

  // Entries of B waiting for their partner in A, by state and name, in directory order.
  std::map<std::pair<uint8_t, std::string>, std::deque<const DirectoryEntry*>> waiting;
  if (dir_b)
    for (const DirectoryEntry& e : dir_b->entries) waiting[{e.state, e.name}].push_back(&e);
  std::vector<bool> matched_b(dir_b ? dir_b->entries.size() : 0, false);
  if (dir_a) {
    for (const DirectoryEntry& ea : dir_a->entries) {
      auto& queue = waiting[{ea.state, ea.name}];
      if (queue.empty()) {
        diff.entries.push_back(OnlyIn(EntryChange::kOnlyInA, ea));
        CoverSlot(covered, dir_a, ea);
        continue;
      }
      const DirectoryEntry& eb = *queue.front();
      queue.pop_front();
      matched_b[static_cast<size_t>(&eb - dir_b->entries.data())] = true;
      if (auto d = CompareEntries(a, ea, b, eb)) {
        diff.entries.push_back(std::move(*d));
        CoverSlot(covered, dir_a, ea);
        CoverSlot(covered, dir_b, eb);
      }
    }
  }
  if (dir_b) {
    for (size_t i = 0; i < dir_b->entries.size(); ++i) {
      if (matched_b[i]) continue;
      const DirectoryEntry& eb = dir_b->entries[i];
      diff.entries.push_back(OnlyIn(EntryChange::kOnlyInB, eb));
      CoverSlot(covered, dir_b, eb);
    }
  }

  // Walks the differing bytes only, skipping equal runs and explained spans whole.
  std::ranges::sort(covered);
  const Areas areas = LayoutOf(a, dir_a, b, dir_b);
  const size_t common = std::min(a.size(), b.size());
  const size_t total = std::max(a.size(), b.size());
  auto span = covered.begin();
  for (size_t at = 0; at < total;) {
    if (at < common) {
      at = NextDifference(a, b, at, common);
      if (at == common) continue;
    }
    while (span != covered.end() && span->second <= at) ++span;
    if (span != covered.end() && span->first <= at) {
      // Spans are sorted by start; a later one may reach further.
      size_t end = span->second;
      for (auto next = span; next != covered.end() && next->first <= end; ++next)
        end = std::max(end, next->second);
      at = end;
      continue;
    }
    const ByteArea area = areas.At(at);
    if (!diff.outside.empty() && diff.outside.back().end == at && diff.outside.back().area == area)
      ++diff.outside.back().end;
    else
      diff.outside.push_back({at, at + 1, area});
    ++at;
  }
  return diff;
}

}  // namespace r7k
