#include "app/builtin_pictures.h"

#include <array>
#include <string>

#include "support/ascii.h"

namespace r7k {
namespace {

// An image from rows of characters, each character's colour looked up in `colours`.
DibImage FromRows(const std::vector<std::string_view>& rows,
                  const std::vector<std::pair<char, DibRgb>>& colours) {
  DibImage image;
  image.height = static_cast<uint32_t>(rows.size());
  image.width = rows.empty() ? 0 : static_cast<uint32_t>(rows[0].size());
  for (const auto& row : rows) {
    for (uint32_t x = 0; x < image.width; ++x) {
      const char c = x < row.size() ? row[x] : ' ';
      DibRgb rgb{192, 192, 192};
      for (const auto& [key, value] : colours)
        if (key == c) rgb = value;
      image.pixels.push_back(rgb);
    }
  }
  return image;
}

DibImage Question() {
  return FromRows(
      {
          "                ",
          "     bbbbbb     ",
          "    bbwwwwbb    ",
          "   bbwb  bwbb   ",
          "   bwb    bwb   ",
          "   bbb    bwb   ",
          "         bwbb   ",
          "        bwbb    ",
          "       bwbb     ",
          "       bwb      ",
          "       bwb      ",
          "       bbb      ",
          "                ",
          "       bbb      ",
          "       bwb      ",
          "       bbb      ",
      },
      {{'b', {0, 0, 160}}, {'w', {80, 140, 255}}, {' ', {212, 208, 200}}});
}

DibImage Full() {
  // A framed pattern page: two-colour stitches under a title bar.
  return FromRows(
      {
          "kkkkkkkkkkkkkkkkkkkkkkkk",
          "kbbbbbbbbbbbbbbbbbbbbbbk",
          "kkkkkkkkkkkkkkkkkkkkkkkk",
          "kwrrwwrrwwrrwwrrwwrrwwrk",
          "krwwrrwwrrwwrrwwrrwwrrwk",
          "kwrrwwrrwwrrwwrrwwrrwwrk",
          "krwwrrwwrrwwrrwwrrwwrrwk",
          "kwwwwwwwwwwwwwwwwwwwwwwk",
          "kggwwggwwggwwggwwggwwggk",
          "kwggwwggwwggwwggwwggwwgk",
          "kggwwggwwggwwggwwggwwggk",
          "kwwwwwwwwwwwwwwwwwwwwwwk",
          "kwrrwwrrwwrrwwrrwwrrwwrk",
          "kkkkkkkkkkkkkkkkkkkkkkkk",
      },
      {{'k', {0, 0, 0}},
       {'b', {0, 0, 160}},
       {'w', {255, 255, 255}},
       {'r', {200, 30, 30}},
       {'g', {30, 140, 60}}});
}

DibImage Corrupt() {
  // A yellow and grey checkered folder on light grey, a black edge at its bottom and right,
  // crossed out by a broad red X.
  DibImage image;
  image.width = 30;
  image.height = 25;
  image.pixels.assign(30 * 25, DibRgb{212, 208, 200});
  auto set = [&](int x, int y, DibRgb c) {
    if (x >= 0 && x < 30 && y >= 0 && y < 25) image.pixels[static_cast<size_t>(y) * 30 + x] = c;
  };
  for (int y = 5; y < 21; ++y)
    for (int x = 3; x < 26; ++x)
      set(x, y, ((x / 3 + y / 3) % 2) ? DibRgb{240, 210, 40} : DibRgb{150, 150, 150});
  for (int x = 3; x < 12; ++x) set(x, 4, DibRgb{240, 210, 40});  // the folder's tab
  for (int x = 3; x < 27; ++x) set(x, 21, DibRgb{0, 0, 0});
  for (int y = 5; y < 22; ++y) set(26, y, DibRgb{0, 0, 0});
  for (int i = 0; i < 25; ++i) {
    const int x = 2 + i * 26 / 25;
    for (int w = -1; w <= 1; ++w) {
      set(x + w, i, DibRgb{220, 0, 0});
      set(27 - i * 26 / 25 + w, i, DibRgb{220, 0, 0});
    }
  }
  return image;
}

DibImage NoFile() {
  // Rows from the top: 0 1 0, 1 0 1, 0 1 0 with colour 0 black and 1 white.
  return FromRows({" # ", "# #", " # "}, {{' ', {0, 0, 0}}, {'#', {255, 255, 255}}});
}

}  // namespace

const std::vector<std::string_view>& BuiltinPictureNames() {
  static const std::vector<std::string_view> names = {"question.bmp", "full.bmp", "CORRUPT",
                                                      "NO_FILE"};
  return names;
}

std::optional<DibImage> BuiltinPicture(std::string_view name) {
  if (EqualsIgnoringCase(name, "question.bmp")) return Question();
  if (EqualsIgnoringCase(name, "full.bmp")) return Full();
  if (EqualsIgnoringCase(name, "CORRUPT")) return Corrupt();
  if (EqualsIgnoringCase(name, "NO_FILE")) return NoFile();
  return std::nullopt;
}

std::vector<std::uint8_t> BmpFileBytes(const DibImage& image) {
  const uint32_t row = (image.width * 3 + 3) / 4 * 4;
  const uint32_t bits = row * image.height;
  std::vector<std::uint8_t> out;
  auto u16 = [&](uint32_t v) { out.push_back(v & 0xFF), out.push_back((v >> 8) & 0xFF); };
  auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
  out.push_back('B'), out.push_back('M');
  u32(54 + bits), u32(0), u32(54);
  u32(40), u32(image.width), u32(image.height), u16(1), u16(24), u32(0), u32(bits), u32(2835),
      u32(2835), u32(0), u32(0);
  for (uint32_t y = image.height; y-- > 0;) {
    for (uint32_t x = 0; x < image.width; ++x) {
      const DibRgb p = image.At(x, y);
      out.push_back(p.blue), out.push_back(p.green), out.push_back(p.red);
    }
    for (uint32_t pad = image.width * 3; pad < row; ++pad) out.push_back(0);
  }
  return out;
}

}  // namespace r7k
