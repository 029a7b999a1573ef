// The box commands: version, check, read, write, erase. Each is a scripted user of the
// program's own dialogs (see box_session.h); nothing here talks to the box itself.

#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

#include "app/read_module.h"
#include "app/strings.h"
#include "cli/box_session.h"
#include "cli/box_verify.h"
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "support/file_io.h"

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
    OptionSpec{"--yes", "-y", "", "replace MODULE when it exists"},
    OptionSpec{"--no-verify", "", "", "do not read the module a second time to compare"},
});
constexpr auto kWriteOptions = WithBoxOptions(std::array{
    OptionSpec{"--yes", "-y", "", "answer yes to the questions of the write"},
    OptionSpec{"--no-verify", "", "", "do not read the module back to compare it with MODULE"},
});
constexpr auto kEraseOptions = WithBoxOptions(std::array{
    OptionSpec{"--yes", "-y", "", "answer yes to \"Are you sure?\" (without it nothing is erased)"},
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
    "Then reads it a second time and compares: the box's answers carry no checksum, so a\n"
    "damaged line could otherwise slip a wrong byte into the file unnoticed. When the two\n"
    "differ, a third read settles each byte by the two reads that agree on it; when that\n"
    "fails too, MODULE is put back as it was before.",
    kReadOptions, 1};
constexpr CommandUsage kWriteUsage = {
    "write", "MODULE",
    "Writes the virtual module file MODULE into the module in the box, as Download does:\n"
    "erase, then every 128-byte piece that is not all 0xFF. Then reads the module back and\n"
    "compares it with MODULE; bytes that read back wrong are read back again (up to three\n"
    "read-backs), as a damaged line can change a byte but not the same one each time.",
    kWriteOptions, 1};
constexpr CommandUsage kEraseUsage = {
    "erase", "",
    "Erases the module in the box (every byte becomes 0xFF).",
    kEraseOptions, 0};

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
constexpr std::array kCheckItems = {"Type",          "CardType", "CardID", "Sector0",
                                    "CardDetect",    "ModuleVersion", "Revision", "Serial",
                                    "16bit",         "Protected", "157"};

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
  if (user.State(field) == FieldState::kFull) return true;
  session.out().Line("r7k " + std::string(command) +
                     ": the box did not tell its firmware version; is it connected and on?");
  return false;
}

constexpr size_t kModuleBytes = 524288;
// Files kept or compared are read whole up to this; the handlers refuse larger modules.
constexpr size_t kLargestFile = size_t{64} << 20;
// Read-backs of a written module before a byte that reads wrong counts as not written.
constexpr int kReadBacks = 3;

// Reads the module in the box into `path` from the open main dialog; true when written.
bool ReadInto(BoxSession& session, DialogUser& user, const std::string& path) {
  StoreSetString(session.app(), "CurrentVirtualModule", path);
  StoreDeleteItem(session.main(), "_Status");
  session.ScriptNextCheck();
  const auto end = session.PressAndWait(user, "ReadModule", "Read Module");
  return end && end->ok && StoreGetString(session.main(), "_Status").value_or("") == "Module read";
}

// Undoes a read that could not be trusted: the file the user had goes back, or the new one
// goes away. Says, for the user, what became of `path`.
std::string PutBack(const std::string& path, const std::optional<std::vector<uint8_t>>& kept) {
  std::string error;
  if (kept) {
    if (WriteFileAtomically(path, *kept, &error)) return path + " holds what it held before.";
    return path + " may hold damaged bytes: putting its old content back failed (" + error + ").";
  }
  std::error_code ec;
  if (fs::remove(path, ec) || !fs::exists(path, ec)) return "nothing was kept.";
  return path + " may hold damaged bytes: it could not be removed (" + ec.message() + ").";
}

// Refers the user to --yes after a question was answered no.
int Refused(BoxSession& session, std::string_view command) {
  session.out().Line("r7k " + std::string(command) + ": stopped at the question \"" +
                     *session.view().refused() + "\"; run again with --yes to answer yes.");
  return kExitFailure;
}

}  // namespace

