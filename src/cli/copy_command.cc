#include <array>

#include "app/copy_entry.h"
#include "app/module_file.h"
#include "cli/commands.h"
#include "platform/file_io.h"
#include "support/ascii.h"

namespace r7k::cli {
namespace {

constexpr std::array kOptions = {
    OptionSpec{"--as", "", "NEWNAME", "the name of the copy in TARGET"},
    OptionSpec{"--replace", "", "", "put the copy in place of TARGET's valid entry of that name"},
};

constexpr CommandUsage kUsage = {
    "copy", "SOURCE NAME TARGET",
    "Copies the technique, pattern or sector NAME of the virtual module SOURCE into the\n"
    "virtual module TARGET as a new entry, validated as a saved entity file is. Nothing is\n"
    "written when TARGET cannot hold it (a full directory or module, the ROM layout) or an\n"
    "entry of that name exists there (--replace replaces it: in place when the sizes allow,\n"
    "else the old one is marked deleted). A sector's patterns in SOURCE are told.",
    kOptions, 3};

}  // namespace

int CopyCommand(std::span<const std::string> args, CommandIo& io) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!ParseCommandArgs(args, kUsage, io, parsed, status)) return status;
  const std::string& source_path = parsed.positional[0];
  const std::string& target_path = parsed.positional[2];
  CopyRequest request{parsed.positional[1], parsed.Value("--as"), parsed.Has("--replace")};
  const LoadedModule source = LoadVirtualModule(source_path);
  if (!source.ok()) {
    io.err << ModuleLoadMessage(source, source_path) << '\n';
    return kExitFailure;
  }
  LoadedModule target = LoadVirtualModule(target_path);
  if (!target.ok()) {
    io.err << ModuleLoadMessage(target, target_path) << '\n';
    return kExitFailure;
  }
  if (!MayWrite(target_path)) {
    io.err << "Cannot open " << target_path << '\n';
    return kExitFailure;
  }
  const CopyResult result = CopyEntry(source.image, source.directory, target.image, request);
  if (result.refusal) {
    io.err << "r7k copy: " << PrintableText(result.refusal->text) << '\n';
    return kExitFailure;
  }
  if (!WriteFileAtomically(target_path, target.image)) {
    io.err << "Cannot write " << target_path << '\n';
    return kExitFailure;
  }
  // The texts name entries, whose names may hold any bytes; they carry no paths.
  io.out << target_path << ": " << PrintableText(result.done) << '\n';
  for (const std::string& note : result.notes) io.out << "note: " << PrintableText(note) << '\n';
  return kExitOk;
}

}  // namespace r7k::cli
