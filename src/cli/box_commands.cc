// The box commands: version, check, read, write, erase. Each is a scripted user of the
// program's own dialogs (see box_session.h); nothing here talks to the box itself.

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <vector>

#include "app/module_file.h"
#include "app/read_module.h"
#include "app/strings.h"
#include "cli/box_session.h"
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "platform/file_io.h"

namespace r7k::cli {
namespace {

namespace fs = std::filesystem;

constexpr auto kVersionOptions = WithBoxOptions(std::array{
    OptionSpec{"--json", "", "", "print an object with ModuleVersion"},
});
constexpr auto kCheckOptions = WithBoxOptions(std::array{
    OptionSpec{"--json", "", "", "print the items as one object (missing items are null)"},
});
constexpr auto kReadOptions = WithBoxOptions(std::array{
    OptionSpec{"--yes", "-y", "", "replace MODULE when it exists (on a terminal r7k asks)"},
    OptionSpec{"--no-verify", "", "", "do not read the module a second time to compare"},
});
constexpr auto kWriteOptions = WithBoxOptions(std::array{
    OptionSpec{"--yes", "-y", "", "answer yes to the questions of the write"},
    OptionSpec{"--no-verify", "", "", "do not read the module back to compare it with MODULE"},
    OptionSpec{"--force", "", "", "write MODULE even when it does not load as a virtual module"},
});
constexpr auto kEraseOptions = WithBoxOptions(std::array{
    OptionSpec{"--yes", "-y", "",
               "answer yes to \"Are you sure?\" (on a terminal r7k asks; elsewhere nothing is "
               "erased without it)"},
});

constexpr CommandUsage kVersionUsage = {
    "version", "",
    "Asks the programmer box for its firmware version (the word \"rep 00 00 02\" answers),\n"
    "trying the other baud rate of the pair once when the box stays silent.",
    kVersionOptions, 0};
constexpr CommandUsage kCheckUsage = {
    "check", "",
    "Asks the box what sits in its slot, as the Check Module dialog does: the firmware\n"
    "version, revision and width of the box, whether a module is present, and the flash chip\n"
    "on it. Fails when no module is in the box.",
    kCheckOptions, 0};
constexpr CommandUsage kReadUsage = {
    "read", "MODULE",
    "Reads the module in the box (512 KiB) into the virtual module file MODULE, as Upload\n"
    "does. A MODULE that does not end in .r7v is written as module.r7v in its folder.\n"
    "The module is read a second time to compare: the box's answers carry no checksum, so a\n"
    "damaged line could otherwise slip a wrong byte into the file unnoticed. When the two\n"
    "differ, a third read settles each byte by the two reads that agree on it. MODULE is\n"
    "written (replaced whole) only once the reads agree; a failed or stopped read leaves it\n"
    "as it was.",
    kReadOptions, 1};
constexpr CommandUsage kWriteUsage = {
    "write", "MODULE",
    "Writes the virtual module file MODULE into the module in the box, as Download does:\n"
    "erase, then every 128-byte piece that is not all 0xFF. Then reads the module back and\n"
    "compares it with MODULE; bytes that read back wrong are read back again (up to three\n"
    "read-backs), as a damaged line can change a byte but not the same one each time.\n"
    "A MODULE that does not load as a virtual module is refused unless --force is given.",
    kWriteOptions, 1};
constexpr CommandUsage kEraseUsage = {
    "erase", "", "Erases the module in the box (every byte becomes 0xFF).", kEraseOptions, 0};

// The caption of the directory view's complaints about a file it cannot list.
constexpr char kDirectoryLoadCaption[] = "Pattern Load";

// Parses the command line and starts the session; nullopt with the exit status otherwise.
struct Started {
  ParsedArgs args;
  std::optional<BoxTarget> target;
};
bool Prepare(std::span<const std::string> argv, const CommandUsage& usage, CommandIo& io,
             Started& started, int& status) {
  if (!ParseCommandArgs(argv, usage, io, started.args, status)) return false;
  started.target = ReadBoxTarget(started.args, usage.name, io, status);
  return started.target.has_value();
}

// The items a module check writes, in the order shown.
constexpr std::array kCheckItems = {"Type",       "CardType",      "CardID",   "Sector0",
                                    "CardDetect", "ModuleVersion", "Revision", "Serial",
                                    "16bit",      "Protected",     "157"};

void PrintItems(StoreHandle app, std::span<const char* const> items, bool json, CommandIo& io) {
  if (json) {
    JsonWriter writer(io.out);
    writer.BeginObject();
    for (const char* item : items) {
      writer.Key(item);
      const int type = StoreGetType(app, item);
      if (type == kItemNone) {
        writer.Null();
      } else if (type == kItemNumeric) {
        writer.Number(StoreGetNumeric(app, item));
      } else {
        writer.String(StoreGetString(app, item).value_or(""));
      }
    }
    writer.EndObject();
    return;
  }
  for (const char* item : items) {
    const int type = StoreGetType(app, item);
    if (type == kItemNone) continue;
    std::string value = StoreGetString(app, item).value_or("");
    if (std::string_view(item) == "CardID") {
      char hex[16];
      std::snprintf(hex, sizeof hex, " (%04llX)", (long long)StoreGetNumeric(app, item) & 0xFFFF);
      value += hex;
    }
    char line[64];
    std::snprintf(line, sizeof line, "%-14s", item);
    io.out << line << value << '\n';
  }
}

// Tells why a module operation started from the main dialog did not get going, when no
// message box said it.
void ExplainNoStart(BoxSession& session, DialogUser& user, std::string_view command) {
  user.Pump();  // a press of Browse for the user is posted
  if (!session.view().file_requests().empty()) {
    session.out().Line("r7k " + std::string(command) +
                       ": the folder of the virtual module does not exist.");
  }
}

// Whether the main dialog's button can be pressed; tells why not.
bool ButtonReady(BoxSession& session, DialogUser& user, std::string_view field,
                 std::string_view command) {
  if (session.stop_status()) return false;
  if (user.State(field) == FieldState::kFull) return true;
  session.out().Line("r7k " + std::string(command) +
                     ": the box did not tell its firmware version; is it connected and on?");
  return false;
}

// The end of the operation of that name among `ends`, the last one.
const ModuleOpProgress* EndOf(const std::vector<ModuleOpProgress>& ends,
                              std::string_view operation) {
  for (auto it = ends.rbegin(); it != ends.rend(); ++it)
    if (it->operation == operation) return &*it;
  return nullptr;
}

// Refers the user to --yes after a question was answered no for want of it.
int Refused(BoxSession& session, std::string_view command) {
  const std::string& question = *session.view().refused();
  session.out().Line(
      "r7k " + std::string(command) + ": " +
      (session.view().refused_when_asked()
           ? "answered no to \"" + question + "\"; the module in the box is unchanged."
           : "stopped at the question \"" + question + "\"; run again with --yes to answer yes."));
  return kExitFailure;
}

// After a stop request: what became of things, and the status the request asks for.
int Stopped(BoxSession& session, std::string_view command, const std::string& what) {
  session.Finish(false);
  session.out().Line("r7k " + std::string(command) + ": stopped by " + session.StopCause() +
                     (what.empty() ? "." : "; " + what));
  return session.stop_status();
}

// Where a read may write: refused before the box is asked anything. `yes` turns true when the
// user allowed replacing an existing file.
bool ReadTargetUsable(const std::string& target, bool& yes, CommandIo& io) {
  std::error_code ec;
  // The file goes where a link leads: that folder must take it.
  const std::optional<fs::path> written = WriteTarget(target);
  if (!written) {
    io.err << "r7k read: " << target << " is a loop of symbolic links.\n";
    return false;
  }
  const fs::path folder = written->parent_path();
  if (!fs::is_directory(folder, ec)) {
    io.err << "r7k read: the folder " << folder.string() << " does not exist.\n";
    return false;
  }
  if (!MayWrite(folder)) {
    io.err << "r7k read: cannot write into the folder " << folder.string() << ": "
           << std::strerror(errno) << ".\n";
    return false;
  }
  // Not even --yes puts a module in place of a folder.
  if (fs::is_directory(*written, ec)) {
    io.err << "r7k read: " << target << " is a folder.\n";
    return false;
  }
  const fs::file_status status = fs::symlink_status(target, ec);
  if (status.type() == fs::file_type::not_found || yes) return true;
  if (AtTerminal(io) && AskYesNo(io, "r7k read: " + target + " exists. Replace it?")) {
    yes = true;
    return true;
  }
  io.err << "r7k read: " << target << " exists; run again with --yes to replace it.\n";
  return false;
}

// Whether a write's read-back found the module holding the file.
bool IsVerified(const std::vector<ModuleOpProgress>& ends) {
  const ModuleOpProgress* back = EndOf(ends, "Read Module");
  return back && back->ok;
}

}  // namespace

int VersionCommand(std::span<const std::string> argv, CommandIo& io) {
  Started started;
  int status = kExitOk;
  if (!Prepare(argv, kVersionUsage, io, started, status)) return status;
  BoxSession session(io, "version", false);
  if (!session.Start(*started.target)) return kExitFailure;
  session.RunDialog("ModuleVersion",
                    [&](DialogUser& user) { session.WaitForEnd(user, "Module Version"); });
  if (session.stop_status()) return Stopped(session, "version", "");
  if (StoreGetType(session.app(), "ModuleVersion") == kItemNone) {
    session.Finish(false);
    session.out().Line("r7k version: the box did not answer.");
    return kExitFailure;
  }
  session.Finish(true);
  static constexpr std::array<const char*, 1> kItems = {"ModuleVersion"};
  PrintItems(session.app(), kItems, started.args.Has("--json"), io);
  return kExitOk;
}

int CheckCommand(std::span<const std::string> argv, CommandIo& io) {
  Started started;
  int status = kExitOk;
  if (!Prepare(argv, kCheckUsage, io, started, status)) return status;
  BoxSession session(io, "check", false);
  if (!session.Start(*started.target)) return kExitFailure;
  session.ScriptNextCheck();
  const bool checked = session.RunDialog("CheckModule") == 1026;
  if (session.stop_status())
    return Stopped(session, "check", "the module in the box is unchanged.");
  session.Finish(checked);
  if (!checked) return kExitFailure;
  if (StoreGetType(session.app(), "Type") == kItemNone)
    session.out().Line("The flash chip on the module is not one of the known chips.");
  PrintItems(session.app(), kCheckItems, started.args.Has("--json"), io);
  return kExitOk;
}

int ReadCommand(std::span<const std::string> argv, CommandIo& io) {
  Started started;
  int status = kExitOk;
  if (!ParseCommandArgs(argv, kReadUsage, io, started.args, status)) return status;
  if (started.args.positional[0].empty()) {
    io.err << "r7k read: MODULE is empty; name the file to read into.\n";
    return kExitUsage;
  }
  const std::string path = fs::absolute(started.args.positional[0]).lexically_normal().string();
  const std::string target = ModuleFileFor(path);
  bool yes = started.args.Has("--yes");
  if (!ReadTargetUsable(target, yes, io)) return kExitFailure;
  started.target = ReadBoxTarget(started.args, kReadUsage.name, io, status);
  if (!started.target) return status;
  std::error_code ec;
  const bool existed = fs::exists(target, ec);
  BoxSession session(io, "read", yes);
  if (!session.Start(*started.target)) return kExitFailure;
  // The main dialog opens on the file as the desktop program does on its command line; that
  // it cannot show the directory of a file still to be read is no news.
  session.view().Mute(kDirectoryLoadCaption);
  StoreSetString(session.app(), "CurrentVirtualModule", path);
  StoreSetString(session.app(), "Verify", started.args.Has("--no-verify") ? "0" : "1");
  bool read = false;
  session.RunDialog("R7kProg", [&](DialogUser& user) {
    if (!ButtonReady(session, user, "ReadModule", "read")) return;
    StoreDeleteItem(session.main(), "_Status");
    session.ScriptNextCheck();
    const auto ends = session.PressAndWait(user, "ReadModule");
    const ModuleOpProgress* end = EndOf(ends, "Read Module");
    read =
        end && end->ok && StoreGetString(session.main(), "_Status").value_or("") == "Module read";
    if (!end && !session.view().refused() && !session.stop_status())
      ExplainNoStart(session, user, "read");
  });
  const std::string kept = existed ? target + " is as it was." : "no file was written.";
  if (session.stop_status())
    return Stopped(
        session, "read",
        (read ? target + " was written" : kept) + " The module in the box is unchanged.");
  session.Finish(read);
  if (!read) {
    if (session.view().refused()) return Refused(session, "read");
    if (session.Ran("Read Module")) session.out().Line("r7k read: " + kept);
    return kExitFailure;
  }
  io.out << target << '\n';
  return kExitOk;
}

int WriteCommand(std::span<const std::string> argv, CommandIo& io) {
  Started started;
  int status = kExitOk;
  if (!Prepare(argv, kWriteUsage, io, started, status)) return status;
  if (started.args.positional[0].empty()) {
    io.err << "r7k write: MODULE is empty; name the virtual module to write.\n";
    return kExitUsage;
  }
  const std::string path = fs::absolute(started.args.positional[0]).lexically_normal().string();
  const bool force = started.args.Has("--force");
  // The module is erased first: a file that is no virtual module would cost what it held.
  if (const LoadedModule module = LoadVirtualModule(path); !module.ok()) {
    const bool exists = module.error != ModuleLoadError::kNotFound &&
                        module.error != ModuleLoadError::kFolder &&
                        module.error != ModuleLoadError::kUnreadable;
    if (!force || !exists) {
      io.err << "r7k write: " << ModuleLoadMessage(module, path)
             << (exists ? "; nothing was written. Give --force to write it anyway." : ".") << '\n';
      return kExitFailure;
    }
  }
  const bool verify = !started.args.Has("--no-verify");
  BoxSession session(io, "write", started.args.Has("--yes"));
  if (!session.Start(*started.target)) return kExitFailure;
  StoreSetString(session.app(), "CurrentVirtualModule", path);
  StoreSetString(session.app(), "Verify", verify ? "1" : "0");
  if (force) StoreSetNumeric(session.app(), "ForceWrite", 1);
  session.view().Mute(kDirectoryLoadCaption);
  std::vector<ModuleOpProgress> ends;
  session.RunDialog("R7kProg", [&](DialogUser& user) {
    if (!ButtonReady(session, user, "WriteModule", "write")) return;
    session.ScriptNextCheck();
    ends = session.PressAndWait(user, "WriteModule");
    if (!EndOf(ends, "Write Module") && !session.view().refused() && !session.stop_status())
      ExplainNoStart(session, user, "write");
  });
  const ModuleOpProgress* write = EndOf(ends, "Write Module");
  const bool written = write && write->ok;
  if (session.stop_status()) {
    // Once the write began, its own words say what the module holds.
    return Stopped(
        session, "write",
        session.Ran("Write Module") ? "" : "nothing was sent to the module; it is unchanged.");
  }
  const bool done = written && (!verify || IsVerified(ends));
  session.Finish(done);
  if (!written) {
    if (session.view().refused()) return Refused(session, "write");
    return kExitFailure;
  }
  if (verify && !EndOf(ends, "Read Module")) {
    session.out().Line("r7k write: the module could not be read back to compare it.");
    return kExitFailure;
  }
  return done ? kExitOk : kExitFailure;
}

int EraseCommand(std::span<const std::string> argv, CommandIo& io) {
  Started started;
  int status = kExitOk;
  if (!Prepare(argv, kEraseUsage, io, started, status)) return status;
  BoxSession session(io, "erase", started.args.Has("--yes"));
  if (!session.Start(*started.target)) return kExitFailure;
  // The main dialog offers no erasing; the "EraseModule" dialog does.
  bool erased = false;
  session.RunDialog("EraseModule", [&](DialogUser& user) {
    session.ScriptNextCheck();
    const auto ends = session.PressAndWait(user, "EraseCard");
    const ModuleOpProgress* end = EndOf(ends, "Erase Module");
    erased = end && end->ok;
    if (!end && !session.view().refused() && !session.stop_status())
      ExplainNoStart(session, user, "erase");
  });
  // An erase once sent cannot be called back: the stop then comes after it.
  if (session.stop_status())
    return Stopped(
        session, "erase",
        erased ? "the module in the box is erased."
               : (session.Ran("Erase Module") ? "" : "the module in the box is unchanged."));
  session.Finish(erased);
  if (erased) return kExitOk;
  if (session.view().refused()) return Refused(session, "erase");
  return kExitFailure;
}

}  // namespace r7k::cli
