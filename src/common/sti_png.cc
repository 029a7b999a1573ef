#include "common/sti_png.h"

#include <png.h>

#include "support/file_io.h"

namespace r7k {

namespace {

void AppendToVector(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void NoFlush(png_structp) {}

// libpng reports errors by longjmp; this function keeps only trivially destructible locals
// between setjmp and the calls that may jump.
bool Encode(const StiRaster& raster, std::vector<uint8_t>& out) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  png_color colors[256];
  for (size_t i = 0; i < 256; ++i) {
    colors[i].red = raster.palette[i].red;
    colors[i].green = raster.palette[i].green;
    colors[i].blue = raster.palette[i].blue;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &out, AppendToVector, NoFlush);
  png_set_IHDR(png, info, raster.width, raster.height, 8, PNG_COLOR_TYPE_PALETTE,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_PLTE(png, info, colors, 256);
  png_write_info(png, info);
  // The raster is stored bottom-up; PNG rows go top-down.
  for (uint32_t y = raster.height; y-- > 0;) {
    png_write_row(png, const_cast<png_bytep>(&raster.pixels[size_t{y} * raster.stride]));
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

std::optional<std::vector<uint8_t>> RasterToPng(const StiRaster& raster) {
  if (raster.width == 0 || raster.height == 0 || raster.width > PNG_UINT_31_MAX ||
      raster.pixels.size() < size_t{raster.stride} * raster.height) {
    return std::nullopt;
  }
  std::vector<uint8_t> out;
  if (!Encode(raster, out)) return std::nullopt;
  return out;
}

std::optional<std::vector<uint8_t>> StiWritePng(std::span<const uint8_t> block) {
  const auto raster = StiRender(block);
  if (!raster) return std::nullopt;
  return RasterToPng(*raster);
}

StiWriteResult StiWritePng(const std::filesystem::path& path, std::span<const uint8_t> block) {
  const auto raster = StiRender(block);
  if (!raster) return StiWriteResult::kNotAPicture;
  const auto png = RasterToPng(*raster);
  if (!png) return StiWriteResult::kCannotCreate;
  return WriteFileAtomically(path, *png) ? StiWriteResult::kOk : StiWriteResult::kCannotCreate;
}

}  // namespace r7k
