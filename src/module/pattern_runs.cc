#include "module/pattern_runs.h"

#include <algorithm>

namespace r7k {

std::optional<size_t> DecodeRowRuns(std::span<const uint8_t> in, std::span<uint8_t> out) {
  size_t pos = 0;
  size_t stitch = 0;
  while (stitch < out.size()) {
    if (pos >= in.size()) return std::nullopt;
    const uint8_t control = in[pos++];
    const size_t count = control & 0x7F;
    if (count == 0 || count > out.size() - stitch) return std::nullopt;
    if (control & 0x80) {
      if (pos >= in.size()) return std::nullopt;
      std::fill_n(out.begin() + stitch, count, in[pos++]);
    } else {
      if (count > in.size() - pos) return std::nullopt;
      std::copy_n(in.begin() + pos, count, out.begin() + stitch);
      pos += count;
    }
    stitch += count;
  }
  if (pos >= in.size() || (in[pos] & 0x7F) != 0) return std::nullopt;
  return pos + 1;
}

std::vector<uint8_t> EncodeRowRuns(std::span<const uint8_t> cells) {
  std::vector<uint8_t> out;
  size_t literal_start = 0;
  auto flush_literal = [&](size_t end) {
    while (literal_start < end) {
      const size_t n = std::min(end - literal_start, kMaxRunCount);
      out.push_back(static_cast<uint8_t>(n));
      out.insert(out.end(), cells.begin() + literal_start, cells.begin() + literal_start + n);
      literal_start += n;
    }
  };
  size_t i = 0;
  while (i < cells.size()) {
    size_t j = i + 1;
    while (j < cells.size() && cells[j] == cells[i]) ++j;
    if (j - i >= 3) {
      flush_literal(i);
      // Repeat runs of at most 127; a tail of one or two stitches left after the last full
      // run is no repeat of three and joins the literal that follows.
      size_t k = i;
      while (j - k >= 3) {
        const size_t n = std::min(j - k, kMaxRunCount);
        out.push_back(static_cast<uint8_t>(0x80 | n));
        out.push_back(cells[i]);
        k += n;
      }
      literal_start = k;
    }
    i = j;
  }
  flush_literal(cells.size());
  out.push_back(0x00);
  return out;
}

}  // namespace r7k
