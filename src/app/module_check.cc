#include "app/module_check.h"

#include "app/flash_chips.h"
#include "app/strings.h"
#include "support/ascii.h"

namespace r7k {
namespace {

constexpr const char* kCheckRows[] = {
    "led green\r",     "version\r",       "model\r",
    "setb 0\r",        "setc 0\r",        "seta 0\r",
    "bits\r",          "rep 00 00 02\r",  "cd\r",
    "id2\r",           "read 00 00 00\r", "read 00 01 00\r",
    "read 00 02 00\r", "read 10 00 00\r", "led off\r",
};

// Items a new check starts without.
constexpr const char* kClearedAtStart[] = {"CardType", "CardDetect", "Type", "Rewritable", "Read0"};

std::string From(std::string_view text, std::size_t at) {
  return at < text.size() ? std::string(text.substr(at)) : std::string();
}

std::string_view Part(std::string_view text, std::size_t at, std::size_t count) {
  return at < text.size() ? text.substr(at, count) : std::string_view();
}

ItemChange Text(std::string name, std::string text) {
  return {std::move(name), ItemChange::kText, std::move(text), 0};
}
ItemChange Number(std::string name, int64_t number) {
  return {std::move(name), ItemChange::kNumber, {}, number};
}
ItemChange Delete(std::string name) { return {std::move(name), ItemChange::kDelete, {}, 0}; }

bool IsReadRow(std::string_view text) { return StartsWithIgnoringCase(text, "read"); }

// Module bytes 0x110 and 0x180 say whether the module is write-protected; modules of the
// sewing-machine projects and an absent card never are.
int64_t ProtectedFlag(std::string_view answer, const CheckItems& items) {
  for (const char* project : {"Viking", "Pfaff", "Artista"})
    if (StartsWithIgnoringCase(items.project, project)) return 0;
  if (!StartsWithIgnoringCase(items.card_detect, "Present")) return 0;
  if (Part(answer, 300, 2) == "00") return 1;
  const std::string_view at110 = Part(answer, 62, 2);
  return at110 == "22" || at110 == "00" ? 1 : 0;
}

void GiveScriptAccess(FieldHandle field, std::string_view tag) {
  const int index = DlgIndexFromTag(field, tag);
  if (index >= 0) DlgSetAccess(field, index, kAccessScript);
}

AnswerResult CheckBeforeEcho(ModuleOpStep& step) {
  if (StartsWithIgnoringCase(step.answer, "timeout")) {
    step.Message(kMbIconInformation, kStrDeviceNotResponding);
    DropOperation(step);
    GiveScriptAccess(step.field, "CardInfo");
    return {AnswerVerdict::kHandled, kResultSuppress};
  }
  // A line error: the same command again, without looking at the echo.
  if (StartsWithIgnoringCase(step.answer, "overrun")) return {AnswerVerdict::kRetry};
  return {};
}

AnswerResult CheckExamine(ModuleOpStep& step) {
  StoreHandle store = step.store();
  const CheckItems items{StoreGetString(store, "CardType").value_or(""),
                         StoreGetString(store, "CardDetect").value_or(""),
                         StoreGetString(store, "Project").value_or("")};
  ApplyItemChanges(store, ExamineCheckAnswer(step.answer, items));
  return {};
}

int CheckComplete(ModuleOpStep& step) {
  step.ClearStatus();
  GiveScriptAccess(step.field, "EraseCard");
  GiveScriptAccess(step.field, "CardInfo");
  if (EqualsIgnoringCase(StoreGetString(step.store(), "CardDetect").value_or(""), "Not Present")) {
    // The dialog stays open for another try with a module inserted.
    step.ok = false;
    const int status = DlgIndexFromTag(step.field, "_Status");
    const std::string text = AppString(kStrNoCard);
    if (status >= 0) DlgSetField(step.field, status, text.c_str(), -1);
    return kResultSuppress;
  }
  if (step.ctx.cancelled) return kResultEnd;
  return step.Default();  // "Return": the dialog ends with 1026
}

int CheckTimedOut(ModuleOpStep& step) {
  step.Message(kMbIconExclamation, kStrTimedOut);
  DropOperation(step);
  GiveScriptAccess(step.field, "CardInfo");
  return kResultSuppress;
}

}  // namespace

const ModuleOp kModuleCheckOp = {
    .name = "Check Module",
    .caption = kStrModuleInfo,
    .start_limit_ms = kLimit60s,
    .row_limit_ms = kLimit1s,
    .takes_cancel = true,
    .is_cancellable = IsReadRow,
    .before_echo = CheckBeforeEcho,
    .examine = CheckExamine,
    .complete = CheckComplete,
    .timed_out = CheckTimedOut,
};

TableHandle BuildModuleCheckTable() {
  TableHandle table = NewCommandTable();
  for (const char* row : kCheckRows) AppendCommandRow(table, row);
  return table;
}

std::vector<ItemChange> ExamineCheckAnswer(std::string_view answer, const CheckItems& items) {
  std::vector<ItemChange> out;
  auto begins = [answer](std::string_view prefix) {
    return StartsWithIgnoringCase(answer, prefix);
  };
  if (begins("version")) {
    out.push_back(Text("ModuleVersion", From(CutAnswer(answer), 9)));
  } else if (begins("model")) {
    const std::string_view cut = CutAnswer(answer);
    const char digit = cut.size() > 22 ? cut[22] : '\0';
    out.push_back(Text("Revision", digit >= '0' && digit <= '3' ? From(cut, 22) : "0"));
  } else if (begins("rep")) {
    out.push_back(Number("Serial", HexWordAt(answer, 12)));
  } else if (begins("bits")) {
    if (Part(answer, 6, 2) == "16") out.push_back(Number("16bit", 1));
  } else if (begins("CD")) {
    const std::string detect = From(CutAnswer(answer), 4);
    out.push_back(Text("CardType", detect));
    out.push_back(Text("CardDetect", detect));
  } else if (begins("ID2")) {
    if (const auto match = MatchFlashChip(From(answer, 3))) out = FlashChipItemChanges(*match);
  } else if (begins("read 00 00 00")) {
    if (items.card_type == "Scan 'n Sew 1") out.push_back(Text("Type", "SnS1"));
    if (!EqualsIgnoringCase(items.card_detect, "Not Present")) {
      out.push_back(Text("Read0", std::string(Part(answer, 28, 32))));
    } else {
      for (const char* name : {"CopyRight", "Version", "Date", "Project"})
        out.push_back(Delete(name));
    }
  } else if (begins("read 00 01 00")) {
    out.push_back(Number("Protected", ProtectedFlag(answer, items)));
    out.push_back(Part(answer, 212, 6) == "570140" ? Number("157", 1) : Delete("157"));
  } else if (begins("read 00 02 00")) {
    if (EqualsIgnoringCase(Part(answer, 62, 14), "656D62726F6964")) out.push_back(Number("157", 1));
  } else if (begins("read 10 00 00")) {
    out.push_back(Text("Read1000", std::string(Part(answer, 28, 32))));
  }
  return out;
}

int CB_ModuleInfo(FieldHandle field, int message, WParam wparam, LParam lparam) {
  StoreHandle store = DlgItemStore(field);
  if (message == kMsgIdle && ModuleOpRunning(store)) return kResultBusy;
  if (message != kMsgActivate) return DlgFieldDefaultProc(field, message, wparam, lparam);
  if (ModuleOpRunning(store)) return kResultSuppress;  // a second press while one runs
  TableHandle table = BuildModuleCheckTable();
  for (const char* item : kClearedAtStart) StoreDeleteItem(store, item);
  StartModuleOp(field, "hModuleInfo", table, kLimit1s);
  TableFree(table);
  return DlgFieldDefaultProc(field, message, wparam, lparam);
}

int CB_hModuleInfo(FieldHandle field, int message, WParam wparam, LParam lparam) {
  return ModuleOpHandler(kModuleCheckOp, field, message, wparam, lparam);
}

int CB_Cancel(FieldHandle field, int message, WParam wparam, LParam lparam) {
  if (message != kMsgActivate) return DlgFieldDefaultProc(field, message, wparam, lparam);
  if (!ModuleOpRunning(DlgItemStore(field))) return kResultEnd;
  CancelModuleOp();
  return kResultSuppress;
}

// The window's close box: the engine already turns it into a press of the Cancel button (id 2),
// which cancels a running check and otherwise ends the dialog, so nothing is left to do here.
int CB_Cross(FieldHandle field, int message, WParam wparam, LParam lparam) {
  return DlgFieldDefaultProc(field, message, wparam, lparam);
}

bool RunModuleCheck(FieldHandle field) {
  return DlgRunDialog(DlgWindow(field), "CheckModule", DlgMainStore(field), DlgItemStore(field)) ==
         kCheckModuleResult;
}

}  // namespace r7k
