#include <array>

#include "cli/commands.h"
#include "module/builtin_images.h"
#include "platform/file_io.h"

namespace r7k::cli {
namespace {

constexpr std::array kOptions = {
    OptionSpec{"--output", "-o", "FILE", "the file to write (replaced atomically)"},
    OptionSpec{"--yes", "-y", "", "replace FILE when it is a virtual module or entity file"},
};

constexpr CommandUsage kUsage = {
    "builtin", "NAME",
    "Writes a built-in image to a file, which can then be browsed like any virtual module.\n"
    "NAME is R7kRom or R7kRomx (the console's built-in techniques and patterns, 196,608\n"
    "bytes each) or demo (a demo memory module, 524,288 bytes). The images are sample data\n"
    "generated for this program, not the console's real memory.",
    kOptions, 1};

}  // namespace

int BuiltinCommand(std::span<const std::string> args, CommandIo& io) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!ParseCommandArgs(args, kUsage, io, parsed, status)) return status;
  const std::string& name = parsed.positional[0];
  const auto image = BuiltinImage(name);
  if (image.empty()) {
    io.err << "r7k builtin: unknown image '" << name << "' (choose R7kRom, R7kRomx or demo)\n";
    return kExitUsage;
  }
  const std::string output = parsed.Value("--output");
  if (!parsed.Has("--output") || output.empty()) {
    io.err << "r7k builtin: missing -o FILE\nRun 'r7k builtin --help' for usage.\n";
    return kExitUsage;
  }
  if (const auto refused = RefuseOutput(output, {}, parsed.Has("--yes"), "builtin", io))
    return *refused;
  std::string error;
  if (!WriteFileAtomically(output, image, &error)) {
    io.err << "Cannot write file " << output << ": " << error << '\n';
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace r7k::cli
