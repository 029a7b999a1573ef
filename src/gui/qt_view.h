#pragma once

// The engine's view on screen: every dialog definition becomes a Qt window with its controls at
// the template's positions (dialog units scaled by the font), bound to the engine's fields. The
// engine decides what happens; this only shows it and hands the user's doing back through
// DlgUserSetField, DlgUserPress, DlgUserSelectRow, DlgUserMenu, DlgUserEnter and DlgUserClose.
//
// Messages posted to a dialog's window from any thread reach the engine on the GUI thread
// through a queued call, so the window stays responsive while a module operation runs.
//
// For tests and the screenshot tour the view can be driven: steps run when a named dialog
// opens (with a GuiUser that presses the real widgets), and message boxes and file dialogs are
// answered from a script instead of waiting for a person.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/dialog_tour.h"
#include "engine/dialog_engine.h"
#include "engine/view.h"
#include "engine/view_script.h"

class QImage;
class QObject;
class QWidget;

namespace r7k {

struct ModuleOpProgress;
class DialogWindow;
class QtView;

// What a scripted user can do in one open dialog, through its widgets. Fields are named as
// Dialog::FindField takes them (tag, text without "&", "#id").
class GuiUser : public TourUser {
 public:
  GuiUser(QtView& view, DialogWindow& window) : view_(view), window_(window) {}

  Dialog& dialog() override;
  bool IsOpen() override;
  bool Set(std::string_view field, std::string_view text) override;  // types it, leaves the field
  bool Press(std::string_view field) override;                       // clicks the widget
  bool Select(std::string_view field, int row) override;
  bool Menu(int control_id);
  void Close() override;  // the window's close box
  // Processes pending events and posted messages until `done` holds; false on timeout.
  bool WaitUntil(const std::function<bool()>& done, int timeout_ms = 5000) override;
  bool SavePicture(const std::string& path) override;
  int PageCount() override;  // the tabs of a stack of pages
  void ShowPage(int page) override;
  // Text a widget shows (line edit, label, button, the list's rows joined by "\n").
  std::string Shown(std::string_view field);
  QWidget* Widget(std::string_view field);
  QWidget* Window();
  // The window's own rendering.
  QImage Grab();

 private:
  QtView& view_;
  DialogWindow& window_;
};

class QtView : public View, public ViewScript<GuiUser> {
 public:
  QtView();
  ~QtView() override;

  // Every dialog open now, innermost last.
  std::vector<DialogWindow*> OpenWindows() const;

  // --- View ---
  void DialogOpened(Dialog& dialog) override;
  void FieldChanged(Dialog& dialog, int index) override;
  void DialogClosed(Dialog& dialog) override;
  void RunModal(Dialog& dialog) override;
  std::function<void()> WakeHook(Dialog& dialog) override;
  int ShowMessage(WindowHandle owner, int type, std::string_view caption,
                  std::string_view text) override;
  std::optional<std::string> ChooseFile(WindowHandle owner, const FileRequest& request) override;
  void SetClipboardText(const std::string& text) override;
  void Beep() override;
  void SetIcon(WindowHandle window, std::string_view icon) override;
  bool PrintDialog(Dialog& dialog) override;
  void ShowFieldPicture(Dialog& dialog, int index, const FieldPicture& picture) override;

  // A module operation's progress: shown in the main dialog until it has finished.
  void ShowProgress(const ModuleOpProgress& progress);

  // Hands the messages queued for the dialog's window to the engine (only while it is the
  // innermost dialog: an outer dialog's messages wait, as in any modal loop).
  void Drain(WindowHandle window);

 private:
  QWidget* ParentFor(WindowHandle owner) const;

  std::map<WindowHandle, DialogWindow*> windows_;
  std::shared_ptr<bool> alive_;
  std::unique_ptr<QObject> held_keys_;  // HeldEnterFilter, on the application
};

}  // namespace r7k
