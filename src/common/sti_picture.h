#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

#include "common/little_endian.h"
#include "support/pool_heap.h"

// A stitch picture: one colour index per stitch plus a 256-entry palette, kept as one block
// of bytes so that a block handed around (from a file, a store, a fuzzer) can be checked for
// its "Sti" tag before anyone draws it.
namespace r7k {

inline constexpr uint8_t kStiKindPlain = 0x00;
inline constexpr uint8_t kStiKindFramed = 0x40;

// Palette flags: the index occurs in the picture; the index is the background colour.
inline constexpr uint8_t kStiFlagUsed = 16;
inline constexpr uint8_t kStiFlagBackground = 64;

struct StiColor {
  uint8_t blue = 0;
  uint8_t green = 0;
  uint8_t red = 0;
  uint8_t flags = 0;
  friend bool operator==(const StiColor&, const StiColor&) = default;
};

// Block layout (16-bit numbers little-endian): tag "Sti\0", rows, stitches, background,
// kind, one pad byte, 256 palette entries of blue/green/red/flags, then rows x stitches
// cells with cell row 0 the lowest row of the picture.
class StiPicture {
 public:
  static constexpr size_t kRowsOffset = 4;
  static constexpr size_t kStitchesOffset = 6;
  static constexpr size_t kBackgroundOffset = 8;
  static constexpr size_t kKindOffset = 10;
  static constexpr size_t kPaletteOffset = 12;
  static constexpr size_t kCellsOffset = kPaletteOffset + 256 * 4;

  // A picture with all cells 0, palette all zero, background 0, kind plain.
  StiPicture(uint16_t rows, uint16_t stitches);

  // Takes over a block; nothing when the tag is missing or the block is shorter than its
  // header, palette and cells.
  static std::optional<StiPicture> FromBlock(std::span<const uint8_t> block);
  // True when `block` begins with the tag (the one check a picture writer makes first).
  static bool HasTag(std::span<const uint8_t> block);

  uint16_t Rows() const { return Get16(kRowsOffset); }
  uint16_t Stitches() const { return Get16(kStitchesOffset); }
  uint16_t Background() const { return Get16(kBackgroundOffset); }
  void SetBackground(uint8_t index) { Set16(kBackgroundOffset, index); }
  uint8_t Kind() const { return block_.data()[kKindOffset]; }
  void SetKind(uint8_t kind) { block_.data()[kKindOffset] = kind; }

  StiColor Color(uint8_t index) const;
  void SetColor(uint8_t index, StiColor color);

  uint8_t Cell(size_t row, size_t stitch) const { return block_.data()[CellOffset(row, stitch)]; }
  void SetCell(size_t row, size_t stitch, uint8_t index) {
    block_.data()[CellOffset(row, stitch)] = index;
  }
  std::span<uint8_t> CellRow(size_t row);
  std::span<const uint8_t> CellRow(size_t row) const;

  std::span<const uint8_t> Block() const { return block_.span(); }

  // The block lives in the pool heap; copies get their own block (std::bad_alloc when the
  // pool is exhausted, as a std::vector would).
  StiPicture(const StiPicture& other);
  StiPicture& operator=(const StiPicture& other);
  StiPicture(StiPicture&&) noexcept = default;
  StiPicture& operator=(StiPicture&&) noexcept = default;

 private:
  explicit StiPicture(PoolBuffer block) : block_(std::move(block)) {}
  static PoolBuffer Allocate(std::span<const uint8_t> bytes, size_t size);
  uint16_t Get16(size_t at) const { return ReadLe16(block_.span(), at); }
  void Set16(size_t at, uint16_t v) { WriteLe16(block_.span(), at, v); }
  size_t CellOffset(size_t row, size_t stitch) const {
    return kCellsOffset + row * Stitches() + stitch;
  }

  PoolBuffer block_;
};

// The colours given in turn to the occurring indices when there is no palette file.
extern const std::array<StiColor, 16> kStiDefaultColors;

// Fills the palette's blue, green and red from a palette file's bytes ("AH\xE3" header, at
// least 136 bytes, 6-byte records from offset 40 that never straddle the last bytes of a
// 512-byte block). Flags are left alone. False, and nothing changed, when the file is not
// accepted.
bool StiLoadPalette(StiPicture& picture, std::span<const uint8_t> file);

// The bytes of a palette file at `path` that can matter (at most the 1584 bytes that hold
// 256 records); empty when the file cannot be read.
std::vector<uint8_t> StiReadPaletteFile(const std::filesystem::path& path);

// Builds the picture from the cut layout of a pattern (little-endian stitches and rows, two
// zero bytes, rows last-stored first, each a length and its run-coded row). The palette comes
// from `palette_file` when it is accepted, else from the default colours. Nothing when the
// zero bytes are not zero, a row does not decode, or the bytes run out.
std::optional<StiPicture> RunsToSti(std::span<const uint8_t> cut,
                                    std::span<const uint8_t> palette_file = {});
// The same with the palette file read from `palette_path` (a missing file is no palette).
std::optional<StiPicture> RunsToSti(std::span<const uint8_t> cut,
                                    const std::filesystem::path& palette_path);

// One colour swatch: a colour index and its colour as red + 256 x green + 65536 x blue.
struct StiSwatch {
  uint8_t index = 0;
  uint32_t color = 0;
  friend bool operator==(const StiSwatch&, const StiSwatch&) = default;
};
inline constexpr size_t kStiMaxSwatches = 8;

// The first distinct indices met scanning the cells from the lowest row, each row from
// stitch 0, at most eight, with their palette colours.
std::vector<StiSwatch> StiSwatches(const StiPicture& picture);

}  // namespace r7k
