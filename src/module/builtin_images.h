#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

// The images the program carries: the two built-in ROM images "R7kRom" and "R7kRomx" (the
// console's built-in techniques and patterns, in the virtual module format) and a demo
// module "demo". They are generated sample data, made at build time.
namespace r7k {

// The image's bytes, or an empty span for another name.
std::span<const uint8_t> BuiltinImage(std::string_view name);

// The names BuiltinImage knows, in a fixed order.
const std::vector<std::string_view>& BuiltinImageNames();

}  // namespace r7k