int VersionCommand(std::span<const std::string> argv, CommandIo& io) {
  Started started;
  int status = kExitOk;
  if (!Prepare(argv, kVersionUsage, io, started, status)) return status;
  BoxSession session(io, false);
  if (!session.Start(*started.target)) return kExitFailure;
  session.RunDialog("ModuleVersion",
                    [&](DialogUser& user) { session.WaitForEnd(user, "Module Version"); });
  if (StoreGetType(session.app(), "ModuleVersion") == kItemNone) {
    session.out().Line("r7k version: the box did not answer.");
    return kExitFailure;
  }
  static constexpr std::array<const char*, 1> kItems = {"ModuleVersion"};
  PrintItems(session.app(), kItems, started.args.Has("--json"), io);
  return kExitOk;
}

int CheckCommand(std::span<const std::string> argv, CommandIo& io) {
  Started started;
  int status = kExitOk;
  if (!Prepare(argv, kCheckUsage, io, started, status)) return status;
  BoxSession session(io, false);
  if (!session.Start(*started.target)) return kExitFailure;
  session.ScriptNextCheck();
  if (session.RunDialog("CheckModule") != 1026) return kExitFailure;
  if (StoreGetType(session.app(), "Type") == kItemNone)
    session.out().Line("The flash chip on the module is not one of the known chips.");
  PrintItems(session.app(), kCheckItems, started.args.Has("--json"), io);
  return kExitOk;
}

int ReadCommand(std::span<const std::string> argv, CommandIo& io) {
  Started started;
  int status = kExitOk;
  if (!Prepare(argv, kReadUsage, io, started, status)) return status;
  const std::string path = fs::absolute(started.args.positional[0]).lexically_normal().string();
  BoxSession session(io, started.args.Has("--yes"));
  if (!session.Start(*started.target)) return kExitFailure;
  // The main dialog opens on the file as the desktop program does on its command line; that
  // it cannot show the directory of a file still to be read is no news.
  session.view().Mute(kDirectoryLoadCaption);
  StoreSetString(session.app(), "CurrentVirtualModule", path);
  const bool verify = !started.args.Has("--no-verify");
  ScratchFolder scratch;
  if (verify && !scratch.ok()) {
    io.err << "r7k read: no temporary folder for the second read.\n";
    return kExitFailure;
  }
  // A read that fails its comparison must leave the user's file as it was: keep it to put back.
  const std::string target = ModuleFileFor(path);
  std::optional<std::vector<uint8_t>> kept;
  std::error_code ec;
  if (verify && fs::exists(target, ec)) {
    kept = ReadFileBytes(target, kLargestFile);
    if (!kept) {
      io.err << "r7k read: cannot read " << target << " to keep it should the reads differ.\n";
      return kExitFailure;
    }
  }
  bool read = false;
  std::vector<std::vector<uint8_t>> reads;  // the first, then those made to compare with it
  std::string failed;                       // why the reads could not be compared
  auto keep_read = [&](const std::string& file) {
    reads.push_back(ReadFileBytes(file, kModuleBytes).value_or(std::vector<uint8_t>{}));
  };
  auto read_more = [&](DialogUser& user, const std::string& file) {
    if (!ReadInto(session, user, file)) return false;
    keep_read(file);
    return true;
  };
  session.RunDialog("R7kProg", [&](DialogUser& user) {
    if (!ButtonReady(session, user, "ReadModule", "read")) return;
    read = ReadInto(session, user, path);
    if (!read && !session.view().refused()) ExplainNoStart(session, user, "read");
    if (!read || !verify) return;
    keep_read(target);
    session.out().Line("Reading the module a second time to compare...");
    if (!read_more(user, scratch.File("second.r7v"))) {
      failed = "the module could not be read a second time to compare";
      return;
    }
    const size_t differ = CountDifferences(reads[0], reads[1]);
    if (differ == 0) return;
    // A damaged line changes bytes here and there: a third read outvotes it.
    session.out().Line("The two reads differ in " + std::to_string(differ) +
                       " bytes; reading a third time to settle them...");
    if (!read_more(user, scratch.File("third.r7v")))
      failed = "the two reads differ and the module could not be read a third time";
  });
  if (!read) {
    if (session.view().refused()) return Refused(session, "read");
    return kExitFailure;
  }
  if (verify) {
    std::optional<std::vector<uint8_t>> settled;
    if (failed.empty()) {
      settled = reads.size() == 3 ? Settle(reads[0], reads[1], reads[2]) : reads[0];
      if (!settled) failed = "the three reads differ at the same byte, so the line damaged data";
    }
    std::string error;
    if (settled && reads.size() == 3 && !WriteFileAtomically(target, *settled, &error)) {
      failed = "the settled bytes could not be written (" + error + ")";
      settled.reset();
    }
    if (!settled) {
      session.out().Line("r7k read: " + failed + "; " + PutBack(target, kept) + " Read again.");
      return kExitFailure;
    }
    session.out().Line(reads.size() == 3 ? "Settled: every byte agreed in two of the three reads."
                                         : "Compared: the two reads agree.");
  }
  io.out << target << '\n';
  return kExitOk;
}

