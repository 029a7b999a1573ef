#include "engine/headless_view.h"

#include <cctype>
#include <thread>

namespace r7k {

Field* DialogUser::Find(std::string_view name, std::string_view doing) {
  if (dialog_.ended) {
    view_.NoteProblem("dialog '" + dialog_.name + "' is closed: cannot " + std::string(doing) +
                      " '" + std::string(name) + "'");
    return nullptr;
  }
  Field* f = dialog_.FindField(name);
  if (!f)
    view_.NoteProblem("dialog '" + dialog_.name + "' has no field '" + std::string(name) + "'");
  return f;
}

void DialogUser::Pump() {
  while (!dialog_.ended) {
    auto m = PeekWindowMessage(dialog_.window);
    if (!m) break;
    DlgDispatchMessage(dialog_, *m);
  }
}

bool DialogUser::WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  Pump();
  while (!done()) {
    if (dialog_.ended) return done();
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    if (auto m = GetWindowMessage(dialog_.window, left)) DlgDispatchMessage(dialog_, *m);
  }
  return true;
}

bool DialogUser::Set(std::string_view name, std::string_view text) {
  Pump();
  Field* f = Find(name, "set");
  if (!f) return false;
  if (f->state != FieldState::kFull) {
    view_.NoteProblem("dialog '" + dialog_.name + "': field '" + std::string(name) +
                      "' cannot be edited");
    return false;
  }
  return DlgUserSetField(dialog_, f->index, text);
}

bool DialogUser::Press(std::string_view name) {
  Pump();
  Field* f = Find(name, "press");
  if (!f) return false;
  if (!DlgUserPress(dialog_, f->index)) {
    view_.NoteProblem("dialog '" + dialog_.name + "': '" + std::string(name) +
                      "' is not available");
    return false;
  }
  return true;
}

bool DialogUser::Select(std::string_view name, int row) {
  Pump();
  Field* f = Find(name, "select in");
  if (!f) return false;
  if (!DlgUserSelectRow(dialog_, f->index, row)) {
    view_.NoteProblem("dialog '" + dialog_.name + "': cannot select row " + std::to_string(row) +
                      " of '" + std::string(name) + "'");
    return false;
  }
  return true;
}

bool DialogUser::Menu(int control_id) {
  Pump();
  if (dialog_.ended || !DlgUserMenu(dialog_, control_id)) {
    view_.NoteProblem("dialog '" + dialog_.name + "': menu item " + std::to_string(control_id) +
                      " did nothing");
    return false;
  }
  return true;
}

bool DialogUser::Enter() {
  Pump();
  if (dialog_.ended || !DlgUserEnter(dialog_)) {
    view_.NoteProblem("dialog '" + dialog_.name + "': Enter did nothing");
    return false;
  }
  return true;
}

void DialogUser::Close() {
  Pump();
  DlgUserClose(dialog_);
}

std::string DialogUser::Text(std::string_view name) {
  Pump();
  Field* f = dialog_.FindField(name);
  return f ? f->text : std::string();
}

std::optional<FieldState> DialogUser::State(std::string_view name) {
  Pump();
  Field* f = dialog_.FindField(name);
  if (!f) return std::nullopt;
  return f->state;
}

std::vector<std::vector<std::string>> DialogUser::Rows(std::string_view name) {
  Pump();
  Field* f = dialog_.FindField(name);
  return f ? DlgListRows(*f) : std::vector<std::vector<std::string>>{};
}

void HeadlessView::DialogOpened(Dialog& dialog) {
  opened_.push_back(dialog.caption);
  if (Steps steps = StepsOnOpening(dialog)) steps_of_[&dialog] = std::move(steps);
}

void HeadlessView::DialogClosed(Dialog& dialog) { steps_of_.erase(&dialog); }

void HeadlessView::RunModal(Dialog& dialog) {
  DialogUser user(*this, dialog);
  user.Pump();
  if (auto it = steps_of_.find(&dialog); it != steps_of_.end() && !dialog.ended) {
    Steps steps = std::move(it->second);
    steps_of_.erase(it);
    steps(user);
  }
  while (!dialog.ended) {
    if (auto m = GetWindowMessage(dialog.window, idle_wait_)) {
      DlgDispatchMessage(dialog, *m);
      continue;
    }
    if (idle_wait_.count() > 0)
      NoteProblem("dialog '" + dialog.name + "' waited for the user; closed");
    DlgUserClose(dialog);
    if (!dialog.ended) DlgEndDialog(dialog, kIdCancel);
  }
}

int HeadlessView::ShowMessage(WindowHandle, int type, std::string_view caption,
                              std::string_view text) {
  return RecordMessage(caption, text, type, ScriptedAnswer(type));
}

std::optional<std::string> HeadlessView::ChooseFile(WindowHandle, const FileRequest& request) {
  file_requests_.push_back(request);
  return ScriptedFile();
}

}  // namespace r7k
