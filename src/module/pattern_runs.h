#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The run coding of one pattern row: runs of colour indices followed by a terminator byte.
// A control byte's low seven bits are the count (1..127); bit 7 set means one index
// repeated, clear means that many literal indices follow. The terminator's low seven bits
// are zero.
namespace r7k {

inline constexpr size_t kMaxRunCount = 127;

// Decodes the runs at the start of `in` into exactly out.size() stitches and checks the
// terminator. Returns the bytes consumed (terminator included), or nothing when a count is
// 0, a run passes the end of the row, the terminator is not clean, or the bytes run out.
std::optional<size_t> DecodeRowRuns(std::span<const uint8_t> in, std::span<uint8_t> out);

// Encodes one row: repeat runs for three or more equal stitches, literal runs otherwise,
// counts at most 127, then the terminator 0x00. A stretch longer than 127 becomes several
// repeat runs; one or two stitches left over go into the literal run that follows. The result
// is never longer than coding the row as literal runs only.
std::vector<uint8_t> EncodeRowRuns(std::span<const uint8_t> cells);

}  // namespace r7k
