#include "common/sti_png.h"

#include "platform/file_io.h"
#include "platform/png_codec.h"

namespace r7k {

std::optional<std::vector<uint8_t>> RasterToPng(const StiRaster& raster) {
  std::array<std::array<uint8_t, 3>, 256> palette;
  for (size_t i = 0; i < 256; ++i)
    palette[i] = {raster.palette[i].red, raster.palette[i].green, raster.palette[i].blue};
  // The raster is stored bottom-up, as a BMP.
  return EncodeIndexedPng(raster.width, raster.height, palette, raster.pixels, raster.stride);
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
