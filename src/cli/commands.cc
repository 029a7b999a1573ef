#include "cli/commands.h"

#include <algorithm>
#include <array>

#include "support/build_info.h"
#include "support/edit_distance.h"

namespace r7k::cli {
namespace {

// One row per subcommand, sorted by name.
constexpr std::array kCommands = {
    Command{"about", "print the program's version and the operating system", AboutCommand},
    Command{"builtin", "write a built-in image (R7kRom, R7kRomx, demo) to a file", BuiltinCommand},
    Command{"check", "ask the box what module and flash chip sit in it", CheckCommand},
    Command{"clip", "print the directory as Clip Dir copies it", ClipCommand},
    Command{"copy", "copy a technique, pattern or sector into another module", CopyCommand},
    Command{"diff", "compare two virtual modules entry by entry", DiffCommand},
    Command{"erase", "erase the module in the box", EraseCommand},
    Command{"export", "save an entry as an entity file (.r7k, .cut)", ExportCommand},
    Command{"full", "write a pattern's full page (framed picture and HTML) and open it",
            FullCommand},
    Command{"gallery", "write one page showing a whole module and open it", GalleryCommand},
    Command{"hex", "print an entry as hexadecimal text", HexCommand},
    Command{"import", "write an entity file into its entry of a module", ImportCommand},
    Command{"import-image", "make a pattern entry from a PNG or BMP picture", ImportImageCommand},
    Command{"ls", "list the directory of a virtual module", LsCommand},
    Command{"new-pattern", "add a pattern entry to a module", NewPatternCommand},
    Command{"new-technique", "add a technique entry to a module", NewTechniqueCommand},
    Command{"picture", "write the stitch picture of a pattern, sector side or technique grid",
            PictureCommand},
    Command{"ports", "list the ports the programmer box may be on", PortsCommand},
    Command{"read", "read the module in the box into a virtual module file", ReadCommand},
    Command{"settings", "show or change the saved settings (port, module file, palette...)",
            SettingsCommand},
    Command{"show", "show a technique, sector or text record in words", ShowCommand},
    Command{"split", "write every entry into a new folder of entity files", SplitCommand},
    Command{"version", "ask the box for its firmware version", VersionCommand},
    Command{"write", "write a virtual module file into the module in the box", WriteCommand},
};

void PrintCommands(std::ostream& out) {
  out << "Usage: r7k COMMAND [options] [arguments]\n\n"
         "Reads and writes the modules of the R7000 knitting machine through the programmer box,\n"
         "and reads and edits virtual modules.\n\nCommands:\n";
  for (const Command& c : kCommands) {
    std::string name(c.name);
    name.resize(std::max<size_t>(name.size() + 2, 12), ' ');
    out << "  " << name << c.summary << '\n';
  }
  out << "\nRun 'r7k COMMAND --help' for the options of a command.\n"
         "Exit status: 0 success, 1 a reported failure, 2 a wrong command line.\n";
}

}  // namespace

std::span<const Command> Commands() { return kCommands; }

std::string_view SuggestCommand(std::string_view typed) {
  std::string_view best;
  size_t best_distance = 3;  // at most two edits away
  for (const Command& c : kCommands) {
    const size_t d =
        c.name.rfind(typed, 0) == 0 && !typed.empty() ? 1 : EditDistance(typed, c.name);
    if (d < best_distance) {
      best = c.name;
      best_distance = d;
    }
  }
  return best;
}

int RunCli(std::span<const std::string> args, CommandIo& io) {
  if (args.empty()) {
    PrintCommands(io.err);
    return kExitUsage;
  }
  const std::string& first = args[0];
  if (first == "--help" || first == "-h") {
    PrintCommands(io.out);
    return kExitOk;
  }
  if (first == "--version") {
    io.out << "r7k " << ProgramVersion() << '\n' << ProgramCopyright() << '\n';
    return kExitOk;
  }
  // "r7k help COMMAND" is "r7k COMMAND --help".
  if (first == "help") {
    if (args.size() == 1) {
      PrintCommands(io.out);
      return kExitOk;
    }
    const std::vector<std::string> help = {args[1], "--help"};
    return RunCli(help, io);
  }
  const auto command = std::find_if(kCommands.begin(), kCommands.end(),
                                    [&](const Command& c) { return c.name == first; });
  if (command == kCommands.end()) {
    io.err << "r7k: unknown command '" << first << "'.";
    if (const std::string_view suggestion = SuggestCommand(first); !suggestion.empty()) {
      io.err << " Did you mean '" << suggestion << "'?";
    }
    io.err << "\nRun 'r7k --help' for the list of commands.\n";
    return kExitUsage;
  }
  return command->run(args.subspan(1), io);
}

}  // namespace r7k::cli
