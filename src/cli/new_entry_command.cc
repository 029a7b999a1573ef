#include "app/new_entries.h"
#include "cli/commands.h"
#include "cli/module_session.h"
#include "support/ascii.h"

namespace r7k::cli {
namespace {

constexpr CommandUsage kTechniqueUsage = {
    "new-technique",
    "MODULE NAME SIZE",
    "Adds a technique NAME (\"T0...\") of SIZE bytes (21, 31, ... 201) to the virtual module\n"
    "MODULE, from the template of a minimal technique.",
    {},
    3};

constexpr CommandUsage kPatternUsage = {
    "new-pattern",
    "MODULE NAME SIZE",
    "Adds a pattern NAME (\"P3...\" to \"P6...\") of SIZE bytes (over 18) to the virtual\n"
    "module MODULE, from the template of a one-colour 2 x 2 pattern.",
    {},
    3};

// Fills the New Technique or New Pattern dialog as a user would and presses OK. `sizes` says
// which sizes the dialog takes.
int AddEntry(std::span<const std::string> args, CommandIo& io, const CommandUsage& usage,
             const char* dialog, const char* prefix, const char* procedure, const char* sizes) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!ParseCommandArgs(args, usage, io, parsed, status)) return status;
  ModuleSession session(parsed.positional[0]);
  const std::string name = parsed.positional[1];
  const std::string size = parsed.positional[2];
  std::string refused;
  session.view().WhenDialogOpens(dialog, [&](DialogUser& user) {
    if (!user.Set(std::string(prefix) + "Name", name))
      refused = "the name " + PrintableText(name) + " is refused: a name has 5 characters";
    else if (!user.Set(std::string(prefix) + "Size", size))
      refused = "the size " + PrintableText(size) + " is refused: " + sizes;
    user.Press(refused.empty() ? "OK" : "Cancel");
  });
  const int result = session.Run(procedure);
  if (!refused.empty()) {
    io.err << "r7k " << usage.name << ": " << refused << '\n';
    return kExitFailure;
  }
  session.ReportMessages(io);
  if (result != 1) return kExitFailure;
  io.out << "added " << name << " (" << size << " bytes)\n";
  return kExitOk;
}

}  // namespace

int NewTechniqueCommand(std::span<const std::string> args, CommandIo& io) {
  return AddEntry(args, io, kTechniqueUsage, "NewTech", "t_", "DP_NewTechnique",
                  "a technique has 21, 31, 41 ... 201 bytes");
}

int NewPatternCommand(std::span<const std::string> args, CommandIo& io) {
  return AddEntry(args, io, kPatternUsage, "NewPat", "p_", "DP_NewPattern",
                  "a pattern has more than 18 bytes");
}

}  // namespace r7k::cli
