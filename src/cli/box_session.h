#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/module_ops.h"
#include "cli/command.h"
#include "cli/status_output.h"
#include "engine/headless_view.h"
#include "store/item_store.h"

namespace r7k {
class BoxSimulator;
}

// The box commands run the program's own module operations through the headless dialog
// engine: a session opens the stores, registers the callbacks, loads the dialogs and starts the
// link thread on the chosen port; a scripted user then presses the buttons of the dialogs.
namespace r7k::cli {

// The options every box command takes.
inline constexpr std::array kBoxOptions = {
    OptionSpec{"--port", "", "NAME",
               "the box's port (ttyUSB0 or /dev/ttyUSB0, sim...); default: the saved Port1"},
    OptionSpec{"--sim", "", "[IMAGE]",
               "use a simulated box; IMAGE is its flash file (made from the demo module when "
               "missing; writes are saved to it), else the demo module in memory"},
    OptionSpec{"--chip", "", "CODE", "with --sim: the flash chip's code (default 20E200)"},
    OptionSpec{"--no-card", "", "", "with --sim: no module in the box"},
    OptionSpec{"--fault", "", "SPEC", "with --sim: a fault of the box (see r7kbox --help)"},
    OptionSpec{"--trace", "", "", "print each command and answer on the error stream"},
};

// A command's own options followed by the box options.
template <size_t N>
constexpr std::array<OptionSpec, N + kBoxOptions.size()> WithBoxOptions(
    const std::array<OptionSpec, N>& own) {
  std::array<OptionSpec, N + kBoxOptions.size()> all{};
  for (size_t i = 0; i < N; ++i) all[i] = own[i];
  for (size_t i = 0; i < kBoxOptions.size(); ++i) all[N + i] = kBoxOptions[i];
  return all;
}

struct BoxTarget {
  std::string port;  // the port to open, under /dev; empty with sim
  bool sim = false;
  std::vector<std::string> sim_args;  // r7kbox arguments for the simulated box
  bool trace = false;
};

// The target the options name; nullopt after telling why not (exit status 2, or 1 when no
// port was given and none is saved).
std::optional<BoxTarget> ReadBoxTarget(const ParsedArgs& args, std::string_view command,
                                       CommandIo& io, int& status);

// Whether the user sits at a terminal: questions can be asked on it.
bool AtTerminal(const CommandIo& io);
// Asks a yes/no question on the terminal ("... [y/N] "); no unless answered y or yes.
bool AskYesNo(CommandIo& io, const std::string& question);

// The user at the keyboard: message boxes go to the error stream as they come; a question is
// answered yes when the command line allowed it, else asked on the terminal if there is one,
// else answered no. The words of a line fault that a retry
// may still mend ("timed out", "Command mismatch!") are held back until the command's end
// tells whether they were the last word.
class ScriptedBoxView : public HeadlessView {
 public:
  ScriptedBoxView(StatusOutput& out, bool yes) : out_(out), yes_(yes) {}
  int ShowMessage(WindowHandle owner, int type, std::string_view caption,
                  std::string_view text) override;
  // Boxes with this caption are noted but not shown.
  void Mute(std::string caption) { muted_ = std::move(caption); }
  // After a stop: the refusals that follow from it are no news.
  void Stopping() { stopping_ = true; }
  // Questions without --yes go to `ask` (the whole question line; true for yes).
  void AskWith(std::function<bool(const std::string&)> ask) { ask_ = std::move(ask); }
  // The last question answered no.
  const std::optional<std::string>& refused() const { return refused_; }
  // ... by the user on the terminal (not for want of --yes).
  bool refused_when_asked() const { return refused_when_asked_; }
  // Shows the lines held back (the command failed), or forgets them.
  void ReleaseHeldBack(bool show);

 private:
  StatusOutput& out_;
  bool yes_;
  std::function<bool(const std::string&)> ask_;
  bool stopping_ = false;
  std::optional<std::string> refused_;
  bool refused_when_asked_ = false;
  std::string muted_;
  std::vector<std::string> held_back_;
};

class BoxSession {
 public:
  // The longest the box may stay without a word of progress before the user gives up. The
  // operations end themselves far sooner (60 s at most for an erase); this only keeps a
  // command from waiting for ever.
  static constexpr auto kSilenceLimit = std::chrono::seconds(150);
  // Presses of "Check" when the check times out.
  static constexpr int kCheckTries = 3;
  // Longer than the link waits for an answer before it gives its own "Timeout".
  static constexpr auto kLinkAnswerWait = std::chrono::milliseconds(2500);

