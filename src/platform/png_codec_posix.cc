#include "platform/png_codec.h"

#include <png.h>

#include <cstring>

namespace r7k {
namespace {

void AppendToVector(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void NoFlush(png_structp) {}

// libpng reports errors by longjmp; this function keeps only trivially destructible locals
// between setjmp and the calls that may jump.
bool Encode(uint32_t width, uint32_t height, const std::array<std::array<uint8_t, 3>, 256>& palette,
            const uint8_t* rows, uint32_t stride, std::vector<uint8_t>& out) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  png_color colors[256];
  for (size_t i = 0; i < 256; ++i) colors[i] = {palette[i][0], palette[i][1], palette[i][2]};
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &out, AppendToVector, NoFlush);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_PLTE(png, info, colors, 256);
  png_write_info(png, info);
  // PNG rows go top-down.
  for (uint32_t y = height; y-- > 0;)
    png_write_row(png, const_cast<png_bytep>(rows + size_t{y} * stride));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

PngDecodeResult DecodePng(std::span<const uint8_t> bytes,
                          const std::function<bool(uint32_t width, uint32_t height)>& check_size) {
  PngDecodeResult result;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  // The simplified reader keeps libpng's error jumps to itself and answers with 0.
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
    result.error = image.message;
    return result;
  }
  if (!check_size(image.width, image.height)) {
    png_image_free(&image);
    result.refused_size = true;
    return result;
  }
  image.format = PNG_FORMAT_RGB;
  PngPicture picture{image.width, image.height,
                     std::vector<uint32_t>(size_t{image.width} * image.height)};
  // The decoder writes each row's 3-byte pixels at the start of that row of the pixel array
  // (4 bytes a pixel), which is then spread out from its right end.
  auto* raw = reinterpret_cast<uint8_t*>(picture.pixels.data());
  const png_color white = {255, 255, 255};
  if (!png_image_finish_read(&image, &white, raw, static_cast<png_int_32>(4 * image.width),
                             nullptr)) {
    result.error = image.message;
    png_image_free(&image);
    return result;
  }
  for (size_t y = 0; y < picture.height; ++y) {
    const uint8_t* rgb = raw + 4 * y * picture.width;
    uint32_t* row = picture.pixels.data() + y * picture.width;
    for (size_t x = picture.width; x-- > 0;)
      row[x] = uint32_t{rgb[3 * x]} << 16 | uint32_t{rgb[3 * x + 1]} << 8 | rgb[3 * x + 2];
  }
  result.picture = std::move(picture);
  return result;
}

std::optional<std::vector<uint8_t>> EncodeIndexedPng(
    uint32_t width, uint32_t height, const std::array<std::array<uint8_t, 3>, 256>& palette,
    std::span<const uint8_t> rows_bottom_up, uint32_t stride) {
  if (width == 0 || height == 0 || width > PNG_UINT_31_MAX || height > PNG_UINT_31_MAX ||
      stride < width || rows_bottom_up.size() < size_t{stride} * height) {
    return std::nullopt;
  }
  std::vector<uint8_t> out;
  if (!Encode(width, height, palette, rows_bottom_up.data(), stride, out)) return std::nullopt;
  return out;
}

}  // namespace r7k
