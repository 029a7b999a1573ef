#pragma once

#include <optional>
#include <string>

#include "cli/command.h"
#include "engine/headless_view.h"
#include "store/item_store.h"

// The editing commands run the program's own procedures through the headless dialog engine:
// a session opens the stores, registers the callbacks, loads the dialogs and the module's
// directory, and makes one entry current, as a user clicking in the main dialog would.
namespace r7k::cli {

// Registers the custom fields only the desktop draws (pictures, swatches, bitmap buttons) as
// plain fields, unless the program registered them.
void RegisterFieldsDrawnByTheDesktop();

class ModuleSession {
 public:
  explicit ModuleSession(const std::string& module);
  ~ModuleSession();
  ModuleSession(const ModuleSession&) = delete;
  ModuleSession& operator=(const ModuleSession&) = delete;

  // Loads the directory ("Directory" and the current entry); false after printing why not.
  bool Load(CommandIo& io, bool valid_only = false);
  // Makes the entry of that name current (the last valid one, else the last listed one);
  // false after printing why not.
  bool Select(const std::string& name, CommandIo& io);

  int Run(const char* procedure);
  // Prints the message boxes shown since the last call to err; true when one was a stop.
  bool ReportMessages(CommandIo& io);

  HeadlessView& view() { return view_; }
  StoreHandle main() const { return main_; }
  StoreHandle app() const { return app_; }
  WindowHandle window() const { return base_; }

 private:
  HeadlessView view_;
  StoreHandle main_ = nullptr;
  StoreHandle app_ = nullptr;
  WindowHandle base_ = 0;
  const char* dialogs_error_ = nullptr;  // the built-in dialogs did not load: a broken build
  size_t reported_ = 0;
};

}  // namespace r7k::cli
