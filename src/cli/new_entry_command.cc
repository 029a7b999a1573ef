#include "app/new_entries.h"
#include "cli/commands.h"
#include "cli/module_session.h"

namespace r7k::cli {
namespace {

constexpr CommandUsage kTechniqueUsage = {
    "new-technique", "MODULE NAME SIZE",
    "Adds a technique NAME (\"T0...\") of SIZE bytes (21, 31, ... 201) to the virtual module\n"
    "MODULE, from the template of a minimal technique.",
    {}, 3};

constexpr CommandUsage kPatternUsage = {
    "new-pattern", "MODULE NAME SIZE",
    "Adds a pattern NAME (\"P3...\" to \"P6...\") of SIZE bytes (over 18) to the virtual\n"
    "module MODULE, from the template of a one-colour 2 x 2 pattern.",
    {}, 3};

// Fills the New Technique or New Pattern dialog as a user would and presses OK.
int AddEntry(std::span<const std::string> args, CommandIo& io, const CommandUsage& usage,
             const char* dialog, const char* prefix, const char* procedure) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!ParseCommandArgs(args, usage, io, parsed, status)) return status;
  ModuleSession session(parsed.positional[0]);
  const std::string name = parsed.positional[1];
  const std::string size = parsed.positional[2];
  bool accepted = true;
  session.view().WhenDialogOpens(dialog, [&](DialogUser& user) {
    accepted = user.Set(std::string(prefix) + "Name", name) &&
               user.Set(std::string(prefix) + "Size", size);
    user.Press(accepted ? "OK" : "Cancel");
  });
  const int result = session.Run(procedure);
  if (!accepted) {
    io.err << "the dialog refuses the name " << name << " or the size " << size << '\n';
    return kExitFailure;
  }
  session.ReportMessages(io);
  if (result != 1) return kExitFailure;
  io.out << "added " << name << " (" << size << " bytes)\n";
  return kExitOk;
}

}  // namespace

int NewTechniqueCommand(std::span<const std::string> args, CommandIo& io) {
  return AddEntry(args, io, kTechniqueUsage, "NewTech", "t_", "DP_NewTechnique");
}

int NewPatternCommand(std::span<const std::string> args, CommandIo& io) {
  return AddEntry(args, io, kPatternUsage, "NewPat", "p_", "DP_NewPattern");
}

}  // namespace r7k::cli
