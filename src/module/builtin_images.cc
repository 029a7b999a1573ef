#include "module/builtin_images.h"

#include "builtin_images_digest.h"

// The generated files are pulled in by the assembler; the digest above ties this object to
// their content. The directives are those both ELF and PE assemblers know (".previous" is
// ELF's only); the compiler names the section of everything it emits after this.
#define R7K_EMBED(symbol, file)                   \
  asm(".section .rodata\n"                        \
      ".balign 16\n"                              \
      ".global " #symbol "\n" #symbol             \
      ":\n"                                       \
      ".incbin \"" R7K_BUILTIN_IMAGE_DIR "/" file \
      "\"\n"                                      \
      ".global " #symbol "_end\n" #symbol         \
      "_end:\n"                                   \
      ".byte 0\n"                                 \
      ".text\n")

R7K_EMBED(r7k_image_rom, "R7kRom.r7v");
R7K_EMBED(r7k_image_romx, "R7kRomx.r7v");
R7K_EMBED(r7k_image_demo, "demo.r7v");

extern "C" {
extern const uint8_t r7k_image_rom[], r7k_image_rom_end[];
extern const uint8_t r7k_image_romx[], r7k_image_romx_end[];
extern const uint8_t r7k_image_demo[], r7k_image_demo_end[];
}

namespace r7k {
namespace {

[[maybe_unused]] constexpr const char* kDigest = R7K_BUILTIN_IMAGES_DIGEST;

std::span<const uint8_t> Span(const uint8_t* begin, const uint8_t* end) {
  return {begin, static_cast<size_t>(end - begin)};
}

}  // namespace

std::span<const uint8_t> BuiltinImage(std::string_view name) {
  if (name == "R7kRom") return Span(r7k_image_rom, r7k_image_rom_end);
  if (name == "R7kRomx") return Span(r7k_image_romx, r7k_image_romx_end);
  if (name == "demo") return Span(r7k_image_demo, r7k_image_demo_end);
  return {};
}

const std::vector<std::string_view>& BuiltinImageNames() {
  static const std::vector<std::string_view> names = {"R7kRom", "R7kRomx", "demo"};
  return names;
}

}  // namespace r7k
