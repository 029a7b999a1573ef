#include "engine/headless_view.h"

#include <cctype>
#include <thread>

#include "support/ascii.h"

namespace r7k {
int DefaultMessageAnswer(int type) {
  const bool second = (type & 0xF00) == kMbDefaultButton2;
  switch (type & 0xF) {
    case kMbOkCancel: return second ? kIdCancel : kIdOk;
    case 3:  // Yes, No, Cancel
    case kMbYesNo: return second ? kIdNo : kIdYes;
    case 2: return 3;  // Abort, Retry, Ignore: Abort
    case 5: return 4;  // Retry, Cancel: Retry
    default: return kIdOk;
  }
}

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

void HeadlessView::WhenDialogOpens(std::string name, Steps steps) {
  pending_steps_.emplace_back(std::move(name), std::move(steps));
}

void HeadlessView::AnswerNextMessage(int result) { answers_.push_back(result); }

void HeadlessView::ChooseFileNext(std::optional<std::string> path) {
  files_.push_back(std::move(path));
}

void HeadlessView::DialogOpened(Dialog& dialog) {
  opened_.push_back(dialog.caption);
  opened_names_.push_back(dialog.name);
  for (auto it = pending_steps_.begin(); it != pending_steps_.end(); ++it) {
    if (EqualsIgnoringCase(it->first, dialog.name)) {
      steps_of_[&dialog] = std::move(it->second);
      pending_steps_.erase(it);
      break;
    }
  }
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
  int answer = DefaultMessageAnswer(type);
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  }
  messages_.push_back(ShownMessage{std::string(caption), std::string(text), type, answer});
  return answer;
}

std::optional<std::string> HeadlessView::ChooseFile(WindowHandle, const FileRequest& request) {
  file_requests_.push_back(request);
  if (files_.empty()) return std::nullopt;
  auto path = std::move(files_.front());
  files_.pop_front();
  return path;
}

}  // namespace r7k
