#pragma once

// The view without a screen: a scripted user for tests and the command-line program. The
// script says what the user does when a dialog opens, how message boxes and file dialogs are
// answered; the view records what the user would have seen.
//
//   HeadlessView view;
//   DlgSetView(&view);
//   view.WhenDialogOpens("NewTech", [](DialogUser& user) {
//     user.Set("t_Name", "T0009");
//     user.Press("OK");
//   });
//   view.AnswerNextMessage(kIdOk);
//   DlgRunDialog(base, "R7kProg", main, app);
//   EXPECT_MESSAGE_SHOWN(view, "Save Entity", "File written");  // engine/headless_expect.h
//
// A dialog the script has nothing (more) for waits for posted messages; when none arrives for
// the idle wait, the user closes it (and the view notes that in problems()).

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dialog_engine.h"
#include "engine/view.h"
#include "engine/view_script.h"

namespace r7k {

class HeadlessView;

// What a scripted user can do in one open dialog. Fields are named by tag, by their text
// without "&" ("OK", "Upload") or as "#1020" by control id. Every step first handles the
// messages already posted to the dialog, as a real loop would have between two clicks.
class DialogUser {
 public:
  DialogUser(HeadlessView& view, Dialog& dialog) : view_(view), dialog_(dialog) {}

  Dialog& dialog() { return dialog_; }
  const std::string& Caption() const { return dialog_.caption; }
  bool IsOpen() const { return !dialog_.ended; }

  bool Set(std::string_view field, std::string_view text);  // false when refused
  bool Press(std::string_view field);
  bool Select(std::string_view field, int row);
  bool Menu(int control_id);
  bool Enter();  // presses the default field
  void Close();

  std::string Text(std::string_view field);
  std::optional<FieldState> State(std::string_view field);
  std::vector<std::vector<std::string>> Rows(std::string_view field);

  // Handles the messages already posted.
  void Pump();
  // Handles posted messages until `done` holds or the dialog ends; false on timeout.
  bool WaitUntil(const std::function<bool()>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(5));

 private:
  Field* Find(std::string_view field, std::string_view doing);

  HeadlessView& view_;
  Dialog& dialog_;
};

class HeadlessView : public View, public ViewScript<DialogUser> {
 public:
  HeadlessView() : ViewScript(true) {}

  void SetIdleWait(std::chrono::milliseconds wait) { idle_wait_ = wait; }

  const std::vector<std::string>& opened() const { return opened_; }  // captions, in order
  const std::string& clipboard() const { return clipboard_; }
  const std::vector<FileRequest>& file_requests() const { return file_requests_; }
  int beeps() const { return beeps_; }
  const std::map<WindowHandle, std::string>& icons() const { return icons_; }
  // Steps that could not be done, scripted answers left over, dialogs closed for lack of steps.
  const std::vector<std::string>& problems() const { return problems_; }
  void NoteProblem(std::string problem) { problems_.push_back(std::move(problem)); }

  void DialogOpened(Dialog& dialog) override;
  void FieldChanged(Dialog&, int) override {}
  void DialogClosed(Dialog& dialog) override;
  void RunModal(Dialog& dialog) override;
  std::function<void()> WakeHook(Dialog&) override { return nullptr; }
  int ShowMessage(WindowHandle owner, int type, std::string_view caption,
                  std::string_view text) override;
  std::optional<std::string> ChooseFile(WindowHandle owner, const FileRequest& request) override;
  void SetClipboardText(const std::string& text) override { clipboard_ = text; }
  void Beep() override { ++beeps_; }
  void SetIcon(WindowHandle window, std::string_view icon) override {
    icons_[window] = std::string(icon);
  }
  bool PrintDialog(Dialog&) override {
    Printed();
    return true;
  }

 private:
  std::map<const Dialog*, Steps> steps_of_;
  std::chrono::milliseconds idle_wait_{5000};

  std::vector<std::string> opened_;
  std::string clipboard_;
  std::vector<FileRequest> file_requests_;
  int beeps_ = 0;
  std::map<WindowHandle, std::string> icons_;
  std::vector<std::string> problems_;
};

}  // namespace r7k
