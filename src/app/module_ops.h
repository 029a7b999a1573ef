#pragma once

// The module operations (check, box version, read, write, erase) and the one command-table
// stepping they share.
//
// A running operation is a table item "CmdTable" in the application store: its rows are the
// box commands still to send, each row a command text ending in "\r" and a repeat count
// ("" = once, "256" for block rows). A starting callback writes the table, registers the
// notification of its hidden handler field and posts an empty kick-off message on "R7kProg".
// From then on every activation of the handler field (an answer arrived, or the time limit
// ran out) goes through RunModuleOpStep, which sends one command at a time to the link thread
// on "R7P" and hands each answer to the operation's hooks.
//
// An operation is described by a ModuleOp: its limits, which rows are repeated and
// cancellable, how the repetition index goes into a command, how a mismatching echo is
// handled, and hooks for the answer, the completion and the time-out. Adding an operation
// (the write and erase use the same stepping) means one more ModuleOp and a handler callback
// that calls ModuleOpHandler with it:
//
//   const ModuleOp kWriteOp = {.name = "Write Module", .caption = kStrWriteModule, ...};
//   int CB_hWriteModule(FieldHandle f, int m, WParam w, LParam l) {
//     return ModuleOpHandler(kWriteOp, f, m, w, l);
//   }
//
// Retries of a broken answer are bounded: after ModuleOpLimits::max_retries consecutive
// retries of the same piece the operation stops with a message and sends nothing more.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dialog_engine.h"
#include "store/item_store.h"
#include "support/pool_heap.h"

namespace r7k {

// --- Progress, for the front ends --------------------------------------------------------------

struct ModuleOpProgress {
  std::string operation;        // "Check Module", "Module Version", "Read Module",
                                // "Write Module", "Erase Module"
  uint32_t commands_done = 0;   // answers handled so far
  uint32_t commands_total = 0;  // commands the operation sends at most
                                // (a write lowers it as erased pieces are skipped)
  uint64_t bytes_done = 0;      // module bytes read or written so far
  uint64_t bytes_total = 0;     // 524288 for a read, the file size for a write
  bool finished = false;        // last call of an operation (completed, cancelled,
                                // failed)
  bool ok = false;              // with finished: the operation completed
  uint32_t resent = 0;          // commands sent again after a broken or missing answer
  // A line for the user: what the running pass is for ("Reading the module a second time to
  // compare..."), or with finished the outcome ("Compared: the two reads agree."); may be empty.
  std::string note;
};
using ModuleOpProgressHook = std::function<void(const ModuleOpProgress&)>;
// Called on the dialog thread after each answer is handled and once at the end.
void SetModuleOpProgressHook(ModuleOpProgressHook hook);  // empty: none
// How far the operation is, in thousandths (per mille keeps the numbers small whatever the
// module's size): by bytes where it counts them, else by commands.
int ModuleOpPerMille(const ModuleOpProgress& progress);
// The progress bar's text: "Read Module: 1024 of 524288 bytes", or the pass's note with the
// percentage ("Reading the module back... 42%").
std::string ModuleOpProgressText(const ModuleOpProgress& progress);

// --- Names shared by the operations ------------------------------------------------------------

inline constexpr char kCmdTableItem[] = "CmdTable";
inline constexpr char kOpChannel[] = "R7kProg";  // answers, kick-offs, the cancel marker
inline constexpr char kLinkChannel[] = "R7P";    // requests to the link thread
inline constexpr std::string_view kCancelMarker = "_Cancel_";
inline constexpr std::size_t kModuleImageBytes = 524288;

// Registration limits of the handler fields, in ms.
inline constexpr uint32_t kLimit1s = 1000;
inline constexpr uint32_t kLimit3s = 3000;
inline constexpr uint32_t kLimit10s = 10000;
inline constexpr uint32_t kLimit60s = 60000;

// --- Command table rows ------------------------------------------------------------------------

// A row is the cells {command text, repeat count}; stored, each cell ends in a zero byte.
struct CommandRow {
  std::string text;   // ends in "\r"
  std::string count;  // decimal; empty: sent once
  // The stored length: text, its zero, count, its zero ("led red\r" gives 10).
  uint32_t StoredLength() const { return uint32_t(text.size() + count.size() + 2); }
  uint32_t Count() const;  // the count as a number, 0 when empty or not a number
};

// A new two-column command table; the caller frees it with TableFree.
TableHandle NewCommandTable();
void AppendCommandRow(TableHandle table, std::string_view text, std::string_view count = {});
std::optional<CommandRow> ReadCommandRow(const Table* table, int row);
bool ModuleOpRunning(StoreHandle store);  // "CmdTable" exists

// --- The operation context ---------------------------------------------------------------------

struct VerifyRun;  // module_verify.h

// Owned by each handler field (in its field memory) for the life of the field.
struct ModuleOpContext {
  std::optional<std::string> last_command;  // the command last sent, until its answer is handled
  uint32_t repeat = 0;       // repetitions of row 0 still to send after the current one
  PoolBuffer data;           // module image being read or written
  uint32_t data_length = 0;  // bytes placed in `data` so far (read)
  bool cancelled = false;    // the "_Cancel_" marker arrived
  // Bookkeeping of this program beyond the classic fields.
  uint32_t failures = 0;      // consecutive retries of the current piece
  std::string last_shown;     // what "_Status" showed for the last command
  ModuleOpProgress progress;  // what the front ends are told
  // The passes of a verified read: kept across the kick-offs, so not cleared by Clear().
  std::shared_ptr<VerifyRun> verify;

