#include "common/picture_cells.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <unordered_map>

#include "common/dib.h"
#include "common/little_endian.h"
#include "module/address.h"
#include "module/directory.h"
#include "platform/file_io.h"
#include "platform/png_codec.h"

namespace r7k {
namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr size_t kBmpFileHeaderSize = 14;

RgbPictureResult Refuse(std::string text) { return {std::nullopt, {std::move(text), false}}; }

RgbPictureResult ReadPng(std::span<const uint8_t> bytes) {
  std::optional<PictureRefusal> size_refusal;
  PngDecodeResult read = DecodePng(bytes, [&](uint32_t width, uint32_t height) {
    size_refusal = CheckPictureSize(width, height);
    return !size_refusal;
  });
  if (read.refused_size) return {std::nullopt, *size_refusal};
  if (!read.picture) return Refuse("The PNG picture cannot be read: " + read.error);
  return {RgbPicture{read.picture->width, read.picture->height, std::move(read.picture->pixels)},
          {}};
}

RgbPictureResult ReadBmp(std::span<const uint8_t> bytes) {
  const auto header = DibReadHeader(bytes.subspan(kBmpFileHeaderSize));
  constexpr const char* kUnread =
      "The BMP picture cannot be read: only uncompressed BMP files of 1, 4, 8 or 24 bits per "
      "pixel are taken; save it as PNG or as a 24-bit BMP";
  if (!header || header->compression != 0) return Refuse(kUnread);
  const int64_t height = header->height;
  if (auto refusal =
          CheckPictureSize(std::max<int64_t>(header->width, 0), height < 0 ? -height : height)) {
    return {std::nullopt, *refusal};
  }
  // The bitmap field's reader takes the pixels right after the colour table; a file whose
  // header places them further on is read from there.
  std::vector<uint8_t> spliced;
  std::span<const uint8_t> file = bytes;
  const uint64_t table_end =
      kBmpFileHeaderSize + uint64_t{header->header_size} + DibPaletteBytes(*header);
  const uint32_t bits_at = ReadLe32(bytes, 10);
  if (bits_at > table_end && bits_at <= bytes.size()) {
    spliced.assign(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(table_end));
    spliced.insert(spliced.end(), bytes.begin() + bits_at, bytes.end());
    file = spliced;
  }
  const auto dib = DibReadBytes(file);
  if (!dib) {
    const uint16_t bpp = header->bits_per_pixel;
    if (bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24) {
      return Refuse("The BMP picture is cut short or broken");
    }
    return Refuse(kUnread);
  }
  RgbPicture picture;
  picture.width = dib->width;
  picture.height = dib->height;
  picture.pixels.reserve(dib->pixels.size());
  for (const DibRgb& p : dib->pixels) {
    picture.pixels.push_back(uint32_t{p.red} << 16 | uint32_t{p.green} << 8 | p.blue);
  }
  return {std::move(picture), {}};
}

// A colour of the picture, how often it occurs and where it is first met (reading from the
// top left).
struct ColourTally {
  uint32_t colour = 0;
  size_t count = 0;
  size_t first = 0;
};

// By falling frequency, ties by the one met first.
bool ComesFirst(const ColourTally& a, const ColourTally& b) {
  return a.count != b.count ? a.count > b.count : a.first < b.first;
}

// The four most frequent colours of the pixels, in ComesFirst order, and the number of their
// colours. `count(colour)` gives the counter of a colour, 0 at first: passes over the pixels
// in order count them, find the top counts and, for ties, the first meeting.
template <typename Counter>
std::vector<ColourTally> MostFrequentColours(std::span<const uint32_t> pixels, Counter count,
                                             size_t& colours) {
  // A picture that fits a module has far fewer than 2^30 pixels: the top bits mark colours.
  constexpr uint32_t kSeen = 1u << 31, kKept = 1u << 30, kCount = kKept - 1;
  for (const uint32_t p : pixels) ++count(p);
  // The fourth largest count: colours above it are kept, those at it by their first meeting.
  std::array<uint32_t, kMaxPatternColours> top{};  // descending
  colours = 0;
  for (const uint32_t p : pixels) {
    uint32_t& n = count(p);
    if (n & kSeen) continue;
    n |= kSeen;
    ++colours;
    if ((n & kCount) <= top.back()) continue;
    top.back() = n & kCount;
    std::sort(top.begin(), top.end(), std::greater<>());
  }
  const uint32_t threshold = top.back();
  size_t at_threshold = static_cast<size_t>(std::count(top.begin(), top.end(), threshold));
  std::vector<ColourTally> kept;
  for (size_t i = 0; i < pixels.size() && kept.size() < kMaxPatternColours; ++i) {
    uint32_t& n = count(pixels[i]);
    const uint32_t times = n & kCount;
    if ((n & kKept) || times < threshold || (times == threshold && at_threshold == 0)) continue;
    if (times == threshold) --at_threshold;
    kept.push_back({pixels[i], times, i});
    n |= kKept;
  }
  std::sort(kept.begin(), kept.end(), ComesFirst);
  return kept;
}

// MostFrequentColours with counters that bound the memory whatever the picture holds: a map
// for a small picture, one counter per 24-bit colour (64 MiB, of which only the pages of the
// colours met are touched) for a large one. Nothing when the memory cannot be had.
std::optional<std::vector<ColourTally>> MostFrequentColours(std::span<const uint32_t> pixels,
                                                            size_t& colours) {
  constexpr size_t kColours = size_t{1} << 24;
  if (pixels.size() <= kColours / 64) {
    std::unordered_map<uint32_t, uint32_t> counts;
    return MostFrequentColours(
        pixels, [&](uint32_t p) -> uint32_t& { return counts[p]; }, colours);
  }
  const std::unique_ptr<uint32_t, decltype(&std::free)> table(
      static_cast<uint32_t*>(std::calloc(kColours, sizeof(uint32_t))), &std::free);
  if (!table) return std::nullopt;
  uint32_t* const counts = table.get();
  return MostFrequentColours(
      pixels, [counts](uint32_t p) -> uint32_t& { return counts[p & 0xFFFFFF]; }, colours);
}

uint32_t Distance(uint32_t a, uint32_t b) {
  uint32_t sum = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    sum += static_cast<uint32_t>(d * d);
  }
  return sum;
}

}  // namespace

