#include "common/sti_picture.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <new>

#include "module/pattern_runs.h"

namespace r7k {

namespace {

constexpr uint8_t kTag[4] = {'S', 't', 'i', 0};

constexpr StiColor Rgb(uint8_t red, uint8_t green, uint8_t blue) {
  return StiColor{blue, green, red, 0};
}

// Palette file: header "AH\xE3", colour records of 6 bytes from offset 40, 512-byte blocks.
constexpr uint8_t kPaletteMagic[3] = {0x41, 0x48, 0xE3};
constexpr size_t kPaletteMinSize = 136;
constexpr size_t kPaletteFirstRecord = 40;
constexpr size_t kPaletteRecordSize = 6;
constexpr size_t kPaletteBlock = 512;
constexpr size_t kPaletteMaxBytes = 1584;

}  // namespace

const std::array<StiColor, 16> kStiDefaultColors = {
    Rgb(255, 0, 0),   Rgb(0, 255, 0),   Rgb(0, 0, 255),     Rgb(255, 255, 0),
    Rgb(255, 0, 255), Rgb(0, 255, 255), Rgb(255, 255, 255), Rgb(0, 0, 0),
    Rgb(128, 0, 0),   Rgb(0, 128, 0),   Rgb(0, 0, 128),     Rgb(128, 128, 0),
    Rgb(128, 0, 128), Rgb(0, 128, 128), Rgb(128, 128, 128), Rgb(0, 128, 255),
};

PoolBuffer StiPicture::Allocate(std::span<const uint8_t> bytes, size_t size) {
  PoolBuffer block(size);
  if (!block) throw std::bad_alloc();
  std::copy_n(bytes.begin(), std::min(bytes.size(), size), block.data());
  return block;
}

StiPicture::StiPicture(const StiPicture& other)
    : block_(Allocate(other.Block(), other.Block().size())) {}

StiPicture& StiPicture::operator=(const StiPicture& other) {
  if (this != &other) block_ = Allocate(other.Block(), other.Block().size());
  return *this;
}

StiPicture::StiPicture(uint16_t rows, uint16_t stitches)
    : block_(Allocate({}, kCellsOffset + size_t{rows} * stitches)) {
  std::memcpy(block_.data(), kTag, sizeof kTag);
  Set16(kRowsOffset, rows);
  Set16(kStitchesOffset, stitches);
}

bool StiPicture::HasTag(std::span<const uint8_t> block) {
  return block.size() >= sizeof kTag && std::equal(kTag, kTag + sizeof kTag, block.begin());
}

std::optional<StiPicture> StiPicture::FromBlock(std::span<const uint8_t> block) {
  if (!HasTag(block) || block.size() < kCellsOffset) return std::nullopt;
  const size_t cells = size_t{ReadLe16(block, kRowsOffset)} * ReadLe16(block, kStitchesOffset);
  if (block.size() - kCellsOffset < cells) return std::nullopt;
  return StiPicture(Allocate(block, kCellsOffset + cells));
}

StiColor StiPicture::Color(uint8_t index) const {
  const uint8_t* p = block_.data() + kPaletteOffset + 4 * size_t{index};
  return StiColor{p[0], p[1], p[2], p[3]};
}

void StiPicture::SetColor(uint8_t index, StiColor color) {
  uint8_t* p = block_.data() + kPaletteOffset + 4 * size_t{index};
  p[0] = color.blue;
  p[1] = color.green;
  p[2] = color.red;
  p[3] = color.flags;
}

std::span<uint8_t> StiPicture::CellRow(size_t row) {
  return block_.span().subspan(CellOffset(row, 0), Stitches());
}

std::span<const uint8_t> StiPicture::CellRow(size_t row) const {
  return Block().subspan(CellOffset(row, 0), Stitches());
}

bool StiLoadPalette(StiPicture& picture, std::span<const uint8_t> file) {
  if (file.size() < kPaletteMinSize ||
      !std::equal(kPaletteMagic, kPaletteMagic + sizeof kPaletteMagic, file.begin())) {
    return false;
  }
  size_t at = kPaletteFirstRecord;
  for (size_t i = 0; i < 256; ++i) {
    // The last bytes of each block hold no colours: a record that would cross into the
    // next block starts at the next block instead (508 -> 512, 1022 -> 1024, 1534 -> 1536).
    if (at % kPaletteBlock + kPaletteRecordSize > kPaletteBlock) {
      at += kPaletteBlock - at % kPaletteBlock;
    }
    if (at > file.size() || file.size() - at < kPaletteRecordSize) break;
    StiColor c = picture.Color(static_cast<uint8_t>(i));
    c.blue = file[at];
    c.green = file[at + 2];
    c.red = file[at + 4];
    picture.SetColor(static_cast<uint8_t>(i), c);
    at += kPaletteRecordSize;
  }
  return true;
}

std::vector<uint8_t> StiReadPaletteFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::vector<uint8_t> bytes(kPaletteMaxBytes);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

std::optional<StiPicture> RunsToSti(std::span<const uint8_t> cut,
                                    std::span<const uint8_t> palette_file) {
  if (cut.size() < 6 || cut[4] != 0 || cut[5] != 0) return std::nullopt;
  const uint16_t stitches = ReadLe16(cut, 0);
  const uint16_t rows = ReadLe16(cut, 2);
  // Every row needs its length, a two-byte run per 127 stitches and a terminator; refusing
  // counts the bytes cannot hold keeps a bad header from asking for gigabytes of cells.
  const size_t min_row_bytes = 3 + 2 * ((size_t{stitches} + kMaxRunCount - 1) / kMaxRunCount);
  if (size_t{rows} * min_row_bytes > cut.size() - 6) return std::nullopt;

  StiPicture picture(rows, stitches);
  size_t at = 6;
  for (size_t k = 0; k < rows; ++k) {
    // The length field is skipped, not trusted: the runs and the terminator end the row.
    if (cut.size() - at < 2) return std::nullopt;
    const auto used = DecodeRowRuns(cut.subspan(at + 2), picture.CellRow(rows - 1 - k));
    if (!used) return std::nullopt;
    at += 2 + *used;
  }

  std::array<size_t, 256> cell_count{};
  std::array<size_t, 256> row_count{};
  for (size_t r = 0; r < rows; ++r) {
    std::array<bool, 256> in_row{};
    for (uint8_t index : picture.CellRow(r)) {
      ++cell_count[index];
      in_row[index] = true;
    }
    for (size_t i = 0; i < 256; ++i) row_count[i] += in_row[i];
  }

  if (!StiLoadPalette(picture, palette_file)) {
    size_t next = 0;
    for (size_t i = 0; i < 256; ++i) {
      if (cell_count[i] == 0) continue;
      picture.SetColor(static_cast<uint8_t>(i), kStiDefaultColors[next]);
      next = (next + 1) % kStiDefaultColors.size();
    }
  }
  if (cell_count[255] == 0) picture.SetColor(255, Rgb(255, 255, 255));

  // The background is the first index that beats the best so far in both its row count and
  // its cell count, starting from index 0 with (0, 0).
  size_t background = 0;
  size_t best_rows = 0;
  size_t best_cells = 0;
  for (size_t i = 0; i < 256; ++i) {
    if (row_count[i] > best_rows && cell_count[i] > best_cells) {
      background = i;
      best_rows = row_count[i];
      best_cells = cell_count[i];
    }
  }
  for (size_t i = 0; i < 256; ++i) {
    StiColor c = picture.Color(static_cast<uint8_t>(i));
    c.flags = 0;
    if (cell_count[i] != 0) c.flags |= kStiFlagUsed;
    if (i == background) c.flags |= kStiFlagBackground;
    picture.SetColor(static_cast<uint8_t>(i), c);
  }
  picture.SetBackground(static_cast<uint8_t>(background));
  return picture;
}

std::optional<StiPicture> RunsToSti(std::span<const uint8_t> cut,
                                    const std::filesystem::path& palette_path) {
  const std::vector<uint8_t> palette = StiReadPaletteFile(palette_path);
  return RunsToSti(cut, palette);
}

std::vector<StiSwatch> StiSwatches(const StiPicture& picture) {
  std::vector<StiSwatch> swatches;
  std::array<bool, 256> seen{};
  for (size_t r = 0; r < picture.Rows() && swatches.size() < kStiMaxSwatches; ++r) {
    for (uint8_t index : picture.CellRow(r)) {
      if (seen[index]) continue;
      seen[index] = true;
      const StiColor c = picture.Color(index);
      swatches.push_back({index, c.red + 256u * c.green + 65536u * c.blue});
      if (swatches.size() == kStiMaxSwatches) break;
    }
  }
  return swatches;
}

}  // namespace r7k