  // Frees what the context owns and clears every field but `verify`.
  void Clear();
};

// The context of the handler field; nullptr for a field that has none.
ModuleOpContext* ModuleOpContextOf(FieldHandle field);
// Whether the pointer is the context of a live handler field (a handle read back from an item).
bool IsLiveModuleOpContext(const void* context);

// --- The operation description -----------------------------------------------------------------

struct ModuleOp;

// What a hook works on during one activation of the handler field.
struct ModuleOpStep {
  const ModuleOp& op;
  FieldHandle field;
  WParam wparam;
  LParam lparam;
  ModuleOpContext& ctx;
  std::string_view answer;    // the answer without its terminating zero (answer hooks)
  std::string last_command;   // the command the answer belongs to ("" when none)
  bool ok = false;            // set by a hook that ends the operation successfully
  bool completed = false;     // the rows ran out and the completion hook ran
  bool another_pass = false;  // the completion started the next pass (StartNextPass)

  StoreHandle store() const { return DlgItemStore(field); }
  WindowHandle window() const { return DlgWindow(field); }
  // The engine's default processing of message 31 (the field's scripted action runs).
  int Default() const;
  // Shows a message with the operation's caption.
  int Message(int style, int text_id) const;
  // Clears the field "_Status" of the dialog (to IdleStatus).
  void ClearStatus() const;
};

enum class AnswerVerdict {
  kGoOn,     // the answer is taken: the stepping goes on with the next command
  kRetry,    // the same repetition of row 0 is sent again (bounded by max_retries)
  kHandled,  // the hook ended this activation itself; the stepping returns `result`
};
struct AnswerResult {
  AnswerVerdict verdict = AnswerVerdict::kGoOn;
  int result = kResultSuppress;  // with kHandled
};

// A command ready to go to the link thread.
struct OutgoingCommand {
  std::string bytes;    // what is sent (the link sends it up to its first zero byte)
  uint32_t length = 0;  // the length given to ChannelSend
  std::string shown;    // what "_Status" shows; empty: the command
};

struct ModuleOp {
  const char* name = "";                // ModuleOpProgress::operation
  int caption = 0;                      // string id of the caption of its messages
  uint32_t start_limit_ms = kLimit60s;  // registration after the kick-off
  uint32_t row_limit_ms = kLimit60s;    // registration for every further command
  bool takes_cancel = true;             // honours the "_Cancel_" marker
  uint64_t bytes_total = 0;             // progress: module bytes the operation moves

  // Rows sent count times with the repetition index patched in; nullptr: none.
  bool (*is_repeated)(std::string_view row_text) = nullptr;
  // Rows dropped after a cancel (while a later row exists); nullptr: none.
  bool (*is_cancellable)(std::string_view row_text) = nullptr;
  // Puts repetition k (0 for the first sending) into the command text of a repeated row.
  void (*patch_index)(std::string& text, uint32_t k) = nullptr;
  // Makes the command for row 0 after its counter was stepped; may lower ctx.repeat to skip
  // repetitions. nullptr: the row's (patched) text with the row's stored length. False
  // stops the operation (the hook has told the user).
  bool (*make_command)(ModuleOpStep& step, const CommandRow& row, OutgoingCommand& out) = nullptr;