std::optional<PictureRefusal> CheckPictureSize(uint64_t width, uint64_t height) {
  auto refuse = [](std::string text) {
    return std::optional<PictureRefusal>(PictureRefusal{std::move(text), false});
  };
  if (width == 0 || height == 0) return refuse("The picture has no pixels");
  if (width > kMaxPatternWidth) {
    return refuse("The picture is " + std::to_string(width) +
                  " pixels wide; a pattern row holds at most " + std::to_string(kMaxPatternWidth) +
                  " stitches");
  }
  if (height > kMaxPatternRows) {
    return refuse("The picture is " + std::to_string(height) +
                  " pixels high; a pattern holds at most " + std::to_string(kMaxPatternRows) +
                  " rows");
  }
  if (MinPatternRecordSize(width, height) > kModuleImageSize - kModuleDirectoryBase) {
    return refuse("The picture is " + std::to_string(width) + " x " + std::to_string(height) +
                  " pixels; a pattern that large does not fit in a module");
  }
  return std::nullopt;
}

RgbPictureResult ReadPictureBytes(std::span<const uint8_t> bytes) {
  if (bytes.size() >= sizeof kPngSignature &&
      std::equal(std::begin(kPngSignature), std::end(kPngSignature), bytes.begin())) {
    return ReadPng(bytes);
  }
  if (bytes.size() >= kBmpFileHeaderSize && bytes[0] == 'B' && bytes[1] == 'M') {
    return ReadBmp(bytes);
  }
  return Refuse("The file is neither a PNG nor a BMP picture");
}

RgbPictureResult ReadPictureFile(const std::filesystem::path& path) {
  const auto bytes = ReadFileBytes(path, kMaxPictureFileBytes);
  if (!bytes) return Refuse("Cannot read the picture " + path.string());
  return ReadPictureBytes(*bytes);
}

PictureCellsResult PictureToCells(const RgbPicture& picture, bool reduce) {
  if (auto refusal = CheckPictureSize(picture.width, picture.height))
    return {std::nullopt, *refusal};
  if (picture.pixels.size() != size_t{picture.width} * picture.height) {
    return {std::nullopt, {"The picture has no pixels"}};
  }
  const std::span<const uint32_t> pixels = picture.pixels;
  PictureCells cells;
  // Few colours: counted in a short list, which a fifth colour ends unless it is reduced.
  std::vector<ColourTally> tally;
  bool many = false;
  for (size_t i = 0; i < pixels.size() && !many; ++i) {
    auto t = std::find_if(tally.begin(), tally.end(),
                          [&](const ColourTally& c) { return c.colour == pixels[i]; });
    if (t != tally.end()) {
      ++t->count;
    } else if (tally.size() < kMaxPatternColours) {
      tally.push_back({pixels[i], 1, i});
    } else {
      many = true;
    }
  }
  if (many && !reduce) {
    return {std::nullopt,
            {"The picture has more than " + std::to_string(kMaxPatternColours) +
                 " colours; a pattern holds at most " + std::to_string(kMaxPatternColours),
             true}};
  }
  if (many) {
    auto most = MostFrequentColours(pixels, cells.picture_colours);
    if (!most) return {std::nullopt, {"Not enough memory to count the colours of the picture"}};
    tally = std::move(*most);
  } else {
    std::sort(tally.begin(), tally.end(), ComesFirst);
    cells.picture_colours = tally.size();
  }
  for (const ColourTally& t : tally) cells.inks.push_back(t.colour);
  cells.colours = static_cast<uint8_t>(tally.size());
  cells.grid.width = static_cast<uint16_t>(picture.width);
  cells.grid.rows = static_cast<uint16_t>(picture.height);
  cells.grid.cells.resize(pixels.size());
  // Each pixel takes its own colour's index or the nearest kept one (the more frequent on a
  // tie); the last answer is kept, as neighbouring pixels mostly share a colour.
  uint32_t last_colour = ~pixels[0];
  uint8_t last_index = 0;
  for (size_t y = 0; y < picture.height; ++y) {
    const size_t row = picture.height - 1 - y;  // the top row is stored last
    for (size_t x = 0; x < picture.width; ++x) {
      const uint32_t colour = pixels[y * picture.width + x];
      if (colour != last_colour) {
        last_colour = colour;
        last_index = 0;
        for (uint8_t k = 1; k < cells.colours; ++k) {
          if (Distance(colour, cells.inks[k]) < Distance(colour, cells.inks[last_index]))
            last_index = k;
        }
      }
      cells.grid.cells[row * picture.width + x] = last_index;
    }
  }
  return {std::move(cells), {}};
}

PictureCellsResult ReadPictureCells(std::span<const uint8_t> bytes, bool reduce) {
  RgbPictureResult read = ReadPictureBytes(bytes);
  if (!read.picture) return {std::nullopt, read.refusal};
  return PictureToCells(*read.picture, reduce);
}

}  // namespace r7k
