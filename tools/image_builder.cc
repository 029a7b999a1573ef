#include "image_builder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "module/address.h"
#include "module/directory.h"

namespace r7k::gen {

ImageBuilder::ImageBuilder(size_t size, uint32_t base, uint32_t data_start, uint8_t marker)
    : image_(size, 0xFF), base_(base), marker_(marker), cursor_(data_start) {
  // Header bytes the console keeps: zero here; the check bytes 0x10..0x1F stay 0xFF.
  std::fill_n(image_.begin() + base, kDirectoryCheckOffset, 0x00);
  std::fill_n(image_.begin() + base + 0x20, kEmptyDirectoryStartOffset - 0x20, 0x00);
  PutAddress(base + kEmptyDirectoryStartOffset, data_start);
}

void ImageBuilder::PutAddress(size_t pos, uint32_t offset) {
  const auto out = std::span(image_).subspan(pos).first<3>();
  EncodeModuleAddress(offset, out);
  out[0] = static_cast<uint8_t>(marker_ << 4 | (out[0] & 0x0F));
}

size_t ImageBuilder::Add(std::string_view name, std::span<const uint8_t> data, uint8_t state) {
  const size_t pos = EntryOffset(base_, entries_);
  if (name.size() != kEntryNameSize || data.size() > image_.size() - cursor_ ||
      pos + 2 * kDirectoryEntrySize > cursor_) {
    std::fprintf(stderr, "image generator: entity %.*s does not fit\n", int(name.size()),
                 name.data());
    std::exit(1);
  }
  image_[pos] = state;
  std::copy(name.begin(), name.end(), image_.begin() + pos + 1);
  PutAddress(pos + 6, cursor_);
  std::copy(data.begin(), data.end(), image_.begin() + cursor_);
  cursor_ += static_cast<uint32_t>(data.size());
  PutAddress(pos + 9, cursor_);
  return entries_++;
}

}  // namespace r7k::gen
