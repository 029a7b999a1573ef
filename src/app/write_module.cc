#include "app/write_module.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>
#include <vector>

#include "app/module_check.h"
#include "app/module_file.h"
#include "app/read_module.h"
#include "store/item_store.h"
#include "support/ascii.h"

namespace r7k {
namespace {

constexpr char kStrNoSourceFile[] = "No file Card.Out!";
constexpr char kStrNoDataMemory[] = "Cannot get memory for card data!";

}  // namespace

std::optional<WriteMessage> EraseAnswerMessage(std::string_view answer) {
  const size_t last_space = answer.rfind(' ');
  if (last_space == std::string_view::npos)
    return WriteMessage{"Severe failure!", kMbIconInformation};
  // Line end and prompt.
  const std::string_view cut = answer.substr(0, answer.size() >= 3 ? answer.size() - 3 : 0);
  const std::string_view word = last_space < cut.size() ? cut.substr(last_space + 1) : "";
  if (EqualsIgnoringCase(word, "ok")) return std::nullopt;
  return WriteMessage{cut, kMbIconExclamation};
}

namespace {

// A buffer for `size` source bytes, all 0xFF until they are filled in.
std::optional<WriteData> NewWriteData(uintmax_t size, WriteMessage* refusal) {
  // An empty source would erase the module and write nothing: refuse it like an oversized one.
  if (size == 0 || size > kMaxWriteSize) {
    *refusal = {kStrFileSize, kMbIconStop};
    return std::nullopt;
  }
  WriteData data;
  data.size = uint32_t(size);
  data.buffer = PoolBuffer(WriteBufferLength(data.size));
  if (!data.buffer) {
    *refusal = {kStrNoDataMemory, kMbIconInformation};
    return std::nullopt;
  }
  std::fill(data.buffer.data(), data.buffer.data() + data.buffer.size(), 0xFF);
  return data;
}

}  // namespace

std::optional<WriteData> LoadWriteBytes(std::span<const uint8_t> bytes, WriteMessage* refusal) {
  auto data = NewWriteData(bytes.size(), refusal);
  if (data) std::copy(bytes.begin(), bytes.end(), data->buffer.data());
  return data;
}

std::optional<WriteData> LoadWriteFile(const std::string& path, WriteMessage* refusal) {
  std::error_code error;
  std::ifstream file(path, std::ios::binary);
  const auto length = std::filesystem::file_size(path, error);
  if (!file || error) {
    *refusal = {kStrNoSourceFile, kMbIconStop};
    return std::nullopt;
  }
  auto data = NewWriteData(length, refusal);
  if (!data) return std::nullopt;
  file.read(reinterpret_cast<char*>(data->buffer.data()), std::streamsize(data->size));
  // A file that shrank since it was sized cannot be written as it was.
  if (file.gcount() != std::streamsize(data->size)) {
    *refusal = {kStrNoSourceFile, kMbIconStop};
    return std::nullopt;
  }
  return data;
}

bool WriteTypeSupported(std::string_view type) { return EqualsIgnoringCase(type, kWriteType); }

// --- The handler -------------------------------------------------------------------------------

namespace {

constexpr char kCardDataItem[] = "_pCardData_";
constexpr char kCardSizeItem[] = "CardSize";

// The data a starting callback hands to the handler field at its kick-off. "_pCardData_" holds
// its number, so a stale or foreign number finds nothing rather than a freed block.
struct PendingWrite {
  int64_t id = 0;
  PoolBuffer buffer;
};
PendingWrite& Pending() {
  static auto* pending = new PendingWrite;
  return *pending;
}
int64_t HandOver(PoolBuffer buffer) {
  PendingWrite& p = Pending();
  p.buffer = std::move(buffer);
  return ++p.id;
}
PoolBuffer TakeOver(int64_t id) {
  PendingWrite& p = Pending();
  if (id != p.id) return {};
  return std::move(p.buffer);
}

// What a write or erase has done to the module so far, kept beside its context.
struct WriteRun {
  bool erase_sent = false;    // the module may be erased from here on
  bool erase_failed = false;  // the box reported a failed erase: the data rows were dropped
};
std::map<const ModuleOpContext*, WriteRun>& WriteRuns() {
  static auto* runs = new std::map<const ModuleOpContext*, WriteRun>;
  return *runs;
}

void ShowStatus(FieldHandle field, std::string_view text) {
  const int status = DlgIndexFromTag(field, "_Status");
  if (status >= 0) DlgSetField(field, status, std::string(text).c_str(), int(text.size()));
}

void AddBytesDone(ModuleOpContext& ctx, uint64_t bytes) {
  ctx.progress.bytes_done = std::min(ctx.progress.bytes_done + bytes, ctx.progress.bytes_total);
}

void ForgetWriteData(ModuleOpStep& step) {
  StoreDeleteItem(step.store(), kCardDataItem);
  step.ctx.data = PoolBuffer();
  WriteRuns().erase(&step.ctx);
}

void PatchWriteIndex(std::string& text, uint32_t k) { PatchDataRowIndex(text, k); }

// A stop drops the data rows, and the erase too while it was not sent: a module stopped
// before its erase keeps what it held.
bool IsCancellableWriteRow(std::string_view row) { return IsDataRow(row) || IsEraseText(row); }

void KickOffWrite(ModuleOpStep& step) {
  WriteRuns()[&step.ctx] = {};
  step.ctx.data = TakeOver(StoreGetNumeric(step.store(), kCardDataItem));
  if (step.ctx.data) {
    step.ctx.progress.bytes_total = uint64_t(
        std::clamp<int64_t>(StoreGetNumeric(step.store(), kCardSizeItem), 0, kMaxWriteSize));
  } else {
    step.ctx.progress.operation = "Erase Module";
  }
}

// A data row goes out as the next piece that is not erased, with its 128 bytes as hex text.
bool MakeWriteCommand(ModuleOpStep& step, const CommandRow& row, OutgoingCommand& out) {
  if (IsEraseText(row.text)) WriteRuns()[&step.ctx].erase_sent = true;
  if (!IsDataRow(row.text)) return true;
  ModuleOpContext& ctx = step.ctx;
  const bool send_erased = StoreGetNumeric(step.store(), "debug") != 0;
  const auto piece = NextDataPiece(row.text, row.Count(), ctx.repeat, send_erased, ctx.data.span());
  const auto command = piece ? DataCommand(piece->row, ctx.data.span()) : std::nullopt;
  if (!command) {
    DlgMessageFmt(step.window(), kMbIconStop, AppString(kStrWriteModule).c_str(),
                  "No data to write for \"%s\"; the write was stopped.",
                  std::string(TrimBlanks(row.text)).c_str());
    ForgetWriteData(step);
    return false;
  }
  ctx.repeat = piece->counter;
  ctx.progress.commands_total -= std::min(ctx.progress.commands_total, piece->skipped);
  AddBytesDone(ctx, uint64_t(piece->skipped) * kWritePieceSize);
  out.bytes = *command;
  out.bytes.push_back('\0');
  out.length = uint32_t(out.bytes.size());
  out.shown = piece->row;
  return true;
}

AnswerResult WriteBeforeEcho(ModuleOpStep& step) {
  // A dead line answers every resend of a piece with "Timeout": one box for the run of
  // resends, not one to click away per resend before the retries give up.
  if (step.ctx.failures == 0 && StartsWithIgnoringCase(step.answer, "timeout"))
    step.Message(kMbIconInformation, kStrLinkTimeout);
  return {};
}

AnswerResult ExamineWriteAnswer(ModuleOpStep& step) {
  if (IsEraseText(step.answer)) {
    if (const auto message = EraseAnswerMessage(step.answer)) {
      DlgMessage(step.window(), message->style, "", message->text.Resolve());
      // Programming a module that was not erased would leave wrong data behind: the data rows
      // are dropped and "led off" still goes out.
      WriteRuns()[&step.ctx].erase_failed = true;
      step.ctx.cancelled = true;
    }
  } else if (IsDataRow(step.last_command)) {
    AddBytesDone(step.ctx, kWritePieceSize);
  }
  return {};
}

int CompleteWrite(ModuleOpStep& step) {
  StoreHandle store = step.store();
  const WriteRun run = WriteRuns()[&step.ctx];
  const bool writing = static_cast<bool>(step.ctx.data);
  // What was written, to compare the module with.
  const size_t size = std::min<size_t>(
      size_t(std::clamp<int64_t>(StoreGetNumeric(store, kCardSizeItem), 0, kMaxWriteSize)),
      step.ctx.data.size());
  const std::vector<uint8_t> written(step.ctx.data.data(), step.ctx.data.data() + size);
  ForgetWriteData(step);
  if (run.erase_failed) {
    DlgBeep();
    step.ok = false;
    return step.Default();
  }
  // Stopped: the dialog stays (its result 1 would end the program), and the user learns what
  // the module now holds. An erase alone that was sent has done all it would have.
  if (step.ctx.cancelled && (writing || !run.erase_sent)) {
    DlgBeep();
    step.Message(kMbIconExclamation, run.erase_sent ? kStrStoppedWrite : kStrStoppedBeforeErase);
    return kResultSuppress;
  }
  step.ok = true;
  // Verified: the completion is told after the read-back.
  if (writing && !step.ctx.cancelled && StartReadBack(step.field, written)) return kResultSuppress;
  DlgBeep();
  if (StoreGetType(store, "NoCompletedMessage") != kItemNone)
    StoreDeleteItem(store, "NoCompletedMessage");
  else
    step.Message(kMbIconInformation, kStrOperationCompleted);
  return step.Default();
}

int WriteTimedOut(ModuleOpStep& step) {
  if (IsEraseText(step.last_command)) {
    // The erase of a whole chip may take long: the wait goes on.
    ShowStatus(step.field, "Erase taking too long");
    DlgBeep();
    RegisterModuleOpNotification(step.field, step.field->tag, kLimit60s);
    return kResultSuppress;
  }
  step.Message(kMbIconExclamation, kStrTimedOut);
  ForgetWriteData(step);
  DropOperation(step);
  return step.Default();
}

void WriteStopped(ModuleOpStep& step) { ForgetWriteData(step); }

// The image of the last read, when a read context still holds one.
std::optional<WriteData> LoadMemoryImage(StoreHandle store, WriteMessage* refusal) {
  const auto* handle =
      reinterpret_cast<const void*>(static_cast<intptr_t>(StoreGetNumeric(store, "_carddata_")));
  if (IsLiveModuleOpContext(handle)) {
    const auto* ctx = static_cast<const ModuleOpContext*>(handle);
    const size_t length = std::min<size_t>(ctx->data_length, ctx->data.size());
    if (length > 0) return LoadWriteBytes(std::span(ctx->data.data(), length), refusal);
  }
  *refusal = {"There is no module image in memory to write; read a module first.", kMbIconStop};
  return std::nullopt;
}

// Stores the command table and starts the handler field; tells the user when that fails.
bool StartWrite(FieldHandle field, std::string_view handler_tag, TableHandle table, int caption) {
  const bool started = StartModuleOp(field, handler_tag, table, kLimit10s);
  TableFree(table);
  if (!started) {
    TakeOver(Pending().id);
    DlgMessageEx(DlgWindow(field), kMbIconStop, caption,
                 "The module operation could not be started.");
  }
  return started;
}

// The module check and the type test that a write and an erase begin with.
bool ModuleIsWritable(FieldHandle field, bool check, int caption) {
  if (check && !RunModuleCheck(field)) {
    DlgMessageEx(DlgWindow(field), kMbIconStop, caption, kStrNoModule);
    return false;
  }
  const std::string type = StoreGetString(DlgItemStore(field), "Type").value_or("");
  if (!WriteTypeSupported(type)) {
    DlgMessageEx(DlgWindow(field), kMbIconStop, caption, kStrNotSupported);
    return false;
  }
  ShowStatus(field, type);
  return true;
}

}  // namespace

const ModuleOp kWriteModuleOp = {
    .name = "Write Module",
    .caption = kStrWriteModule,
    .start_limit_ms = kLimit60s,
    .row_limit_ms = kLimit60s,
    .takes_cancel = true,
    .bytes_total = 0,
    .is_repeated = IsDataRow,
    .is_cancellable = IsCancellableWriteRow,
    .patch_index = PatchWriteIndex,
    .make_command = MakeWriteCommand,
    .kick_off = KickOffWrite,
    .before_echo = WriteBeforeEcho,
    .retry_repeated_mismatch = true,
    .examine = ExamineWriteAnswer,
    .complete = CompleteWrite,
    .timed_out = WriteTimedOut,
    .stopped = WriteStopped,
};

int CB_WriteModule(FieldHandle field, int message, WParam wparam, LParam lparam) {
  StoreHandle store = DlgItemStore(field);
  if (message == kMsgIdle && ModuleOpRunning(store)) return kResultBusy;
  if (message != kMsgActivate) return DlgFieldDefaultProc(field, message, wparam, lparam);
  // Another operation's table would be overwritten by the check.
  if (ModuleOpRunning(store)) return kResultSuppress;
  const int result = DlgFieldDefaultProc(field, message, wparam, lparam);

  const std::string source = StoreGetString(store, "CurrentVirtualModule").value_or("");
  TableHandle pes = TableNew(1);
  TableWriteRow(pes, kRowAppend, std::vector<std::string>{source});
  StoreSetTable(store, "PESTable", pes);
  TableFree(pes);

  const bool memory = StoreGetNumeric(store, "_Memory_") != 0;
  const bool debug = StoreGetNumeric(store, "debug") != 0;
  if (!ModuleIsWritable(field, !memory || debug, kStrWriteModule)) return kResultSuppress;

  WriteMessage refusal;
  auto data = memory ? LoadMemoryImage(store, &refusal) : LoadWriteFile(source, &refusal);
  if (!data) {
    DlgMessageEx(DlgWindow(field), refusal.style, kStrWriteModule, refusal.text);
    return kResultSuppress;
  }
  // The module is erased first: a file that is no virtual module would cost what it held.
  if (!memory && StoreGetNumeric(store, "ForceWrite") == 0) {
    const LoadedModule module = LoadVirtualModule(source);
    if (!module.ok()) {
      DlgMessageEx(DlgWindow(field), kMbIconStop, kStrWriteModule,
                   std::string_view(ModuleLoadMessage(module, source)));
      return kResultSuppress;
    }
  }
  StoreSetNumeric(store, kCardSizeItem, data->size);
  StoreSetNumeric(store, kCardDataItem, HandOver(std::move(data->buffer)));

  TableHandle table = NewCommandTable();
  AppendCommandRow(table, "led red\r");
  AppendCommandRow(table, "erase40\r");
  AppendBlockRows(store, table, 0, 0, "ws40");
  AppendCommandRow(table, "led off\r");
  StartWrite(field, "hWriteModule", table, kStrWriteModule);
  return result;
}

int CB_hWriteModule(FieldHandle field, int message, WParam wparam, LParam lparam) {
  return ModuleOpHandler(kWriteModuleOp, field, message, wparam, lparam);
}

int CB_Erase(FieldHandle field, int message, WParam wparam, LParam lparam) {
  StoreHandle store = DlgItemStore(field);
  if (message == kMsgIdle && ModuleOpRunning(store)) return kResultBusy;
  if (message != kMsgActivate) return DlgFieldDefaultProc(field, message, wparam, lparam);
  if (ModuleOpRunning(store)) return kResultSuppress;
  if (!ModuleIsWritable(field, true, kStrEraseModule)) return kResultSuppress;
  if (DlgMessageEx(DlgWindow(field), kMbOkCancel | kMbDefaultButton2, kStrEraseModule,
                   kStrAreYouSure) != kIdOk) {
    return kResultSuppress;
  }
  // An erase has no data: nothing an earlier write left behind goes with it.
  StoreDeleteItem(store, kCardDataItem);
  TakeOver(Pending().id);
  TableHandle table = NewCommandTable();
  AppendCommandRow(table, "led red\r");
  AppendCommandRow(table, "erase40\r");
  AppendCommandRow(table, "led off\r");
  StartWrite(field, "hCardWrite", table, kStrEraseModule);
  return DlgFieldDefaultProc(field, message, wparam, lparam);
}

}  // namespace r7k
