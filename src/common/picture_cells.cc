#include "common/picture_cells.h"

#include <png.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "common/dib.h"
#include "common/little_endian.h"
#include "module/address.h"
#include "module/directory.h"
#include "support/file_io.h"

namespace r7k {
namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr size_t kBmpFileHeaderSize = 14;

RgbPictureResult Refuse(std::string text) { return {std::nullopt, {std::move(text), false}}; }

RgbPictureResult ReadPng(std::span<const uint8_t> bytes) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  // The simplified reader keeps libpng's error jumps to itself and answers with 0.
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
    return Refuse(std::string("The PNG picture cannot be read: ") + image.message);
  }
  if (auto refusal = CheckPictureSize(image.width, image.height)) {
    png_image_free(&image);
    return {std::nullopt, *refusal};
  }
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  const png_color white = {255, 255, 255};
  if (!png_image_finish_read(&image, &white, rgb.data(), 0, nullptr)) {
    const std::string why = image.message;
    png_image_free(&image);
    return Refuse("The PNG picture cannot be read: " + why);
  }
  RgbPicture picture;
  picture.width = image.width;
  picture.height = image.height;
  picture.pixels.resize(size_t{image.width} * image.height);
  for (size_t i = 0; i < picture.pixels.size(); ++i) {
    picture.pixels[i] = uint32_t{rgb[3 * i]} << 16 | uint32_t{rgb[3 * i + 1]} << 8 | rgb[3 * i + 2];
  }
  return {std::move(picture), {}};
}

RgbPictureResult ReadBmp(std::span<const uint8_t> bytes) {
  const auto header = DibReadHeader(bytes.subspan(kBmpFileHeaderSize));
  constexpr const char* kUnread =
      "The BMP picture cannot be read: only uncompressed BMP files of 1, 4, 8 or 24 bits per "
      "pixel are taken; save it as PNG or as a 24-bit BMP";
  if (!header || header->compression != 0) return Refuse(kUnread);
  const int64_t height = header->height;
  if (auto refusal = CheckPictureSize(std::max<int64_t>(header->width, 0),
                                      height < 0 ? -height : height)) {
    return {std::nullopt, *refusal};
  }
  // The bitmap field's reader takes the pixels right after the colour table; a file whose
  // header places them further on is read from there.
  std::vector<uint8_t> spliced;
  std::span<const uint8_t> file = bytes;
  const uint64_t table_end = kBmpFileHeaderSize + uint64_t{header->header_size} +
                             DibPaletteBytes(*header);
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
  auto refuse = [](std::string text) { return std::optional<PictureRefusal>(PictureRefusal{std::move(text), false}); };
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
  if (auto refusal = CheckPictureSize(picture.width, picture.height)) return {std::nullopt, *refusal};
  if (picture.pixels.size() != size_t{picture.width} * picture.height) {
    return {std::nullopt, {"The picture has no pixels"}};
  }
  struct Tally {
    size_t count = 0;
    size_t first = 0;
  };
  std::unordered_map<uint32_t, Tally> tally;
  for (size_t i = 0; i < picture.pixels.size(); ++i) {
    Tally& t = tally.try_emplace(picture.pixels[i], Tally{0, i}).first->second;
    ++t.count;
  }
  std::vector<std::pair<uint32_t, Tally>> order(tally.begin(), tally.end());
  std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
    return a.second.count != b.second.count ? a.second.count > b.second.count
                                            : a.second.first < b.second.first;
  });
  if (order.size() > kMaxPatternColours && !reduce) {
    return {std::nullopt,
            {"The picture has " + std::to_string(order.size()) +
                 " colours; a pattern holds at most " + std::to_string(kMaxPatternColours),
             true}};
  }
  PictureCells cells;
  cells.picture_colours = order.size();
  const size_t kept = std::min<size_t>(order.size(), kMaxPatternColours);
  for (size_t i = 0; i < kept; ++i) cells.inks.push_back(order[i].first);
  cells.colours = static_cast<uint8_t>(kept);
  // Every colour of the picture gets its index once: its own, or the nearest kept one (the
  // more frequent on a tie).
  std::unordered_map<uint32_t, uint8_t> index_of;
  for (const auto& [colour, t] : order) {
    uint8_t best = 0;
    for (uint8_t k = 1; k < kept; ++k) {
      if (Distance(colour, cells.inks[k]) < Distance(colour, cells.inks[best])) best = k;
    }
    index_of.emplace(colour, best);
  }
  cells.grid.width = static_cast<uint16_t>(picture.width);
  cells.grid.rows = static_cast<uint16_t>(picture.height);
  cells.grid.cells.resize(picture.pixels.size());
  for (size_t y = 0; y < picture.height; ++y) {
    const size_t row = picture.height - 1 - y;  // the top row is stored last
    for (size_t x = 0; x < picture.width; ++x) {
      cells.grid.cells[row * picture.width + x] = index_of[picture.pixels[y * picture.width + x]];
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
