#pragma once

// What every desktop view needs around it, whatever draws it: the view installed in the dialog
// engine, the link thread's message boxes shown on the GUI thread while a dialog is on screen
// (else written to stderr, so a box asked for while the program waits for the link thread to
// end cannot wait for a GUI thread that waits for it), module operations' progress handed to
// the view, and the programs' --help and --version.

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "app/module_ops.h"
#include "engine/view.h"

namespace r7k {

struct ViewThread {
  // True on the GUI thread (the one that runs the dialogs).
  std::function<bool()> on_gui_thread;
  // Runs the call on the GUI thread soon (from any thread).
  std::function<void(std::function<void()>)> post;
};

// Installs `view` until the session's scope ends. The view calls DialogsOpen whenever the
// number of dialogs on screen changes.
class ViewSession {
 public:
  ViewSession(View& view, ViewThread thread, std::function<void(const ModuleOpProgress&)> progress);
  ~ViewSession();
  ViewSession(const ViewSession&) = delete;
  ViewSession& operator=(const ViewSession&) = delete;

  static void DialogsOpen(std::size_t open);
};

// "--help" and "--version" of the desktop program print their text and give the exit status,
// before any window or display is needed; nullopt for every other command line.
// `settings_where` says where the settings live on this system.
std::optional<int> AnswerInfoOptions(const std::vector<std::string>& args, std::ostream& out,
                                     std::string_view settings_where);

}  // namespace r7k