  BoxSession(CommandIo& io, std::string_view command, bool yes);
  ~BoxSession();
  BoxSession(const BoxSession&) = delete;
  BoxSession& operator=(const BoxSession&) = delete;

  // Starts the simulated box when asked and the link thread on the port; false after telling
  // why not (the port did not open).
  bool Start(const BoxTarget& target);

  // Runs the dialog with the application store; `steps` is what the user does in it, after
  // which the dialog is closed if still open (none: a script given before, or the dialog runs
  // by itself). Returns the dialog's result.
  int RunDialog(std::string_view name, HeadlessView::Steps steps = nullptr);

  // The next "CheckModule" is pressed OK and left once the check is over (Cancel when it
  // stays open: no card, no answer; what its "_Status" then shows is printed). On a terminal
  // a missing module may be inserted and the check tried again.
  void ScriptNextCheck();
  // Presses the field and waits in the dialog while module operations run (a verified write
  // reads the module back after it); the ends reported meanwhile, in order. Empty when nothing
  // ran; gave_up() tells whether the box went silent or the link ended.
  std::vector<ModuleOpProgress> PressAndWait(DialogUser& user, std::string_view field);
  // Waits until the operation reports its end or the dialog ends; nullopt when the dialog ended
  // without that report, the link thread ended or the box went silent for too long.
  std::optional<ModuleOpProgress> WaitForEnd(DialogUser& user, std::string_view operation);
  bool gave_up() const { return gave_up_; }

  // 128 + the signal of a stop request (Ctrl-C: 130), else 0.
  int stop_status() const { return stop_status_; }
  // The words for what asked to stop ("Ctrl-C").
  std::string StopCause() const;
  // Whether the operation of that name reported anything since the session began.
  bool Ran(std::string_view operation) const;

  // Ends the command's report: on success one line counting the line faults that retries
  // mended, on failure the words held back about them.
  void Finish(bool ok);

  CommandIo& io() { return io_; }
  StatusOutput& out() { return out_; }
  ScriptedBoxView& view() { return view_; }
  StoreHandle app() const { return app_; }
  StoreHandle main() const { return main_; }

 private:
  void OnProgress(const ModuleOpProgress& progress);
  void OnStopRequest(int status);
  // Sends the cancel marker once to a running operation that honours it, after a stop request.
  void CancelForStop();
  // Waits while a module operation runs; false when the box went silent or the link ended.
  bool WaitWhileRunning(DialogUser& user);
  // Waits for Enter on the terminal; false at its end (or on a stop request meanwhile).
  bool WaitForEnter(const std::string& prompt);
  // Asks on the terminal; a stop request meanwhile ends the command (nothing runs then).
  bool AskAtPrompt(const std::string& question);
  void Stop();

  CommandIo& io_;
  std::string command_;
  StatusOutput out_;
  ScriptedBoxView view_;
  ProgressRenderer renderer_;
  StoreHandle main_ = nullptr;
  StoreHandle app_ = nullptr;
  WindowHandle base_ = 0;
  const char* dialogs_error_ = nullptr;  // the built-in dialogs did not load: a broken build
  std::unique_ptr<BoxSimulator> box_;
  std::thread link_;
  std::atomic<bool> link_ended_{false};  // the port did not open, or the box hung up
  std::mutex open_mutex_;
  std::condition_variable open_changed_;
  std::optional<bool> opened_;            // the link's word on opening the port
  std::string open_error_;                // why it did not open
  std::vector<ModuleOpProgress> ends_;    // every operation's last report, in order
  std::vector<std::string> ran_;          // the operations that reported
  std::optional<ModuleOpProgress> pass_;  // the last report of the running operation
  std::string current_op_;                // the running operation, by its reports
  std::string shown_note_;
  std::chrono::steady_clock::time_point last_report_;
  bool gave_up_ = false;
  bool handlers_ = false;  // the stop handlers are ours
  std::atomic<int> stop_status_{0};
  std::atomic<bool> at_prompt_{false};
  bool cancel_sent_ = false;
  uint32_t resent_ = 0;  // commands sent again, over every operation
  int check_retries_ = 0;
};

}  // namespace r7k::cli
