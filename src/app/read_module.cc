#include "app/read_module.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "app/directory_view.h"
#include "app/flash_chips.h"
#include "app/module_check.h"
#include "app/module_verify.h"
#include "app/strings.h"
#include "module/hex_text.h"
#include "platform/file_io.h"
#include "support/ascii.h"

namespace r7k {
namespace {

constexpr int kBlocks = 8;
constexpr std::size_t kBinaryDataAt = 16;
constexpr std::size_t kTextDataAt = 28;
constexpr std::size_t kTextLineStride = 34;

bool IsReadCommand(std::string_view text) {
  return StartsWithIgnoringCase(text, "read") || StartsWithIgnoringCase(text, "binread") ||
         StartsWithIgnoringCase(text, "b16read");
}

bool IsBinaryCommand(std::string_view text) {
  return StartsWithIgnoringCase(text, "bin") || StartsWithIgnoringCase(text, "b16");
}

// "Module read" or "Module not read": in the main store, and in the dialog's status field.
void TellResult(ModuleOpStep& step, bool written) {
  const char* text = written ? "Module read" : "Module not read";
  if (StoreHandle main = DlgMainStore(step.field)) StoreSetString(main, "_Status", text);
  const int status = DlgIndexFromTag(step.field, "_Status");
  if (status >= 0) DlgSetField(step.field, status, text, -1);
}

AnswerResult ReadExamine(ModuleOpStep& step) {
  if (!IsReadCommand(step.answer)) return {};
  ModuleOpContext& ctx = step.ctx;
  if (!ctx.data) {
    ctx.data = PoolBuffer(kModuleImageBytes);
    if (!ctx.data) {
      DlgMessageEx(step.window(), kMbIconStop, step.op.caption, "Cannot get memory for card data!");
      DropOperation(step);
      TellResult(step, false);
      return {AnswerVerdict::kHandled, kResultSuppress};
    }
  }
  const auto piece = DecodeReadAnswer(step.answer, IsBinaryCommand(step.last_command));
  if (!piece) return {AnswerVerdict::kRetry};
  // More answers than the image holds would be a box answering twice: not stored.
  if (ctx.data_length + kReadPieceBytes > ctx.data.size()) return {};
  std::memcpy(ctx.data.data() + ctx.data_length, piece->data(), piece->size());
  ctx.data_length += kReadPieceBytes;
  ctx.progress.bytes_done = ctx.data_length;
  return {};
}

bool IsReadBack(const ModuleOpContext& ctx) {
  return ctx.verify && ctx.verify->kind == VerifyRun::Kind::kReadBack;
}

// The read table for the box the last check found.
TableHandle ReadTableFor(StoreHandle store) {
  return BuildReadTable(
      ReadCommandPrefix(StoreGetNumeric(store, "Revision"), StoreGetNumeric(store, "16bit") != 0));
}

void ReadKickOff(ModuleOpStep& step) {
  if (step.ctx.verify) step.ctx.progress.note = step.ctx.verify->note;
}

// The read-back of a verified write is over: the write's completion, told now.
int EndReadBack(ModuleOpStep& step, const VerifyStep& verdict) {
  StoreHandle store = step.store();
  step.ok = verdict.next == VerifyStep::Next::kDone;
  DlgBeep();
  if (!step.ok) {
    DlgMessageEx(step.window(), kMbIconStop, kStrWriteModule, std::string_view(verdict.failure));
  } else if (StoreGetType(store, "NoCompletedMessage") != kItemNone) {
    StoreDeleteItem(store, "NoCompletedMessage");
    step.ctx.progress.note = verdict.note;  // told with the last figures instead
  } else {
    DlgMessageEx4(step.window(), kMbIconInformation, kStrWriteModule, kStrOperationCompleted, "\n",
                  std::string_view(verdict.note), 0);
  }
  return step.Default();
}

// One pass of a verified read is over: read again, or keep the image the reads agree on in the
// context's buffer for CardAnalyse. True when the read goes on as it was; false when this
// activation ended it (the result is in *result).
bool NextVerifiedPass(ModuleOpStep& step, int* result) {
  ModuleOpContext& ctx = step.ctx;
  std::shared_ptr<VerifyRun> run = ctx.verify;
  VerifyStep verdict =
      AddRead(*run, std::vector<uint8_t>(ctx.data.data(), ctx.data.data() + ctx.data_length));
  if (verdict.next == VerifyStep::Next::kReadAgain) {
    run->note = verdict.note;
    TableHandle table = ReadTableFor(step.store());
    *result = StartNextPass(step, table, verdict.note);
    TableFree(table);
    return false;
  }
  ctx.verify.reset();
  if (run->kind == VerifyRun::Kind::kReadBack) {
    ctx.data = PoolBuffer();
    ctx.data_length = 0;
    *result = EndReadBack(step, verdict);
    return false;
  }
  if (verdict.next == VerifyStep::Next::kFailed) {
    ctx.data = PoolBuffer();
    ctx.data_length = 0;
    DlgMessageEx(step.window(), kMbIconStop, kStrReadModule, std::string_view(verdict.failure));
    TellResult(step, false);
    step.ok = false;
    DlgBeep();
    *result = step.Default();
    return false;
  }
  ctx.data = PoolBuffer(verdict.image.size());
  std::copy(verdict.image.begin(), verdict.image.end(), ctx.data.data());
  ctx.data_length = static_cast<uint32_t>(verdict.image.size());
  ctx.progress.note = verdict.note;
  return true;
}

int ReadComplete(ModuleOpStep& step) {
  ModuleOpContext& ctx = step.ctx;
  StoreHandle store = step.store();
  if (ctx.cancelled && IsReadBack(ctx)) {
    ctx.verify.reset();
    ctx.data = PoolBuffer();
    ctx.data_length = 0;
    DlgMessageEx(step.window(), kMbIconExclamation, kStrWriteModule, kStrStoppedReadBack);
    return kResultSuppress;
  }
  ctx.verify = ctx.cancelled ? nullptr : ctx.verify;
  if (int result = 0; ctx.verify && !NextVerifiedPass(step, &result)) return result;
  int written = -1;
  if (!ctx.cancelled) {
    StoreSetNumeric(store, "_carddata_", reinterpret_cast<std::intptr_t>(&ctx));
    written = DlgRunProcedure(step.window(), "=CardAnalyse", nullptr, store);
    TellResult(step, written == 1);
    for (const char* item : {"_carddata_", "nStitches", "nPats"}) StoreDeleteItem(store, item);
  }
  ctx.data = PoolBuffer();
  ctx.data_length = 0;
  step.ok = written == 1;
  DlgBeep();
  // A cancelled read leaves the main dialog open: its result 1 would end the program.
  return ctx.cancelled ? kResultSuppress : step.Default();
}

// A read that could not go on: the Upload wrote nothing, a write's read-back compared nothing.
void TellReadFailed(ModuleOpStep& step, bool read_back) {
  if (read_back)
    DlgMessageEx(step.window(), kMbIconStop, kStrWriteModule, kStrNotReadBack);
  else
    TellResult(step, false);
}

int ReadTimedOut(ModuleOpStep& step) {
  const bool read_back = IsReadBack(step.ctx);
  step.Message(kMbIconExclamation, kStrTimedOut);
  // Nothing of this read is used any more, and no table is left to keep the dialog busy.
  DropOperation(step);
  TellReadFailed(step, read_back);
  return step.Default();
}

// After the retries gave up, before the operation is dropped.
void ReadStopped(ModuleOpStep& step) { TellReadFailed(step, IsReadBack(step.ctx)); }

}  // namespace

const ModuleOp kReadOp = {
    .name = "Read Module",
    .caption = kStrReadModule,
    .start_limit_ms = kLimit60s,
    .row_limit_ms = kLimit60s,
    .takes_cancel = true,
    .bytes_total = kModuleImageBytes,
    .is_repeated = IsReadCommand,
    .is_cancellable = IsReadCommand,
    .patch_index = PatchMiddleAddressByte,
    .kick_off = ReadKickOff,
    .retry_repeated_mismatch = true,
    .examine = ReadExamine,
    .complete = ReadComplete,
    .timed_out = ReadTimedOut,
    .stopped = ReadStopped,
};

std::string ReadCommandPrefix(int64_t revision, bool sixteen_bit) {
  if (sixteen_bit) return "b16";
  return revision >= 2 ? "bin" : "";
}

TableHandle BuildReadTable(std::string_view prefix) {
  TableHandle table = NewCommandTable();
  AppendCommandRow(table, "led green\r");
  for (int block = 0; block < kBlocks; ++block) {
    char row[32];
    std::snprintf(row, sizeof row, "%.3sread %02x 00 00\r", std::string(prefix).c_str(), block);
    AppendCommandRow(table, row, "256");
  }
  AppendCommandRow(table, "led off\r");
  return table;
}

std::optional<std::array<uint8_t, kReadPieceBytes>> DecodeReadAnswer(std::string_view answer,
                                                                     bool binary) {
  std::array<uint8_t, kReadPieceBytes> bytes{};
  if (binary) {
    if (answer.size() < kBinaryReadAnswerSize || answer[kBinaryReadAnswerSize - 1] != '?')
      return std::nullopt;
    std::memcpy(bytes.data(), answer.data() + kBinaryDataAt, bytes.size());
    return bytes;
  }
  if (answer.size() < kTextReadAnswerSize || answer[kTextReadAnswerSize - 1] != '?')
    return std::nullopt;
  for (std::size_t line = 0; line < 16; ++line) {
    const char* digits = answer.data() + kTextDataAt + kTextLineStride * line;
    for (std::size_t i = 0; i < 16; ++i)
      bytes[line * 16 + i] =
          static_cast<uint8_t>(HexNibble(digits[2 * i]) << 4 | HexNibble(digits[2 * i + 1]));
  }
  return bytes;
}

std::string ModuleFileFor(std::string_view current) {
  const std::size_t slash = current.find_last_of(kPathSeparators);
  if (current.size() <= 1 || slash == std::string_view::npos) return "module.r7v";
  const std::string_view last = current.substr(slash + 1);
  const std::size_t dot = last.find_last_of('.');
  if (dot != std::string_view::npos && EqualsIgnoringCase(last.substr(dot + 1), "r7v"))
    return std::string(current);
  return std::string(current.substr(0, slash + 1)) + "module.r7v";
}

int CB_ReadModule(FieldHandle field, int message, WParam wparam, LParam lparam) {
  StoreHandle store = DlgItemStore(field);
  if (message == kMsgIdle && ModuleOpRunning(store)) return kResultBusy;
  if (message != kMsgActivate) return DlgFieldDefaultProc(field, message, wparam, lparam);
  // Another operation's table would be overwritten by the check.
  if (ModuleOpRunning(store)) return kResultSuppress;
  const WindowHandle window = DlgWindow(field);
  const std::string folder = FolderOf(StoreGetString(store, "CurrentVirtualModule").value_or(""));
  std::error_code ec;
  if (!folder.empty() && !std::filesystem::is_directory(folder, ec)) {
    // The user chooses a virtual module first.
    const int browse = DlgIndexFromTag(field, "btnBrowse");
    if (browse >= 0)
      PostFieldCommand(field, static_cast<int>(DlgGetFieldInfo(field, browse, kFieldControlId)));
    return 2;
  }
  if (!RunModuleCheck(field)) {
    DlgMessageEx(window, kMbIconInformation, kStrReadModule, kStrNoModule);
    return 2;
  }
  const std::string type = StoreGetString(store, "Type").value_or("");
  if (!IsReadableChipType(type)) {
    DlgMessageEx(window, kMbIconStop, kStrReadModule, kStrNotSupported);
    return kResultSuppress;
  }
  const int status = DlgIndexFromTag(field, "_Status");
  if (status >= 0) DlgSetField(field, status, type.c_str(), -1);
  // The file is written only once the reads agree (or after the one read, unverified).
  if (ModuleOpContext* ctx =
          ModuleOpContextOf(DlgFieldFromIndex(field, DlgIndexFromTag(field, "hReadModule"))))
    ctx->verify =
        VerifyWanted(store) ? std::make_shared<VerifyRun>(VerifyRun::Kind::kSettle) : nullptr;
  TableHandle table = ReadTableFor(store);
  StartModuleOp(field, "hReadModule", table, kLimit10s);
  TableFree(table);
  return DlgFieldDefaultProc(field, message, wparam, lparam);
}

bool StartReadBack(FieldHandle field, std::span<const uint8_t> file) {
  StoreHandle store = DlgItemStore(field);
  const int index = DlgIndexFromTag(field, "hReadModule");
  ModuleOpContext* ctx = index >= 0 ? ModuleOpContextOf(DlgFieldFromIndex(field, index)) : nullptr;
  if (!ctx || !VerifyWanted(store)) return false;
  ctx->verify = std::make_shared<VerifyRun>(std::vector<uint8_t>(file.begin(), file.end()));
  TableHandle table = ReadTableFor(store);
  const bool started = StartModuleOp(field, "hReadModule", table, kLimit10s);
  TableFree(table);
  if (!started) ctx->verify.reset();
  return started;
}

int CB_hReadModule(FieldHandle field, int message, WParam wparam, LParam lparam) {
  return ModuleOpHandler(kReadOp, field, message, wparam, lparam);
}

int CardAnalyse(WindowHandle owner, int, int, StoreHandle, StoreHandle app_store) {
  const auto* ctx =
      reinterpret_cast<const ModuleOpContext*>(StoreGetNumeric(app_store, "_carddata_"));
  if (!IsLiveModuleOpContext(ctx) || !ctx->data) return -1;
  const std::string file =
      ModuleFileFor(StoreGetString(app_store, "CurrentVirtualModule").value_or(""));
  std::error_code ec;
  if (std::filesystem::exists(file, ec) &&
      DlgMessageFmtEx(owner, kMbOkCancel, kStrModuleLoadCaption, kStrFileExists, file.c_str()) ==
          kIdCancel)
    return -1;
  // Written beside the file and renamed over it: a failure leaves the user's file as it was.
  std::string error;
  if (!WriteFileAtomically(file, std::span<const uint8_t>(ctx->data.data(), ctx->data_length),
                           &error)) {
    DlgMessageEx(owner, kMbIconStop, kStrModuleLoadCaption, std::string_view(error));
    return -1;
  }
  StoreDeleteItem(app_store, "Directory");
  StoreSetString(app_store, "CurrentVirtualModule", file);
  return 1;
}

}  // namespace r7k
