#pragma once

// The engine's view with the Win32 API (user32, gdi32, comctl32, comdlg32, shell32): every
// dialog definition becomes a window with its controls at the template's positions in dialog
// units, bound to the engine's fields. As the Qt view (src/gui), it only shows and reports:
// the user's doing goes back through DlgUserSetField, DlgUserPress, DlgUserSelectRow,
// DlgUserMenu, DlgUserEnter and DlgUserClose.
//
// Messages posted to a dialog's engine window from any thread wake its modal loop with a
// PostMessage to the dialog's HWND and reach the engine on the GUI thread.
//
// For the screenshot tour and the scripted user path the view can be driven: steps run when a
// named dialog opens, with a WinUser that works the real controls; message boxes and file
// dialogs are answered from a script.

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

namespace r7k {

struct ModuleOpProgress;
class WinDialog;
class WinView;

class WinUser : public TourUser {
 public:
  WinUser(WinView& view, WinDialog& window) : view_(view), window_(window) {}

  Dialog& dialog() override;
  bool IsOpen() override;
  bool Set(std::string_view field, std::string_view text) override;
  bool Press(std::string_view field) override;
  bool Select(std::string_view field, int row) override;
  bool Menu(int control_id);
  void Close() override;
  bool WaitUntil(const std::function<bool()>& done, int timeout_ms = 5000) override;
  bool SavePicture(const std::string& path) override;
  int PageCount() override;
  void ShowPage(int page) override;
  // What the control shows (an edit's or label's text, the list's rows joined by "\n").
  std::string Shown(std::string_view field);
  bool Enabled(std::string_view field);
  // The tip that shows when the mouse rests on the field (nullopt: none shows).
  std::optional<std::string> TipOf(std::string_view field);
  // The main dialog's progress: -1 while none shows, else how far in thousandths.
  int Progress();
  bool PressStop();

 private:
  WinView& view_;
  WinDialog& window_;
};

class WinView : public View, public ViewScript<WinUser> {
 public:
  WinView();
  ~WinView() override;

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

  void ShowProgress(const ModuleOpProgress& progress);
  // Hands the messages queued for the dialog's engine window to the engine (only while it is
  // the innermost dialog).
  void Drain(WindowHandle window);
  // Runs the steps waiting for this dialog, if any.
  void RunSteps(WindowHandle window);
  // Handles the window system's messages already waiting (the scripted user's waits).
  void PumpOnce();

 private:
  void* OwnerFor(WindowHandle owner) const;  // HWND

  std::map<WindowHandle, std::unique_ptr<WinDialog>> windows_;
};

// Runs the call on the GUI thread (the one that made the first WinView) from any thread.
void PostToGuiThread(std::function<void()> call);

// Text between the engine (UTF-8) and the Win32 API (UTF-16).
std::wstring Wide(std::string_view text);
std::string Narrow(const wchar_t* text, int length = -1);

}  // namespace r7k