int WriteCommand(std::span<const std::string> argv, CommandIo& io) {
  Started started;
  int status = kExitOk;
  if (!Prepare(argv, kWriteUsage, io, started, status)) return status;
  const std::string path = fs::absolute(started.args.positional[0]).lexically_normal().string();
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) {
    io.err << "r7k write: cannot open " << path << ".\n";
    return kExitFailure;
  }
  const bool verify = !started.args.Has("--no-verify");
  BoxSession session(io, started.args.Has("--yes"));
  if (!session.Start(*started.target)) return kExitFailure;
  ScratchFolder scratch;
  if (verify && !scratch.ok()) {
    io.err << "r7k write: no temporary folder to read the module back into.\n";
    return kExitFailure;
  }
  const auto file = ReadFileBytes(path, kLargestFile);
  if (verify && !file) {
    io.err << "r7k write: cannot read " << path << " to compare the module with it.\n";
    return kExitFailure;
  }
  WriteVerifier verifier(file.value_or(std::vector<uint8_t>{}));
  bool written = false;
  bool read_back = false;
  StoreSetString(session.app(), "CurrentVirtualModule", path);
  session.RunDialog("R7kProg", [&](DialogUser& user) {
    if (!ButtonReady(session, user, "WriteModule", "write")) return;
    session.ScriptNextCheck();
    const auto end = session.PressAndWait(user, "WriteModule", "Write Module");
    written = end && end->ok;
    if (!end && !session.view().refused()) ExplainNoStart(session, user, "write");
    if (!written || !verify) return;
    session.out().Line("Reading the module back to compare it...");
    // A damaged line can change a byte read back; the bytes still in doubt are read again.
    for (int round = 0; round < kReadBacks && !verifier.verified(); ++round) {
      if (round > 0)
        session.out().Line(std::to_string(verifier.open()) +
                           " bytes read back differ from the file; reading back again...");
      // A file of its own each time: the read asks before it replaces one.
      const std::string image = scratch.File("verify" + std::to_string(round) + ".r7v");
      read_back = ReadInto(session, user, image);
      if (!read_back) return;
      verifier.Add(ReadFileBytes(image, kModuleBytes).value_or(std::vector<uint8_t>{}));
    }
  });
  if (!written) {
    if (session.view().refused()) return Refused(session, "write");
    return kExitFailure;
  }
  if (!verify) return kExitOk;
  if (!read_back) {
    session.out().Line("r7k write: the module could not be read back to compare it.");
    return kExitFailure;
  }
  session.out().Line(verifier.Message());
  return verifier.verified() ? kExitOk : kExitFailure;
}

int EraseCommand(std::span<const std::string> argv, CommandIo& io) {
  Started started;
  int status = kExitOk;
  if (!Prepare(argv, kEraseUsage, io, started, status)) return status;
  BoxSession session(io, started.args.Has("--yes"));
  if (!session.Start(*started.target)) return kExitFailure;
  // The main dialog offers no erasing; the "EraseModule" dialog does.
  bool erased = false;
  session.RunDialog("EraseModule", [&](DialogUser& user) {
    session.ScriptNextCheck();
    const auto end = session.PressAndWait(user, "EraseCard", "Erase Module");
    erased = end && end->ok;
    if (!end && !session.view().refused()) ExplainNoStart(session, user, "erase");
  });
  if (erased) return kExitOk;
  if (session.view().refused()) return Refused(session, "erase");
  return kExitFailure;
}

}  // namespace r7k::cli
