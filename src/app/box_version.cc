#include "app/box_version.h"

#include <chrono>
#include <thread>

#include "app/frame.h"
#include "app/strings.h"
#include "link/channel.h"
#include "platform/usb_serial_ports.h"

namespace r7k {
namespace {

constexpr char kVersionRow[] = "rep 00 00 02\r";
constexpr int kHiddenCancel = 2;
// The port of a query that got no version; no new query starts by itself while "Port1" is the
// same, so a missing box does not cost two time-outs after every action in the main dialog.
constexpr char kFailedPortItem[] = "_VersionFailedPort";

// "Timeout" from the link: the box did not answer at this rate. Once more at the partner rate.
AnswerResult VersionBeforeEcho(ModuleOpStep& step) {
  if (!StartsWithIgnoringCase(step.answer, "timeout")) return {};
  StoreHandle store = step.store();
  DeleteTableRow(store, kCmdTableItem, 0);
  if (StoreTableRowCount(store, kCmdTableItem) > 0) {
    ChannelSend(kLinkChannel, kOpChannel, "speed", 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(CurrentModuleOpLimits().speed_pause_ms));
    return {AnswerVerdict::kHandled, SendNextCommand(step, kLimit3s)};
  }
  DropOperation(step);
  PostFieldCommand(step.field, kHiddenCancel);
  return {AnswerVerdict::kHandled, kResultSuppress};
}

// Any other answer ends the query (a mismatch was shown already).
AnswerResult VersionExamine(ModuleOpStep& step) {
  if (const auto version = ExamineVersionAnswer(step.answer)) {
    StoreHandle store = step.store();
    StoreSetString(store, "ModuleVersion", *version);
    // The box answers sooner with a short latency of its USB converter.
    SetLatencyTimer(StoreGetString(store, "Port1").value_or(""), 3);
    step.ok = true;
  }
  PostFieldCommand(step.field, kHiddenCancel);
  DropOperation(step);
  return {AnswerVerdict::kHandled, step.Default()};
}

int VersionTimedOut(ModuleOpStep& step) {
  step.Message(kMbIconExclamation, kStrTimedOut);
  DropOperation(step);
  return kResultEnd;
}

bool HasVersion(StoreHandle store) { return StoreGetType(store, "ModuleVersion") != kItemNone; }

std::string Port(StoreHandle store) { return StoreGetString(store, "Port1").value_or(""); }

void RunVersionDialog(FieldHandle field) {
  StoreHandle store = DlgItemStore(field);
  DlgRunDialog(DlgWindow(field), "ModuleVersion", DlgMainStore(field), store);
  if (HasVersion(store))
    StoreDeleteItem(store, kFailedPortItem);
  else
    StoreSetString(store, kFailedPortItem, Port(store));
}

}  // namespace

const ModuleOp kVersionOp = {
    .name = "Module Version",
    .caption = kStrModuleInfo,
    .start_limit_ms = kLimit3s,
    .row_limit_ms = kLimit3s,
    .takes_cancel = false,
    .before_echo = VersionBeforeEcho,
    .examine = VersionExamine,
    .timed_out = VersionTimedOut,
};

TableHandle BuildVersionTable() {
  TableHandle table = NewCommandTable();
  AppendCommandRow(table, kVersionRow);
  AppendCommandRow(table, kVersionRow);  // used only after the first timed out
  return table;
}

std::optional<std::string> ExamineVersionAnswer(std::string_view answer) {
  if (!StartsWithIgnoringCase(answer, "rep")) return std::nullopt;
  const std::string_view cut = CutAnswer(answer);
  return std::string(cut.size() > 12 ? cut.substr(12) : std::string_view());
}

int CB_VersionDialog(FieldHandle field, int message, WParam wparam, LParam lparam) {
  StoreHandle store = DlgItemStore(field);
  if (!HasVersion(store)) {
    if (message == kMsgActivate) {
      StoreDeleteItem(store, kFailedPortItem);
      RunVersionDialog(field);
    } else if (message == kMsgIdle && StoreGetString(store, kFailedPortItem) != Port(store)) {
      RunVersionDialog(field);
    }
  }
  return DlgFieldDefaultProc(field, message, wparam, lparam);
}

int CB_GetBoxVersion(FieldHandle field, int message, WParam wparam, LParam lparam) {
  if (message != kMsgIdle) return DlgFieldDefaultProc(field, message, wparam, lparam);
  const int handler = DlgIndexFromTag(field, "hGetModVer");
  const int result = DlgFieldDefaultProc(
      field, message, static_cast<WParam>(DlgGetFieldInfo(field, handler, kFieldControlId)),
      static_cast<LParam>(DlgGetFieldInfo(field, handler, kFieldWindow)));
  StoreHandle store = DlgItemStore(field);
  if (HasVersion(store)) return result;
  // The engine idles after every message it handled: one query at a time.
  if (ModuleOpRunning(store)) return kResultBusy;
  TableHandle table = BuildVersionTable();
  StartModuleOp(field, "hGetModVer", table, kLimit1s);
  TableFree(table);
  return result;
}

int CB_hGetModVer(FieldHandle field, int message, WParam wparam, LParam lparam) {
  return ModuleOpHandler(kVersionOp, field, message, wparam, lparam);
}

}  // namespace r7k
