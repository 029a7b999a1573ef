#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command.h"

// The subcommand functions; each lives in its own file (ls_command.cc, ...), the box
// commands together in box_commands.cc.
namespace r7k::cli {

int AboutCommand(std::span<const std::string> args, CommandIo& io);
int BuiltinCommand(std::span<const std::string> args, CommandIo& io);
int CheckCommand(std::span<const std::string> args, CommandIo& io);
int EraseCommand(std::span<const std::string> args, CommandIo& io);
int FullCommand(std::span<const std::string> args, CommandIo& io);
int LsCommand(std::span<const std::string> args, CommandIo& io);
int CopyCommand(std::span<const std::string> args, CommandIo& io);
int DiffCommand(std::span<const std::string> args, CommandIo& io);
int ClipCommand(std::span<const std::string> args, CommandIo& io);
int ExportCommand(std::span<const std::string> args, CommandIo& io);
int GalleryCommand(std::span<const std::string> args, CommandIo& io);
int HexCommand(std::span<const std::string> args, CommandIo& io);
int ImportCommand(std::span<const std::string> args, CommandIo& io);
int ImportImageCommand(std::span<const std::string> args, CommandIo& io);
int NewPatternCommand(std::span<const std::string> args, CommandIo& io);
int NewTechniqueCommand(std::span<const std::string> args, CommandIo& io);
int PictureCommand(std::span<const std::string> args, CommandIo& io);
int PortsCommand(std::span<const std::string> args, CommandIo& io);
int ReadCommand(std::span<const std::string> args, CommandIo& io);
int SettingsCommand(std::span<const std::string> args, CommandIo& io);
int ShowCommand(std::span<const std::string> args, CommandIo& io);
int SplitCommand(std::span<const std::string> args, CommandIo& io);
int VersionCommand(std::span<const std::string> args, CommandIo& io);
int WriteCommand(std::span<const std::string> args, CommandIo& io);

// Whether the command may write `output` while it reads `inputs` (CheckOutputPath): nothing
// when it may; otherwise prints why and gives the exit status, kExitUsage for an output that
// is an input or a folder, kExitFailure for a module or entity file that only --yes replaces.
std::optional<int> RefuseOutput(const std::filesystem::path& output,
                                std::span<const std::filesystem::path> inputs, bool yes,
                                std::string_view command, CommandIo& io);

// Why the entry NAME is not pictured as a pattern, naming what pictures it ("S0012 is a
// sector, not a pattern: ..."); empty for a pattern or an entry of no known kind.
std::string NotAPattern(const std::string& name);

// The bytes of the entry NAME of the virtual module at `path` (picture_command.cc); nothing,
// with the reason on io.err, when the module or the entry cannot be read.
std::optional<std::vector<uint8_t>> LoadNamedEntry(const std::string& path, const std::string& name,
                                                   CommandIo& io, std::string_view command);

}  // namespace r7k::cli