  // At the kick-off, after the context was cleared (take data from items ...); nullptr: none.
  void (*kick_off)(ModuleOpStep& step) = nullptr;
  // Looks at an answer before its echo is compared with the last command (link failures such
  // as "Timeout" and "overrun"). kGoOn: the echo test follows. nullptr: none.
  AnswerResult (*before_echo)(ModuleOpStep& step) = nullptr;
  // A mismatching echo: retried when the last command is of a repeated row and this is set;
  // otherwise text 106 "Command mismatch!" is shown and the answer still examined.
  bool retry_repeated_mismatch = false;
  // Examines an answer whose echo was tested; nullptr: nothing to take from it.
  AnswerResult (*examine)(ModuleOpStep& step) = nullptr;
  // No row left. Returns the handler's result.
  int (*complete)(ModuleOpStep& step) = nullptr;
  // No answer within the registration limit. Returns the handler's result.
  int (*timed_out)(ModuleOpStep& step) = nullptr;
  // The operation is stopped after too many retries (after the message, before it is
  // dropped); nullptr: none.
  void (*stopped)(ModuleOpStep& step) = nullptr;
};

// The handler field callback of an operation: creates, clears and destroys the context with the
// field (messages 1, 3, 2) and runs the stepping on message 31.
int ModuleOpHandler(const ModuleOp& op, FieldHandle field, int message, WParam wparam,
                    LParam lparam);

// One activation of the handler field (message 31).
int RunModuleOpStep(const ModuleOp& op, FieldHandle field, WParam wparam, LParam lparam);

// Ends the operation where it stands (time-out, failure): "CmdTable" goes, the field
// "_Status" is cleared, the last command and the data buffer are freed.
void DropOperation(ModuleOpStep& step);

// Sends row 0 (steps the counter, patches the index, registers the notification with `limit`
// and sends); for hooks that go on by themselves. kResultSuppress, or the result of stopping.
int SendNextCommand(ModuleOpStep& step, uint32_t limit_ms);

// From a completion hook: runs the operation again with `table` as its rows (a verified read's
// next pass). The context keeps its cancel flag; the progress starts again with `note`.
int StartNextPass(ModuleOpStep& step, TableHandle table, std::string note);

// Starts an operation from a starter callback: stores `table` as "CmdTable" (the caller still
// frees it), registers the notification for the handler field tagged `handler_tag` with
// `limit_ms` (discarding a stale waiting message first) and posts the empty kick-off.
// False when the handler field is missing or the channel refused.
bool StartModuleOp(FieldHandle field, std::string_view handler_tag, TableHandle table,
                   uint32_t limit_ms);
// Registers the notification of the handler field tagged `handler_tag` on "R7kProg".
int RegisterModuleOpNotification(FieldHandle field, std::string_view handler_tag,
                                 uint32_t limit_ms);

// Asks the running module operation to stop, as the Stop and Cancel buttons do: the cancel
// marker goes to the handlers' channel, and the handler drops the rows still to send of its
// kind (reads, pieces, an erase not yet sent) but still sends "led off". Any thread may call
// it; false when the channel refused the marker.
bool CancelModuleOp();

// What the status line shows while no operation runs: that the simulated box is in use when
// "Port1" is "sim", else nothing.
std::string IdleStatus(StoreHandle store);

// Posts the command of the field with `control_id` to the field's dialog.
void PostFieldCommand(FieldHandle field, int control_id);

// --- Limits tests may lower ---------------------------------------------------------------------

struct ModuleOpLimits {
  uint32_t max_retries = 20;      // consecutive retries of one piece before the operation stops
  uint32_t max_limit_ms = 0;      // caps every registration limit; 0: none
  uint32_t speed_pause_ms = 100;  // after the "speed" order of the version query
};
const ModuleOpLimits& CurrentModuleOpLimits();
// Tests only: replaces the limits (a default-constructed value restores them).
void SetModuleOpLimitsForTesting(ModuleOpLimits limits);

// --- Answers as plain text ---------------------------------------------------------------------

// True when `answer` begins with `prefix`, comparing without regard to case.
bool StartsWithIgnoringCase(std::string_view answer, std::string_view prefix);
// The answer ended two characters before its first "?" (the line end before the prompt).
std::string_view CutAnswer(std::string_view answer);
// Whether the answer echoes the command (its final "\r" left out), without regard to case.
bool EchoMatches(std::string_view answer, std::string_view command);
// Four hexadecimal digits from `at` (HexNibble each; a missing digit counts as 15).
uint32_t HexWordAt(std::string_view text, std::size_t at);

// Puts k as two lower-case hexadecimal digits into the middle address byte of a command of
// the form "WORD BB MM LL\r" ("read 03 00 00" → "read 03 1f 00" for k = 31).
void PatchMiddleAddressByte(std::string& text, uint32_t k);

// A change of an item that an answer asks for: set to text or number, or delete.
struct ItemChange {
  std::string name;
  enum Kind { kText, kNumber, kDelete } kind = kText;
  std::string text;
  int64_t number = 0;
  bool operator==(const ItemChange&) const = default;
};
void ApplyItemChanges(StoreHandle store, const std::vector<ItemChange>& changes);

}  // namespace r7k
