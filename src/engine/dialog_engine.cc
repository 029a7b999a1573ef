#include "engine/dialog_engine.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <exception>
#include <set>

#include "engine/condition.h"
#include "engine/headless_view.h"
#include "engine/row_format.h"
#include "support/ascii.h"

namespace r7k {
namespace {

constexpr std::string_view kEngineCaption = "Dialog engine";

std::string Trim(std::string_view s) { return std::string(TrimBlanks(s)); }

std::size_t CopyWithZero(const std::string& text, char* buffer, std::size_t size) {
  if (!buffer || size == 0) return 0;
  const std::size_t n = std::min(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = 0;
  return n + 1;
}

// The items of attribute 13: "-(X)" deleted when the field acts, "X (.)" and "X (Y)" require
// X (Y is only what X depends on); "(X)", "(*)" and bare names only say what the field works
// on.
struct ItemList {
  std::vector<std::string> deletes;
  std::vector<std::string> required;
};

ItemList ParseItemList(std::string_view text) {
  ItemList list;
  std::string previous_name;
  for (std::string word : QuotedWords(text)) {
    std::string name;
    const auto open = word.find('(');
    if (open != std::string::npos && open > 0 && word[0] != '-') {
      name = word.substr(0, open);
      word = word.substr(open);
    }
    if (!name.empty()) previous_name = name;
    if (word.starts_with("-(") && word.ends_with(")")) {
      list.deletes.push_back(word.substr(2, word.size() - 3));
      previous_name.clear();
    } else if (word.starts_with("(") && word.ends_with(")")) {
      if (!previous_name.empty()) list.required.push_back(previous_name);
      previous_name.clear();
    } else {
      previous_name = word;
    }
  }
  return list;
}

struct EngineState {
  DialogLibrary library;
  View* view = nullptr;
  std::vector<Dialog*> running;
  int refresh_depth = 0;
  std::set<std::string> reported_unknown;
};

EngineState& Engine() {
  static auto* state = new EngineState;
  return *state;
}

HeadlessView& DefaultView() {
  static auto* view = [] {
    auto* v = new HeadlessView;
    v->SetIdleWait(std::chrono::milliseconds(0));
    return v;
  }();
  return *view;
}

void InstallClipboard() {
  SetClipboardSink([](const std::string& text) { DlgView().SetClipboardText(text); });
}

// Deeper nesting of dialogs means a script or callback that keeps opening dialogs.
constexpr std::size_t kMaxNesting = 32;

// Callbacks must not throw; if one does anyway, the user is told and the engine carries on as
// if the callback had suppressed the field's action.
template <typename Call>
int Guarded(std::string_view name, WindowHandle window, Call call) {
  try {
    return call();
  } catch (const std::exception& e) {
    DlgMessage(window, kMbIconStop, kEngineCaption,
               "'" + std::string(name) + "' failed: " + e.what());
  } catch (...) {
    DlgMessage(window, kMbIconStop, kEngineCaption, "'" + std::string(name) + "' failed");
  }
  return kResultSuppress;
}

int Send(Field& f, int message, WParam wparam = 0, LParam lparam = 0) {
  if (!f.proc) return DlgFieldDefaultProc(&f, message, wparam, lparam);
  return Guarded(f.callback.name, f.dialog->window,
                 [&] { return f.proc(&f, message, wparam, lparam); });
}

int TextOfCustomField(Field& f) {
  char buffer[1024] = "";
  const int n = Send(f, kMsgGetText, sizeof buffer, reinterpret_cast<LParam>(buffer));
  if (n >= 0 && static_cast<std::size_t>(n) < sizeof buffer) f.text.assign(buffer, n);
  return n;
}

Field* At(FieldHandle field, int index) {
  if (!field || !field->dialog) return nullptr;
  if (index == kThisField) return field;
  auto& fields = field->dialog->fields;
  if (index < 0 || static_cast<std::size_t>(index) >= fields.size()) return nullptr;
  return fields[index].get();
}

// The store a field's item is read from: the dialog's item store, or the main store when only
// that one holds the item (a dialog works on both; the sector view's items live in the main
// store).
StoreHandle BoundStore(const Field& f) {
  StoreHandle app = f.dialog->app_store;
  StoreHandle main = f.dialog->main_store;
  if (main && main != app && StoreGetType(app, f.tag) == kItemNone &&
      StoreGetType(main, f.tag) != kItemNone)
    return main;
  return app;
}

std::string ItemSignature(const Field& f) {
  if (f.tag.empty()) return {};
  StoreHandle store = BoundStore(f);
  if (StoreGetType(store, f.tag) == kItemTable) {
    TableHandle t = StoreGetTable(store, f.tag);
    std::string sig = "T" + std::to_string(TableReadSelection(t)) + "\n" + TableToText(t);
    TableFree(t);
    return sig;
  }
  auto text = StoreGetString(store, f.tag);
  return text ? "S" + *text : "-";
}

std::optional<ConditionValue> LookupItem(const Field& f, std::string_view name) {
  if (EqualsIgnoringCase(name, "_tag")) return f.text;
  StoreHandle store = f.dialog->app_store;
  switch (StoreGetType(store, name)) {
    case kItemNumeric: return StoreGetNumeric(store, name);
    case kItemNone: return std::nullopt;
    default: return StoreGetString(store, name).value_or(std::string());
  }
}

ConditionResult Evaluate(const Field& f, const Condition& condition) {
  return condition.Evaluate([&f](std::string_view name) { return LookupItem(f, name); });
}

FieldState StateFromAccess(int access) {
  if (access & kAccessInvisible) return FieldState::kInvisible;
  if (access & kAccessGreyed) return FieldState::kGreyed;
  if (access & (kAccessReadOnly | kAccessFixed)) return FieldState::kReadOnly;
  return FieldState::kFull;
}

// The state the field's state condition gives now; nullopt when it has none or it names none.
std::optional<FieldState> ConditionState(const Field& f) {
  if (!f.def->state) return std::nullopt;
  auto r = Evaluate(f, *f.def->state);
  if (!r.value || !std::holds_alternative<std::string>(*r.value)) return std::nullopt;
  const std::string s = AsciiLower(std::get<std::string>(*r.value));
  if (s == "_a_greyed") return FieldState::kGreyed;
  if (s == "_a_readonly") return FieldState::kReadOnly;
  if (s == "_a_invisible") return FieldState::kInvisible;
  if (s == "_a_full") return FieldState::kFull;
  return std::nullopt;
}

FieldState ScriptState(const Field& f) {
  const ControlDef& c = *f.def;
  if (c.AttrOr(kAttrHidden) == "1") return FieldState::kInvisible;
  FieldState state = FieldState::kFull;
  if (const std::string* access = c.Attr(kAttrAccess))
    state = StateFromAccess(std::atoi(access->c_str()));
  state = ConditionState(f).value_or(state);
  if (state == FieldState::kFull || state == FieldState::kReadOnly) {
    if (const std::string* items = c.Attr(kAttrItems)) {
      for (const auto& item : ParseItemList(*items).required)
        if (StoreGetType(f.dialog->app_store, item) == kItemNone) return FieldState::kGreyed;
    }
  }
  return state;
}

// The controls of the field's page (a stack of pages holds several, laid out alike).
std::span<const ControlDef> PageOf(const Field& f) {
  const auto& controls = f.dialog->def->controls;
  const std::size_t at = static_cast<std::size_t>(f.def - controls.data());
  std::size_t begin = 0, end = controls.size();
  for (const auto& [label, first] : f.dialog->pages) {
    if (first <= at)
      begin = first;
    else if (first < end)
      end = first;
  }
  return std::span<const ControlDef>(controls).subspan(begin, end - begin);
}

FieldState ComputeState(const Field& f) {
  return f.access ? StateFromAccess(*f.access) : ScriptState(f);
}

// Shows again every field whose item changed and recomputes the states. Callbacks of 22 may
// change further items, so it repeats (a few times at most) until nothing moves.
void Refresh(Dialog& d) {
  auto& engine = Engine();
  if (engine.refresh_depth > 0) return;  // the running refresh takes another pass
  ++engine.refresh_depth;
  for (int pass = 0; pass < 4 && !d.ended; ++pass) {
    bool moved = false;
    for (auto& field : d.fields) {
      Field& f = *field;
      if (f.tag.empty()) continue;
      std::string sig = ItemSignature(f);
      if (sig == f.shown_signature) {
        if (pass == 0 && f.show_always) Send(f, kMsgValueShown);
        continue;
      }
      f.shown_signature = std::move(sig);
      Send(f, kMsgValueShown);
      moved = true;
    }
    for (auto& field : d.fields) {
      Field& f = *field;
      const FieldState state = ComputeState(f);
      if (state == f.state) continue;
      f.state = state;
      Send(f, kMsgRepaintState);
      DlgView().FieldChanged(d, f.index);
    }
    if (!moved) break;
  }
  --engine.refresh_depth;
}

}  // namespace

void DlgEndDialog(Dialog& d, int result) {
  if (d.ended) return;
  d.ended = true;
  d.result = result;
  DlgView().FieldChanged(d, -1);
}

namespace {

// Message 30 to each field in order; a busy field ends the round.
void Idle(Dialog& d) {
  for (std::size_t i = 0; i < d.fields.size() && !d.ended; ++i)
    if (Send(*d.fields[i], kMsgIdle) == kResultBusy) break;
  if (!d.ended) Refresh(d);
}

void AfterAction(Dialog& d) {
  if (d.ended) return;
  Refresh(d);
  Idle(d);
}

int RunDialogDef(WindowHandle owner, std::shared_ptr<const DialogDef> def,
                 std::vector<std::pair<std::string, std::size_t>> pages,
                 const std::vector<std::string>& args, StoreHandle main_store,
                 StoreHandle app_store);

void RunStep(Field& f, const ScriptStep& step) {
  Dialog& d = *f.dialog;
  switch (step.verb) {
    case ScriptStep::Verb::kStack:
      DlgRunDialog(d.window, step.argument, d.main_store, d.app_store);
      break;
    case ScriptStep::Verb::kCall:
      DlgRunProcedure(d.window, step.argument, d.main_store, d.app_store);
      break;
    case ScriptStep::Verb::kMessage:
      DlgMessage(d.window, kMbOk | kMbIconInformation, d.caption, step.argument);
      break;
  }
}

void RunScriptedAction(Field& f) {
  Dialog& d = *f.dialog;
  const ControlDef& c = *f.def;
  if (const std::string* items = c.Attr(kAttrItems))
    for (const auto& item : ParseItemList(*items).deletes) StoreDeleteItem(d.app_store, item);
  for (const ScriptStep& step : c.steps) {
    RunStep(f, step);
    if (d.ended) return;
  }
  if (c.action ? *c.action == FieldAction::kReturn : (c.id == 1 || c.id == 2))
    DlgEndDialog(d, c.id);
}

void Activate(Field& f) {
  Dialog& d = *f.dialog;
  const int r =
      Send(f, kMsgActivate, static_cast<WParam>(f.def->id), static_cast<LParam>(f.window));
  if (d.ended || r == kResultSuppress) return;
  if (r == kResultEnd) {
    DlgEndDialog(d, 1);
    return;
  }
  RunScriptedAction(f);
}

bool Available(const Field& f) {
  return f.state == FieldState::kFull || f.state == FieldState::kReadOnly;
}

// Sets a field's value as the user would: validation (20), the item, then 21.
bool SetValue(Field& f, std::string_view text) {
  const std::string old = f.text;
  f.text = std::string(text);
  if ((Send(f, kMsgValidate) & 0xFF) == kResultRefuse) {
    f.text = old;
    DlgView().FieldChanged(*f.dialog, f.index);
    return false;
  }
  if (!f.tag.empty()) {
    StoreSetString(f.dialog->app_store, f.tag, f.text);
    f.shown_signature = ItemSignature(f);
  }
  DlgView().FieldChanged(*f.dialog, f.index);
  Send(f, kMsgValueChanged);
  return true;
}

std::string ListKeyItem(const Field& f) {
  if (const std::string* key = f.def->Attr(kAttrKey)) return *key;
  const auto layout = QuotedWords(f.def->AttrOr(kAttrLayout));
  return layout.size() >= 2 ? layout[1] : std::string();
}

std::shared_ptr<const DialogDef> StackAsDialog(
    const StackDef& stack, std::vector<std::pair<std::string, std::size_t>>& pages) {
  auto def = std::make_shared<DialogDef>();
  def->name = stack.name;
  def->caption = stack.caption.empty() ? stack.name : stack.caption;
  if (stack.IsPages()) {
    for (std::size_t r = 0; r < stack.rows.size(); ++r) {
      const DialogDef* page = Engine().library.FindDialog(stack.Cell(r, "Resource"));
      if (!page) continue;
      if (def->controls.empty()) {
        def->default_id = page->default_id;
        def->menu = page->menu;
        def->w = page->w;
        def->h = page->h;
      }
      pages.emplace_back(stack.Cell(r, "Label"), def->controls.size());
      def->controls.insert(def->controls.end(), page->controls.begin(), page->controls.end());
    }
    return def;
  }
  for (std::size_t r = 0; r < stack.rows.size(); ++r) {
    ControlDef c;
    c.kind = kKindButton;
    c.text = stack.Cell(r, "Tag");
    c.id = EqualsIgnoringCase(c.text, "Close") ? 2 : 100 + static_cast<int>(r);
    if (auto cb = stack.Cell(r, "Callback"); !cb.empty()) c.attrs.emplace_back(kAttrCallback, cb);
    if (auto act = stack.Cell(r, "Action"); !act.empty()) {
      c.action = ParseFieldAction(act);
      c.attrs.emplace_back(kAttrAction, act);
    }
    def->controls.push_back(std::move(c));
  }
  return def;
}

std::string FillCaption(std::string caption, const std::vector<std::string>& args) {
  for (std::size_t i = args.size(); i-- > 0;) {
    const std::string mark = "%" + std::to_string(i + 1);
    for (auto pos = caption.find(mark); pos != std::string::npos;
         pos = caption.find(mark, pos + args[i].size()))
      caption.replace(pos, mark.size(), args[i]);
  }
  return caption;
}

int RunDialogDef(WindowHandle owner, std::shared_ptr<const DialogDef> def,
                 std::vector<std::pair<std::string, std::size_t>> pages,
                 const std::vector<std::string>& args, StoreHandle main_store,
                 StoreHandle app_store) {
  auto& engine = Engine();
  if (engine.running.size() >= kMaxNesting) {
    DlgMessage(owner, kMbIconStop, kEngineCaption,
               "dialog '" + def->name + "' not opened: too many dialogs open");
    return -1;
  }
  Dialog d;
  d.name = def->name;
  d.caption = FillCaption(def->caption, args);
  d.def = def;
  d.pages = std::move(pages);
  d.owner = owner;
  d.main_store = main_store;
  d.app_store = app_store;
  d.window = CreateMessageWindow(IsMessageWindow(owner) ? owner : 0);
  std::vector<std::string> unknown;
  for (const ControlDef& c : def->controls) {
    if (!c.IsField()) continue;
    auto f = std::make_unique<Field>();
    f->dialog = &d;
    f->index = static_cast<int>(d.fields.size());
    f->def = &c;
    f->window = CreateMessageWindow(d.window);
    f->tag = c.AttrOr(kAttrTag);
    f->text = c.text;
    f->shown_signature = "\x01";  // never equal to a real signature: show at open
    if (const std::string* cb = c.Attr(kAttrCallback)) {
      f->callback = ParseCallbackRef(*cb);
      f->proc = FindCallback(f->callback.name);
      // A missing callback is a program fault: told once per name, the field works without it.
      if (!f->proc && !f->callback.name.empty() &&
          engine.reported_unknown.insert(f->callback.name).second)
        unknown.push_back(UnknownNameMessage("callback", f->callback.name));
    }
    d.fields.push_back(std::move(f));
  }
  engine.running.push_back(&d);
  View& view = DlgView();
  SetWindowWakeHook(d.window, view.WakeHook(d));
  for (const auto& message : unknown)
    DlgMessage(d.window, kMbIconStop, kEngineCaption, "dialog '" + d.name + "': " + message);

  for (auto& f : d.fields) Send(*f, kMsgFieldCreated);
  for (auto& f : d.fields) Send(*f, kMsgDialogOpened);
  for (auto& f : d.fields) {
    if (!f->tag.empty()) f->shown_signature = ItemSignature(*f);
    Send(*f, kMsgValueShown);
  }
  for (auto& f : d.fields) f->state = ComputeState(*f);
  Refresh(d);
  view.DialogOpened(d);
  for (auto& f : d.fields) Send(*f, kMsgRepaintShown);
  Idle(d);
  if (!d.ended) view.RunModal(d);

  for (auto& f : d.fields) Send(*f, kMsgFieldDestroyed);
  view.DialogClosed(d);
  engine.running.pop_back();
  DestroyMessageWindow(d.window);
  return d.result;
}

}  // namespace

Field* Dialog::FindField(std::string_view name) const {
  for (const auto& f : fields)
    if (!f->tag.empty() && EqualsIgnoringCase(f->tag, name)) return f.get();
  std::string wanted;
  for (char c : name)
    if (c != '&') wanted.push_back(c);
  for (const auto& f : fields) {
    std::string text;
    for (char c : f->def->text)
      if (c != '&') text.push_back(c);
    if (!text.empty() && EqualsIgnoringCase(text, wanted)) return f.get();
  }
  if (name.starts_with("#")) {
    const int id = std::atoi(std::string(name.substr(1)).c_str());
    for (const auto& f : fields)
      if (f->def->id == id) return f.get();
  }
  return nullptr;
}

std::optional<std::string> DlgLoadDefinitions(std::string_view text, std::string_view source) {
  return ParseDialogText(text, source, Engine().library);
}

const DialogLibrary& DlgLibrary() { return Engine().library; }

void DlgClearDefinitions() {
  Engine().library = DialogLibrary{};
  Engine().reported_unknown.clear();
}

void DlgSetView(View* view) {
  Engine().view = view;
  InstallClipboard();
}

View& DlgView() {
  auto& engine = Engine();
  if (!engine.view) {
    engine.view = &DefaultView();
    InstallClipboard();
  }
  return *engine.view;
}

std::vector<std::string> DlgCheckNames() {
  std::vector<std::string> problems;
  const auto& lib = Engine().library;
  for (const auto& [key, d] : lib.dialogs) {
    for (const auto& c : d.controls) {
      const std::string where = "dialog '" + d.name + "' field " + std::to_string(c.id) + ": ";
      if (const std::string* cb = c.Attr(kAttrCallback)) {
        const auto name = ParseCallbackRef(*cb).name;
        if (!name.empty() && !FindCallback(name))
          problems.push_back(where + UnknownNameMessage("callback", name));
      }
      for (const ScriptStep& step : c.steps) {
        if (step.verb == ScriptStep::Verb::kCall && !FindProcedure(step.argument)) {
          problems.push_back(where + UnknownNameMessage("procedure", step.argument));
        } else if (step.verb == ScriptStep::Verb::kStack) {
          const auto words = QuotedWords(step.argument);
          if (!words.empty() && !lib.FindDialog(words[0]) && !lib.FindStack(words[0]))
            problems.push_back(where + "unknown dialog or stack '" + words[0] + "'");
        }
      }
    }
  }
  for (const auto& [key, s] : lib.stacks) {
    if (!s.Column("Callback")) continue;
    for (std::size_t r = 0; r < s.rows.size(); ++r) {
      const auto name = ParseCallbackRef(s.Cell(r, "Callback")).name;
      if (!name.empty() && !FindCallback(name))
        problems.push_back("stack '" + s.name + "' entry '" + s.Cell(r, "Tag") +
                           "': " + UnknownNameMessage("callback", name));
    }
  }
  return problems;
}

WindowHandle DlgCreateBaseWindow(WindowHandle window, int, StoreHandle) {
  return CreateMessageWindow(IsMessageWindow(window) ? window : 0);
}

void DlgDestroyBaseWindow(WindowHandle window) { DestroyMessageWindow(window); }

int DlgRunDialog(WindowHandle owner, std::string_view spec, StoreHandle main_store,
                 StoreHandle app_store) {
  auto words = QuotedWords(spec);
  if (words.empty()) return -1;
  const std::string name = words.front();
  words.erase(words.begin());
  const auto& lib = Engine().library;
  std::vector<std::pair<std::string, std::size_t>> pages;
  std::shared_ptr<const DialogDef> def;
  if (const DialogDef* found = lib.FindDialog(name)) {
    def = std::make_shared<DialogDef>(*found);
  } else if (const StackDef* stack = lib.FindStack(name)) {
    def = StackAsDialog(*stack, pages);
  } else {
    DlgMessage(owner, kMbIconStop, kEngineCaption, "unknown dialog '" + name + "'");
    return -1;
  }
  return RunDialogDef(owner, std::move(def), std::move(pages), words, main_store, app_store);
}

int DlgRunProcedure(WindowHandle owner, std::string_view name, StoreHandle main_store,
                    StoreHandle app_store) {
  const auto ref = ParseCallbackRef(name);
  DialogProcedure proc = FindProcedure(ref.name);
  if (!proc) {
    DlgMessage(owner, kMbIconStop, kEngineCaption, UnknownNameMessage("procedure", ref.name));
    return 2;
  }
  return Guarded(ref.name, owner, [&] { return proc(owner, 0, 0, main_store, app_store); });
}

int DlgMessage(WindowHandle window, int type, std::string_view caption, std::string_view text) {
  return DlgView().ShowMessage(window, type, caption, text);
}

int DlgMessageVFmt(WindowHandle window, int type, const char* caption, const char* format,
                   va_list values) {
  if (!format) return DlgMessage(window, type, caption ? caption : "", "");
  va_list copy;
  va_copy(copy, values);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
  if (n > 0) std::vsnprintf(text.data(), text.size() + 1, format, values);
  return DlgMessage(window, type, caption ? caption : "", text);
}

int DlgMessageFmt(WindowHandle window, int type, const char* caption, const char* format, ...) {
  va_list values;
  va_start(values, format);
  const int result = DlgMessageVFmt(window, type, caption, format, values);
  va_end(values);
  return result;
}

void DlgSetIcon(WindowHandle window, int, std::string_view icon) {
  DlgView().SetIcon(window, icon);
}

void DlgBeep() { DlgView().Beep(); }

std::optional<std::string> DlgChooseFile(WindowHandle owner, const FileRequest& request) {
  return DlgView().ChooseFile(owner, request);
}

bool DlgPrint(FieldHandle field) {
  return field && field->dialog && DlgView().PrintDialog(*field->dialog);
}

void DlgAcceptDrops(FieldHandle field, DropHandler handler) {
  if (field) field->drop = handler;
}

void DlgShowOnEveryRefresh(FieldHandle field) {
  if (field) field->show_always = true;
}

void DlgShowFieldPicture(FieldHandle field, const FieldPicture& picture) {
  if (field && field->dialog) DlgView().ShowFieldPicture(*field->dialog, field->index, picture);
}

int DlgFieldDefaultProc(FieldHandle field, int message, WParam wparam, LParam lparam) {
  if (!field || !field->dialog) return 0;
  Field& f = *field;
  switch (message) {
    case kMsgValueShown: {
      if (f.tag.empty()) return 0;
      StoreHandle store = BoundStore(f);
      if (f.def->kind == kKindList) {
        const auto rows = DlgListRows(f);
        const int sel = DlgListSelection(f);
        f.text = sel >= 0 && !rows[sel].empty() ? rows[sel][0] : std::string();
      } else {
        f.text = StoreGetString(store, f.tag).value_or(std::string());
      }
      DlgView().FieldChanged(*f.dialog, f.index);
      return 0;
    }
    case kMsgValidate: {
      if (!f.def->valid) return 0;
      auto r = Evaluate(f, *f.def->valid);
      return r.value && !ConditionTruth(*r.value) ? kResultRefuse : 0;
    }
    case kMsgGetText: {
      auto* out = reinterpret_cast<char*>(lparam);
      if (!out || wparam == 0) return 0;
      const std::size_t n = std::min<std::size_t>(f.text.size(), wparam - 1);
      std::memcpy(out, f.text.data(), n);
      out[n] = 0;
      return static_cast<int>(n);
    }
    default: return 0;
  }
}

void* DlgFieldMemAlloc(FieldHandle field, std::size_t size) {
  if (!field) return nullptr;
  if (!field->memory || size > field->memory.size()) {
    // Field memory comes from the pool heap like the program's other raw blocks (zeroed).
    PoolBuffer block(size ? size : 1);
    if (!block) return nullptr;
    field->memory = std::move(block);
  }
  return field->memory.data();
}

void* DlgFieldMemRetrieve(FieldHandle field) { return field ? field->memory.data() : nullptr; }

std::intptr_t DlgGetInfo(FieldHandle field, int code) {
  if (!field || !field->dialog) return 0;
  switch (code) {
    case kInfoItemStore: return reinterpret_cast<std::intptr_t>(field->dialog->app_store);
    case kInfoMainStore: return reinterpret_cast<std::intptr_t>(field->dialog->main_store);
    case kInfoWindow: return static_cast<std::intptr_t>(field->dialog->window);
    default: return 0;
  }
}

StoreHandle DlgItemStore(FieldHandle field) {
  return reinterpret_cast<StoreHandle>(DlgGetInfo(field, kInfoItemStore));
}
StoreHandle DlgMainStore(FieldHandle field) {
  return reinterpret_cast<StoreHandle>(DlgGetInfo(field, kInfoMainStore));
}
WindowHandle DlgWindow(FieldHandle field) {
  return static_cast<WindowHandle>(DlgGetInfo(field, kInfoWindow));
}

int DlgIndexFromTag(FieldHandle field, std::string_view tag) {
  if (!field || !field->dialog) return -1;
  for (const auto& f : field->dialog->fields)
    if (!f->tag.empty() && EqualsIgnoringCase(f->tag, tag)) return f->index;
  return -1;
}

int DlgIndexFromId(FieldHandle field, int control_id) {
  if (!field || !field->dialog) return -1;
  for (const auto& f : field->dialog->fields)
    if (f->def->id == control_id) return f->index;
  return -1;
}

int DlgIndexFromHandle(FieldHandle field) { return field && field->dialog ? field->index : -1; }

FieldHandle DlgFieldFromIndex(FieldHandle field, int index) { return At(field, index); }

std::intptr_t DlgGetFieldInfo(FieldHandle field, int index, int code) {
  Field* f = At(field, index);
  if (!f) return -1;
  switch (code) {
    case kFieldKind: return f->def->kind;
    case kFieldControlId: return f->def->id;
    case kFieldWindow: return f->window;
    default: return -1;
  }
}

int DlgGetField(FieldHandle field, int index, char* buffer, std::size_t size) {
  Field* f = At(field, index);
  if (!f) return -1;
  if (f->def->kind == kKindCustom && f != field) TextOfCustomField(*f);
  const std::size_t delivered = CopyWithZero(f->text, buffer, size);
  return delivered ? static_cast<int>(delivered - 1) : 0;
}

std::optional<std::string> DlgGetFieldText(FieldHandle field, int index) {
  Field* f = At(field, index);
  if (!f) return std::nullopt;
  if (f->def->kind == kKindCustom && f != field) TextOfCustomField(*f);
  return f->text;
}

bool DlgSetField(FieldHandle field, int index, const char* text, int length) {
  Field* f = At(field, index);
  if (!f) return false;
  const std::size_t n = !text ? 0 : length < 0 ? std::strlen(text) : strnlen(text, length);
  f->text.assign(text ? text : "", n);
  if (!f->tag.empty()) {
    StoreSetString(f->dialog->app_store, f->tag, f->text);
    f->shown_signature = ItemSignature(*f);
  }
  Send(*f, kMsgValueShown);
  DlgView().FieldChanged(*f->dialog, f->index);
  Refresh(*f->dialog);
  return true;
}

bool DlgSetAccess(FieldHandle field, int index, int access) {
  Field* f = At(field, index);
  if (!f) return false;
  if (access == kAccessScript)
    f->access.reset();
  else
    f->access = access;
  const FieldState state = ComputeState(*f);
  if (state != f->state) {
    f->state = state;
    Send(*f, kMsgRepaintState);
    DlgView().FieldChanged(*f->dialog, f->index);
  }
  return true;
}

std::size_t DlgGetProperty(FieldHandle field, int index, int property, char* buffer,
                           std::size_t size) {
  Field* f = At(field, index);
  const std::string* value = f ? f->def->Attr(property) : nullptr;
  return value ? CopyWithZero(*value, buffer, size) : 0;
}

namespace {

// Runs `use` over a copy of the list field's table; `fallback` when there is none.
template <typename Use, typename Result>
Result WithFieldTable(FieldHandle field, int index, Result fallback, Use use) {
  Field* f = At(field, index);
  if (!f || f->tag.empty()) return fallback;
  TableHandle t = StoreGetTable(f->dialog->app_store, f->tag);
  if (!t) return fallback;
  Result r = use(t);
  TableFree(t);
  return r;
}

}  // namespace

int DlgTableRowCount(FieldHandle field, int index) {
  return WithFieldTable(field, index, 0, [](TableHandle t) { return TableRows(t); });
}

int DlgTableGetSelection(FieldHandle field, int index) {
  return WithFieldTable(field, index, -1, [](TableHandle t) { return TableReadSelection(t); });
}

std::size_t DlgTableGetField(FieldHandle field, int index, int row, int column, char* buffer,
                             std::size_t size) {
  return WithFieldTable(field, index, std::size_t{0}, [&](TableHandle t) {
    return TableReadField(t, row, column, buffer, size);
  });
}

int DlgTableFindField(FieldHandle field, int index, const char* text, std::size_t length,
                      int column) {
  return WithFieldTable(field, index, -1,
                        [&](TableHandle t) { return TableFindField(t, text, length, column); });
}

int DlgFieldGetText(FieldHandle field, int index, char* buffer, std::size_t size) {
  return DlgGetField(field, index, buffer, size);
}

namespace {

// A dialog under another one waits for it, as in any modal loop: what the user does there
// (through assistive technology, which is not held back by the window system) does nothing.
bool Blocked(const Dialog& d) { return d.ended || (DlgTopDialog() && DlgTopDialog() != &d); }

}  // namespace

bool DlgUserSetField(Dialog& d, int index, std::string_view text) {
  if (Blocked(d) || index < 0 || static_cast<std::size_t>(index) >= d.fields.size()) return false;
  Field& f = *d.fields[index];
  if (f.state != FieldState::kFull) return false;
  const bool accepted = SetValue(f, text);
  AfterAction(d);
  return accepted;
}

bool DlgUserPress(Dialog& d, int index) {
  if (Blocked(d) || index < 0 || static_cast<std::size_t>(index) >= d.fields.size()) return false;
  Field& f = *d.fields[index];
  if (!Available(f)) return false;
  if (f.def->kind == kKindCheck) {
    const std::string on = f.def->AttrOr(kAttrOn, "1");
    const std::string off = f.def->AttrOr(kAttrOff, "0");
    if (!SetValue(f, f.text == on ? off : on)) {
      AfterAction(d);
      return true;
    }
  }
  Activate(f);
  AfterAction(d);
  return true;
}

bool DlgUserSelectRow(Dialog& d, int index, int row) {
  if (Blocked(d) || index < 0 || static_cast<std::size_t>(index) >= d.fields.size()) return false;
  Field& f = *d.fields[index];
  if (f.def->kind != kKindList || !Available(f)) return false;
  const auto rows = DlgListRows(f);
  if (row >= static_cast<int>(rows.size()) || row < -1) return false;
  if (StoreGetType(d.app_store, f.tag) == kItemTable) {
    StoreTableSetSelection(d.app_store, f.tag, row);
    // The row's cells become the items named by the column titles (up to 256 characters).
    StoreTableSelectionToItems(d.app_store, f.tag, 256);
  }
  const std::string key = row >= 0 && !rows[row].empty() ? rows[row][0] : std::string();
  if (const std::string item = ListKeyItem(f); !item.empty() && row >= 0)
    StoreSetString(d.app_store, item, key);
  if (const std::string* item = f.def->Attr(kAttrSelection))
    StoreSetNumeric(d.app_store, *item, row);
  f.text = key;
  f.shown_signature = ItemSignature(f);
  DlgView().FieldChanged(d, f.index);
  Send(f, kMsgValueChanged);
  AfterAction(d);
  return true;
}

bool DlgUserDropFiles(Dialog& d, int index, const std::vector<std::string>& paths) {
  if (Blocked(d) || index < 0 || static_cast<std::size_t>(index) >= d.fields.size()) return false;
  Field& f = *d.fields[index];
  if (!f.drop || paths.empty()) return false;
  f.drop(&f, paths);
  AfterAction(d);
  return true;
}

void DlgUserClose(Dialog& d) {
  if (Blocked(d)) return;
  for (auto& f : d.fields) {
    if (f->def->id == 2) {
      Activate(*f);
      AfterAction(d);
      return;
    }
  }
  DlgEndDialog(d, 2);
}

bool DlgUserEnter(Dialog& d) { return d.def->default_id != 0 && DlgUserMenu(d, d.def->default_id); }

bool DlgUserMenu(Dialog& d, int control_id) {
  if (Blocked(d)) return false;
  for (auto& f : d.fields) {
    if (f->def->id != control_id) continue;
    // Menu items name hidden buttons on purpose ("About"): they act as a posted command does.
    if (f->state == FieldState::kInvisible && !d.ended) {
      Activate(*f);
      AfterAction(d);
      return true;
    }
    return DlgUserPress(d, f->index);
  }
  if (control_id == 1 || control_id == 2) {
    DlgEndDialog(d, control_id);
    return true;
  }
  return false;
}

void DlgDispatchMessage(Dialog& d, const WindowMessage& m) {
  if (d.ended) return;
  if (m.message == kMsgCommand) {
    const int id = static_cast<int>(m.wparam & 0xFFFF);
    for (auto& f : d.fields) {
      if (f->def->id == id) {
        Activate(*f);
        AfterAction(d);
        return;
      }
    }
    if (id == 1 || id == 2) DlgEndDialog(d, id);
  } else if (m.message == kMsgClose) {
    DlgUserClose(d);
  }
}

bool DlgIsChecked(const Field& f) { return f.text == f.def->AttrOr(kAttrOn, "1"); }

std::vector<std::vector<std::string>> DlgListRows(const Field& f) {
  std::vector<std::vector<std::string>> rows;
  if (!f.dialog) return rows;
  if (TableHandle t = StoreGetTable(f.dialog->app_store, f.tag)) {
    rows = t->rows;
    TableFree(t);
    return rows;
  }
  const auto layout = QuotedWords(f.def->AttrOr(kAttrLayout));
  for (std::size_t i = 2; i < layout.size(); ++i) rows.push_back({layout[i]});
  return rows;
}

std::vector<std::string> DlgListLines(const Field& f) {
  std::vector<std::string> lines;
  if (!f.dialog) return lines;
  std::string format = f.def->AttrOr(kAttrFormat);
  if (TableHandle t = StoreGetTable(f.dialog->app_store, f.tag)) {
    if (!t->format.empty()) format = t->format;
    TableFree(t);
  }
  for (const auto& row : DlgListRows(f)) lines.push_back(FormatRow(format, row));
  return lines;
}

int DlgListSelection(const Field& f) {
  if (!f.dialog) return -1;
  StoreHandle store = f.dialog->app_store;
  if (StoreGetType(store, f.tag) == kItemTable) {
    TableHandle t = StoreGetTable(store, f.tag);
    const int sel = TableReadSelection(t);
    TableFree(t);
    return sel;
  }
  const std::string item = ListKeyItem(f);
  const auto key = item.empty() ? std::nullopt : StoreGetString(store, item);
  if (!key) return -1;
  const auto rows = DlgListRows(f);
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (!rows[i].empty() && EqualsIgnoringCase(rows[i][0], *key)) return static_cast<int>(i);
  return -1;
}

std::string DlgAccessibleName(const Field& f) {
  const std::string name = f.dialog ? AccessibleName(PageOf(f), *f.def) : std::string();
  return name.empty() ? f.tag : name;
}

const ControlDef* DlgFieldLabel(const Field& f) {
  return f.dialog ? FindLabel(PageOf(f), *f.def) : nullptr;
}

std::string DlgGreyedReason(const Field& f) {
  if (!f.dialog || f.state != FieldState::kGreyed) return {};
  std::string reason;
  for (const auto& [code, text] : f.def->attrs) {
    if (code != kAttrWhy) continue;
    std::string_view why = text;
    bool applies = false;
    if (const auto close = why.find(')'); why.starts_with("(") && close != std::string_view::npos) {
      const std::string item = Trim(why.substr(1, close - 1));
      why = TrimBlanks(why.substr(close + 1));
      applies = StoreGetType(f.dialog->app_store, item) == kItemNone ||
                StoreGetString(f.dialog->app_store, item).value_or("x").empty();
    } else {
      applies = ConditionState(f) == FieldState::kGreyed;
    }
    if (applies) reason += (reason.empty() ? "" : " ") + std::string(why);
  }
  return reason;
}

Dialog* DlgTopDialog() {
  auto& running = Engine().running;
  return running.empty() ? nullptr : running.back();
}

}  // namespace r7k
