#include <array>
#include <filesystem>

#include "app/directory_view.h"
#include "app/entity_files.h"
#include "cli/commands.h"
#include "cli/module_session.h"
#include "module/hex_text.h"

namespace r7k::cli {
namespace {

constexpr std::array kOptions = {
    OptionSpec{"--dir", "", "DIR", "write the files into DIR (default: the module's folder)"},
    OptionSpec{"--yes", "-y", "", "replace entity files of that name that are there already"},
};

constexpr CommandUsage kUsage = {
    "export", "MODULE NAME",
    "Saves the entry NAME of the virtual module MODULE as the entity file NAME.r7k, and for a\n"
    "pattern also NAME.cut, after validating it (the Save button of the Hex dialog).",
    kOptions, 2};

}  // namespace

int ExportCommand(std::span<const std::string> args, CommandIo& io) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!ParseCommandArgs(args, kUsage, io, parsed, status)) return status;
  ModuleSession session(parsed.positional[0]);
  if (!session.Select(parsed.positional[1], io)) return kExitFailure;
  StoreHandle app = session.app();
  // What Info shows: the text, or the module's bytes when the entity is too long to show.
  const CurrentEntry entry = ReadCurrentEntry(app);
  if (entry.size > static_cast<int64_t>(kHexShownBytes)) {
    StoreSetNumeric(app, "truncated", 1);
  } else if (const auto bytes = ReadModuleBytes(app, entry.start, entry.size)) {
    StoreSetString(app, "HexData", RenderHexText(*bytes));
  } else {
    io.err << "cannot read " << entry.name << " from " << entry.module << '\n';
    return kExitFailure;
  }
  std::string folder = parsed.Has("--dir") ? parsed.Value("--dir") : FolderOf(entry.module);
  if (!folder.empty() && folder.back() != '/') folder += '/';
  const std::filesystem::path inputs[] = {entry.module};
  for (const char* extension : {".r7k", ".cut"}) {
    if (std::string_view(extension) == ".cut" && !entry.name.starts_with('P')) continue;
    if (const auto refused = RefuseOutput(EntityFilePath(folder, entry.name, extension), inputs,
                                          parsed.Has("--yes"), "export", io))
      return *refused;
  }
  const int result = SaveEntity(session.window(), app, folder);
  const bool stopped = session.ReportMessages(io);
  if (result != 1 || stopped) return kExitFailure;
  io.out << StoreGetString(app, "_Status").value_or("") << '\n';
  return kExitOk;
}

}  // namespace r7k::cli
