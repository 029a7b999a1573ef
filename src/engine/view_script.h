#pragma once

// What a test or the screenshot tour tells a view to do in place of a person, kept the same way
// by every view: steps to run when a named dialog opens, the answers of message boxes and the
// paths of file dialogs, and what the user was shown. `User` is the view's scripted user.
//
// The headless view is always scripted; the views with a screen show real boxes and file
// dialogs unless SetScripted(true).

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/dialog_engine.h"
#include "support/ascii.h"

namespace r7k {

struct ShownMessage {
  std::string caption;
  std::string text;
  int type = 0;
  int answer = 0;
};

// The button a message box of this type answers when the user just presses Enter.
int DefaultMessageAnswer(int type);

template <class User>
class ViewScript {
 public:
  using Steps = std::function<void(User&)>;

  // The next dialog of this name (any letter case) that opens runs these steps.
  void WhenDialogOpens(std::string name, Steps steps) {
    pending_steps_.emplace_back(std::move(name), std::move(steps));
  }
  void SetScripted(bool scripted) { scripted_ = scripted; }
  bool scripted() const { return scripted_; }
  // The next message box gets this answer; without one a box gets its default button.
  void AnswerNextMessage(int answer) { answers_.push_back(answer); }
  // The next file dialog chooses this path (nullopt: cancelled); without one it is cancelled.
  void ChooseFileNext(std::optional<std::string> path) { files_.push_back(std::move(path)); }

  // Every message box shown, with the answer it gave.
  const std::vector<ShownMessage>& messages() const { return messages_; }
  const std::vector<std::string>& opened_names() const { return opened_names_; }
  int prints() const { return prints_; }
  // Called with the number of dialogs on screen whenever one opens or closes.
  void SetOpenDialogsHook(std::function<void(std::size_t)> hook) { open_hook_ = std::move(hook); }

 protected:
  explicit ViewScript(bool scripted = false) : scripted_(scripted) {}

  // Notes the dialog as opened and hands over the steps waiting for it (empty when none).
  Steps StepsOnOpening(const Dialog& dialog) {
    opened_names_.push_back(dialog.name);
    for (auto it = pending_steps_.begin(); it != pending_steps_.end(); ++it) {
      if (EqualsIgnoringCase(it->first, dialog.name)) {
        Steps steps = std::move(it->second);
        pending_steps_.erase(it);
        return steps;
      }
    }
    return nullptr;
  }
  int ScriptedAnswer(int type) {
    if (answers_.empty()) return DefaultMessageAnswer(type);
    const int answer = answers_.front();
    answers_.pop_front();
    return answer;
  }
  // Records the box and passes its answer on.
  int RecordMessage(std::string_view caption, std::string_view text, int type, int answer) {
    messages_.push_back({std::string(caption), std::string(text), type, answer});
    return answer;
  }
  std::optional<std::string> ScriptedFile() {
    if (files_.empty()) return std::nullopt;
    auto path = std::move(files_.front());
    files_.pop_front();
    return path;
  }
  void Printed() { ++prints_; }
  void OpenDialogsChanged(std::size_t count) {
    if (open_hook_) open_hook_(count);
  }

 private:
  std::vector<std::pair<std::string, Steps>> pending_steps_;
  bool scripted_;
  std::deque<int> answers_;
  std::deque<std::optional<std::string>> files_;
  std::vector<ShownMessage> messages_;
  std::vector<std::string> opened_names_;
  int prints_ = 0;
  std::function<void(std::size_t)> open_hook_;
};

}  // namespace r7k
