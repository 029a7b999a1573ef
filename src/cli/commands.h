#pragma once

#include <span>
#include <string>

#include "cli/command.h"

// The subcommand functions; each lives in its own file (ls_command.cc, ...).
namespace r7k::cli {

int AboutCommand(std::span<const std::string> args, CommandIo& io);
int BuiltinCommand(std::span<const std::string> args, CommandIo& io);
int LsCommand(std::span<const std::string> args, CommandIo& io);
int ClipCommand(std::span<const std::string> args, CommandIo& io);
int ExportCommand(std::span<const std::string> args, CommandIo& io);
int HexCommand(std::span<const std::string> args, CommandIo& io);
int ImportCommand(std::span<const std::string> args, CommandIo& io);
int NewPatternCommand(std::span<const std::string> args, CommandIo& io);
int NewTechniqueCommand(std::span<const std::string> args, CommandIo& io);
int PortsCommand(std::span<const std::string> args, CommandIo& io);
int SettingsCommand(std::span<const std::string> args, CommandIo& io);
int ShowCommand(std::span<const std::string> args, CommandIo& io);
int SplitCommand(std::span<const std::string> args, CommandIo& io);

}  // namespace r7k::cli
