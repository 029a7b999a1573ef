#include "app/module_ops.h"

#include <algorithm>
#include <charconv>
#include <new>
#include <set>

#include "app/strings.h"
#include "link/channel.h"
#include "link/simulated_box.h"
#include "module/hex_text.h"
#include "support/ascii.h"

namespace r7k {
namespace {

ModuleOpProgressHook& ProgressHook() {
  static auto* hook = new ModuleOpProgressHook;
  return *hook;
}

ModuleOpLimits& Limits() {
  static ModuleOpLimits limits;
  return limits;
}

// Contexts of live handler fields; a handle read back from an item is checked against it.
std::set<const void*>& LiveContexts() {
  static auto* live = new std::set<const void*>;
  return *live;
}

// What a handler field keeps in its field memory.
struct ContextHolder {
  static constexpr uint64_t kMagic = 0x52374B4F50435458;  // "R7KOPCTX"
  uint64_t magic = kMagic;
  ModuleOpContext context;
};

void Report(const ModuleOpProgress& progress) {
  if (ProgressHook()) ProgressHook()(progress);
}

uint32_t Capped(uint32_t limit_ms) {
  const uint32_t cap = Limits().max_limit_ms;
  return cap ? std::min(limit_ms, cap) : limit_ms;
}

bool IsCancelMarker(const ChannelMessage* m) {
  return m->size >= kCancelMarker.size() &&
         StartsWithIgnoringCase(ChannelMessageData(m), kCancelMarker);
}

}  // namespace

void DropOperation(ModuleOpStep& step) {
  StoreDeleteItem(step.store(), kCmdTableItem);
  step.ClearStatus();
  step.ctx.last_command.reset();
  step.ctx.data = PoolBuffer();
  step.ctx.data_length = 0;
  step.ctx.verify.reset();
}

namespace {

// Too many broken answers to the same piece: nothing more is sent.
int StopAfterRetries(ModuleOpStep& step) {
  const std::string command(
      TrimBlanks(step.ctx.last_shown.empty() ? step.last_command : step.ctx.last_shown));
  DlgMessageFmtEx(step.window(), kMbIconStop, step.op.caption, kStrTooManyRetries, command.c_str(),
                  static_cast<unsigned>(step.ctx.failures));
  if (step.op.stopped) step.op.stopped(step);
  DropOperation(step);
  return kResultSuppress;
}

uint32_t CommandsIn(const Table* table) {
  uint32_t total = 0;
  for (int r = 0; r < TableRows(table); ++r) {
    const auto row = ReadCommandRow(table, r);
    if (row) total += std::max<uint32_t>(row->Count(), 1);
  }
  return total;
}

// Steps 6 to 8 after an answer: drop cancelled rows, retire row 0 when it is done; true when a
// row remains to be sent.
bool RetireRows(ModuleOpStep& step) {
  StoreHandle store = step.store();
  TableHandle table = StoreGetTable(store, kCmdTableItem);
  if (!table) return false;
  if (step.ctx.cancelled) {
    while (TableRows(table) > 1) {
      const auto next = ReadCommandRow(table, 1);
      if (!next || !step.op.is_cancellable || !step.op.is_cancellable(next->text)) break;
      TableRemoveRow(table, 0);
    }
    step.ctx.repeat = 0;
  }
  if (step.ctx.repeat == 0) TableRemoveRow(table, 0);
  const bool more = TableRows(table) > 0;
  StoreSetTable(store, kCmdTableItem, table);
  TableFree(table);
  return more;
}

int OwnRegistration(ModuleOpStep& step, uint32_t limit_ms) {
  const int r = ChannelNotifyMessage(
      kOpChannel, step.window(), kMsgCommand,
      static_cast<uint32_t>(DlgGetFieldInfo(step.field, kThisField, kFieldControlId)),
      static_cast<uint32_t>(DlgGetFieldInfo(step.field, kThisField, kFieldWindow)),
      Capped(limit_ms));
  // A message is waiting already, so no notification would come: wake the field now.
  if (r == kChannelMessageWaiting)
    PostFieldCommand(step.field,
                     static_cast<int>(DlgGetFieldInfo(step.field, kThisField, kFieldControlId)));
  return r;
}

void FinishProgress(ModuleOpStep& step) {
  step.ctx.progress.finished = true;
  step.ctx.progress.ok = step.ok;
  Report(step.ctx.progress);
}

int Step(ModuleOpStep& step) {
  const ModuleOp& op = step.op;
  ModuleOpContext& ctx = step.ctx;
  ChannelMessage* m = nullptr;
  if (ChannelReceive(kOpChannel, 0, true, &m) != kChannelOk || !m) {
    step.last_command = ctx.last_command.value_or("");
    if (op.timed_out) return op.timed_out(step);
    DropOperation(step);
    return step.Default();
  }
  if (op.takes_cancel && IsCancelMarker(m)) {
    ctx.cancelled = true;
    ChannelFreeMessage(m);
    m = nullptr;
    if (ChannelReceive(kOpChannel, 0, true, &m) != kChannelOk || !m) {
      OwnRegistration(step, kLimit60s);
      return kResultSuppress;
    }
  }
  if (m->size == 0) {  // the kick-off
    ChannelFreeMessage(m);
    ctx.Clear();
    TableHandle table = StoreGetTable(step.store(), kCmdTableItem);
    if (!table) {
      step.Message(kMbIconInformation, kStrMissingCommandTable);
      return kResultSuppress;
    }
    ctx.progress.operation = op.name;
    ctx.progress.commands_total = CommandsIn(table);
    ctx.progress.bytes_total = op.bytes_total;
    TableFree(table);
    if (op.kick_off) op.kick_off(step);
    Report(ctx.progress);
    return SendNextCommand(step, op.start_limit_ms);
  }

  // An answer to the last command. The link ends every answer with a zero byte.
  std::string answer(ChannelMessageData(m));
  ChannelFreeMessage(m);
  if (!answer.empty() && answer.back() == '\0') answer.pop_back();
  step.answer = answer;
  // The answer settles the last command; a hook that sends again sets a new one.
  const bool had_command = ctx.last_command.has_value();
  step.last_command = ctx.last_command.value_or("");
  ctx.last_command.reset();

  AnswerResult r;
  if (op.before_echo) r = op.before_echo(step);
  if (r.verdict == AnswerVerdict::kGoOn && had_command && !EchoMatches(answer, step.last_command)) {
    if (op.retry_repeated_mismatch && op.is_repeated && op.is_repeated(step.last_command))
      r.verdict = AnswerVerdict::kRetry;
    else
      step.Message(kMbIconInformation, kStrCommandMismatch);
  }
  if (r.verdict == AnswerVerdict::kGoOn && op.examine) r = op.examine(step);
  if (r.verdict == AnswerVerdict::kHandled) return r.result;

  if (r.verdict == AnswerVerdict::kRetry) {
    if (++ctx.failures >= Limits().max_retries) return StopAfterRetries(step);
    ++ctx.repeat;
    ++ctx.progress.resent;
  } else {
    ctx.failures = 0;
    ++ctx.progress.commands_done;
  }
  Report(ctx.progress);
  if (!RetireRows(step)) {
    step.ok = !ctx.cancelled;
    step.completed = true;
    StoreDeleteItem(step.store(), kCmdTableItem);
    return op.complete ? op.complete(step) : step.Default();
  }
  return SendNextCommand(step, op.row_limit_ms);
}

}  // namespace

void SetModuleOpProgressHook(ModuleOpProgressHook hook) { ProgressHook() = std::move(hook); }

const ModuleOpLimits& CurrentModuleOpLimits() { return Limits(); }
void SetModuleOpLimitsForTesting(ModuleOpLimits limits) { Limits() = limits; }

uint32_t CommandRow::Count() const {
  uint32_t value = 0;
  const auto [end, ec] = std::from_chars(count.data(), count.data() + count.size(), value);
  return ec == std::errc() && end == count.data() + count.size() ? value : 0;
}

TableHandle NewCommandTable() { return TableNew(2); }

void AppendCommandRow(TableHandle table, std::string_view text, std::string_view count) {
  TableWriteRow(table, kRowAppend, {std::string(text), std::string(count)});
}

std::optional<CommandRow> ReadCommandRow(const Table* table, int row) {
  auto text = TableCell(table, row, 0);
  if (!text) return std::nullopt;
  return CommandRow{std::move(*text), TableCell(table, row, 1).value_or("")};
}

bool ModuleOpRunning(StoreHandle store) { return StoreGetType(store, kCmdTableItem) != kItemNone; }

void ModuleOpContext::Clear() {
  last_command.reset();
  repeat = 0;
  data = PoolBuffer();
  data_length = 0;
  cancelled = false;
  failures = 0;
  last_shown.clear();
  progress = ModuleOpProgress{};
}

ModuleOpContext* ModuleOpContextOf(FieldHandle field) {
  auto* holder = static_cast<ContextHolder*>(DlgFieldMemRetrieve(field));
  return holder && holder->magic == ContextHolder::kMagic ? &holder->context : nullptr;
}

bool IsLiveModuleOpContext(const void* context) {
  return context && LiveContexts().count(context) > 0;
}

int ModuleOpStep::Default() const {
  return DlgFieldDefaultProc(field, kMsgActivate, wparam, lparam);
}

int ModuleOpStep::Message(int style, int text_id) const {
  return DlgMessageEx(window(), style, op.caption, text_id);
}

void ModuleOpStep::ClearStatus() const {
  const int status = DlgIndexFromTag(field, "_Status");
  const std::string idle = IdleStatus(store());
  if (status >= 0) DlgSetField(field, status, idle.c_str(), static_cast<int>(idle.size()));
}

std::string IdleStatus(StoreHandle store) {
  const bool sim = IsSimulatedPortName(StoreGetString(store, "Port1").value_or(""));
  return sim ? std::string(kSimulatedBoxInUse) : std::string();
}

int ModuleOpHandler(const ModuleOp& op, FieldHandle field, int message, WParam wparam,
                    LParam lparam) {
  switch (message) {
    case kMsgFieldCreated:
      if (!ModuleOpContextOf(field)) {
        if (void* memory = DlgFieldMemAlloc(field, sizeof(ContextHolder))) {
          auto* holder = new (memory) ContextHolder;
          LiveContexts().insert(&holder->context);
        }
      }
      break;
    case kMsgFieldDestroyed:
      if (ModuleOpContext* ctx = ModuleOpContextOf(field)) {
        LiveContexts().erase(ctx);
        auto* holder = static_cast<ContextHolder*>(DlgFieldMemRetrieve(field));
        holder->~ContextHolder();
        holder->magic = 0;
      }
      break;
    case kMsgDialogOpened:
      if (ModuleOpContext* ctx = ModuleOpContextOf(field)) {
        ctx->Clear();
        ctx->verify.reset();
      }
      break;
    case kMsgActivate: return RunModuleOpStep(op, field, wparam, lparam);
    default: break;
  }
  return DlgFieldDefaultProc(field, message, wparam, lparam);
}

int RunModuleOpStep(const ModuleOp& op, FieldHandle field, WParam wparam, LParam lparam) {
  ModuleOpContext* ctx = ModuleOpContextOf(field);
  if (!ctx) return DlgFieldDefaultProc(field, kMsgActivate, wparam, lparam);
  ModuleOpStep step{op, field, wparam, lparam, *ctx, {}, {}};
  const bool was_running = ModuleOpRunning(step.store());
  const int result = Step(step);
  // A completion may start another operation at once (a write's read-back): this one still
  // ended. A next pass of the same operation did not.
  if (was_running && (step.completed || !ModuleOpRunning(step.store())) && !step.another_pass)
    FinishProgress(step);
  return result;
}

int SendNextCommand(ModuleOpStep& step, uint32_t limit_ms) {
  StoreHandle store = step.store();
  ModuleOpContext& ctx = step.ctx;
  TableHandle table = StoreGetTable(store, kCmdTableItem);
  const auto row = ReadCommandRow(table, 0);
  TableFree(table);
  if (!row) {
    step.Message(kMbIconInformation, kStrNoMemoryForCommand);
    StoreDeleteItem(store, kCmdTableItem);
    return kResultSuppress;
  }
  const uint32_t count = row->Count();
  if (ctx.repeat > 0)
    --ctx.repeat;
  else
    ctx.repeat = count > 0 ? count - 1 : 0;
  CommandRow patched = *row;
  if (count > 0 && step.op.patch_index && step.op.is_repeated && step.op.is_repeated(patched.text))
    step.op.patch_index(patched.text, count - ctx.repeat - 1);
  OutgoingCommand out;
  out.bytes = patched.text;
  out.bytes.push_back('\0');
  out.bytes += patched.count;
  out.bytes.push_back('\0');
  out.length = patched.StoredLength();
  if (step.op.make_command && !step.op.make_command(step, patched, out)) {
    DropOperation(step);
    return kResultSuppress;
  }
  out.length = std::min<uint32_t>(out.length, static_cast<uint32_t>(out.bytes.size()));
  const std::string command = out.bytes.substr(0, out.bytes.find('\0'));
  ctx.last_shown = TrimBlanks(out.shown.empty() ? command : out.shown);
  const int status = DlgIndexFromTag(step.field, "_Status");
  if (status >= 0)
    DlgSetField(step.field, status, ctx.last_shown.c_str(),
                static_cast<int>(ctx.last_shown.size()));
  OwnRegistration(step, limit_ms);
  ChannelSend(kLinkChannel, kOpChannel, out.bytes.data(), out.length);
  ctx.last_command = command;
  return kResultSuppress;
}

int StartNextPass(ModuleOpStep& step, TableHandle table, std::string note) {
  ModuleOpContext& ctx = step.ctx;
  StoreSetTable(step.store(), kCmdTableItem, table);
  ctx.repeat = 0;
  ctx.failures = 0;
  ctx.data = PoolBuffer();
  ctx.data_length = 0;
  const uint32_t resent = ctx.progress.resent;
  ctx.progress = ModuleOpProgress{};
  ctx.progress.operation = step.op.name;
  ctx.progress.commands_total = CommandsIn(table);
  ctx.progress.bytes_total = step.op.bytes_total;
  ctx.progress.resent = resent;
  ctx.progress.note = std::move(note);
  step.another_pass = true;
  Report(ctx.progress);
  return SendNextCommand(step, step.op.start_limit_ms);
}

int RegisterModuleOpNotification(FieldHandle field, std::string_view handler_tag,
                                 uint32_t limit_ms) {
  const int index = DlgIndexFromTag(field, handler_tag);
  if (index < 0) return kChannelBadArguments;
  return ChannelNotifyMessage(kOpChannel, DlgWindow(field), kMsgCommand,
                              static_cast<uint32_t>(DlgGetFieldInfo(field, index, kFieldControlId)),
                              static_cast<uint32_t>(DlgGetFieldInfo(field, index, kFieldWindow)),
                              Capped(limit_ms));
}

bool StartModuleOp(FieldHandle field, std::string_view handler_tag, TableHandle table,
                   uint32_t limit_ms) {
  StoreHandle store = DlgItemStore(field);
  if (DlgIndexFromTag(field, handler_tag) < 0) return false;
  StoreSetTable(store, kCmdTableItem, table);
  int r = RegisterModuleOpNotification(field, handler_tag, limit_ms);
  if (r == kChannelMessageWaiting) {
    // A stale answer of an earlier operation: thrown away.
    ChannelReceive(kOpChannel, 0, true, nullptr);
    r = RegisterModuleOpNotification(field, handler_tag, limit_ms);
  }
  if (r != kChannelOk || ChannelSend(kOpChannel, kOpChannel, nullptr, 0) != kChannelOk) {
    StoreDeleteItem(store, kCmdTableItem);
    return false;
  }
  return true;
}

int ModuleOpPerMille(const ModuleOpProgress& p) {
  const bool by_bytes = p.bytes_total > 0;
  const uint64_t total = by_bytes ? p.bytes_total : p.commands_total;
  const uint64_t done = by_bytes ? p.bytes_done : p.commands_done;
  return total ? static_cast<int>(std::min<uint64_t>(done, total) * 1000 / total) : 0;
}

std::string ModuleOpProgressText(const ModuleOpProgress& p) {
  if (!p.note.empty()) return p.note + " " + std::to_string(ModuleOpPerMille(p) / 10) + "%";
  const bool by_bytes = p.bytes_total > 0;
  const uint64_t total = by_bytes ? p.bytes_total : p.commands_total;
  const uint64_t done = by_bytes ? p.bytes_done : p.commands_done;
  return p.operation + ": " + std::to_string(done) + " of " + std::to_string(total) +
         (by_bytes ? " bytes" : " commands");
}

bool CancelModuleOp() {
  return ChannelSend(kOpChannel, kOpChannel, kCancelMarker.data(),
                     static_cast<uint32_t>(kCancelMarker.size())) == kChannelOk;
}

void PostFieldCommand(FieldHandle field, int control_id) {
  const int index = DlgIndexFromId(field, control_id);
  const LParam window =
      index >= 0 ? static_cast<LParam>(DlgGetFieldInfo(field, index, kFieldWindow)) : 0;
  PostWindowMessage(DlgWindow(field), kMsgCommand, static_cast<WParam>(control_id), window);
}

bool StartsWithIgnoringCase(std::string_view answer, std::string_view prefix) {
  return answer.size() >= prefix.size() &&
         EqualsIgnoringCase(answer.substr(0, prefix.size()), prefix);
}

std::string_view CutAnswer(std::string_view answer) {
  const std::size_t prompt = answer.find('?');
  if (prompt == std::string_view::npos) return answer;
  return answer.substr(0, prompt >= 2 ? prompt - 2 : 0);
}

bool EchoMatches(std::string_view answer, std::string_view command) {
  if (!command.empty() && command.back() == '\r') command.remove_suffix(1);
  return StartsWithIgnoringCase(answer, command);
}

uint32_t HexWordAt(std::string_view text, std::size_t at) {
  uint32_t value = 0;
  for (std::size_t i = at; i < at + 4; ++i)
    value = value << 4 | HexNibble(i < text.size() ? text[i] : '\0');
  return value;
}

void PatchMiddleAddressByte(std::string& text, uint32_t k) {
  const std::size_t at = text.find(' ');
  if (at == std::string::npos || at + 5 >= text.size()) return;
  static constexpr char kDigits[] = "0123456789abcdef";
  text[at + 4] = kDigits[(k >> 4) & 0xF];
  text[at + 5] = kDigits[k & 0xF];
}

void ApplyItemChanges(StoreHandle store, const std::vector<ItemChange>& changes) {
  for (const ItemChange& c : changes) {
    switch (c.kind) {
      case ItemChange::kText: StoreSetString(store, c.name, c.text); break;
      case ItemChange::kNumber: StoreSetNumeric(store, c.name, c.number); break;
      case ItemChange::kDelete: StoreDeleteItem(store, c.name); break;
    }
  }
}

}  // namespace r7k
