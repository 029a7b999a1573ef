#include "cli/box_session.h"

#include <cctype>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "app/dialog_texts.h"
#include "app/register.h"
#include "app/settings.h"
#include "app/strings.h"
#include "cli/module_session.h"
#include "engine/callbacks.h"
#include "link/channel.h"
#include "link/link_message_box.h"
#include "link/link_thread.h"
#include "link/link_trace.h"
#include "link/simulated_box.h"
#include "platform/file_io.h"
#include "platform/stop_requests.h"
#include "platform/terminal.h"
#include "sim/box_simulator.h"

namespace r7k::cli {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// How often a wait looks at the stop requests and the link.
constexpr auto kWaitSlice = 250ms;
// How long the link may take to open its port (the simulated box starts first).
constexpr auto kOpenLimit = 30s;

bool IsTerminal(const std::ostream& err) { return &err == &std::cerr && StandardErrorIsTerminal(); }

// What an earlier run of the same process may have left on the channels.
void DrainChannels() {
  for (const char* channel : {"R7P", "R7kProg"})
    while (ChannelReceive(channel, 0, true, nullptr) == kChannelOk) {
    }
}

// The progress of these is a handful of commands: no bar.
bool ShowsProgress(std::string_view operation) {
  return operation != "Check Module" && operation != "Module Version";
}

// The operations that honour the cancel marker (the version query takes it for an answer).
bool TakesCancel(std::string_view operation) {
  return operation == "Check Module" || operation == "Read Module" || operation == "Write Module" ||
         operation == "Erase Module";
}

// Words of a line fault that the operation may yet mend by sending again.
bool MayBeMended(std::string_view text) {
  for (int id : {kStrLinkTimeout, kStrCommandMismatch, kStrTimedOut, kStrDeviceNotResponding})
    if (text == AppString(id)) return true;
  return false;
}

// Earlier versions compared reads in folders "r7k-XXXXXX" of the temporary folder, which a
// kill could leave behind. Ours hold nothing but those reads.
void RemoveStaleScratchFolders() {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path temp = fs::temp_directory_path(ec);
  if (ec) return;
  for (const fs::directory_entry& folder : fs::directory_iterator(temp, ec)) {
    const std::string name = folder.path().filename().string();
    if (name.size() != 10 || !name.starts_with("r7k-") || !IsOwnFolder(folder.path())) continue;
    bool ours = true;
    for (const fs::directory_entry& file : fs::directory_iterator(folder.path(), ec)) {
      const std::string f = file.path().filename().string();
      ours = ours && file.is_regular_file(ec) &&
             (f == "second.r7v" || f == "third.r7v" ||
              (f.size() == 11 && f.starts_with("verify") && f.ends_with(".r7v")));
    }
    if (ours && !ec) fs::remove_all(folder.path(), ec);
  }
}

}  // namespace

std::optional<BoxTarget> ReadBoxTarget(const ParsedArgs& args, std::string_view command,
                                       CommandIo& io, int& status) {
  auto usage = [&](const std::string& message) {
    io.err << "r7k " << command << ": " << message << "\nRun 'r7k " << command
           << " --help' for usage.\n";
    status = kExitUsage;
    return std::nullopt;
  };
  BoxTarget target;
  target.sim = args.Has("--sim");
  target.trace = args.Has("--trace");
  if (target.sim && args.Has("--port")) return usage("give either --port or --sim");
  for (const char* sim_only : {"--chip", "--no-card", "--fault"}) {
    if (args.Has(sim_only) && !target.sim) return usage(std::string(sim_only) + " needs --sim");
  }
  if (target.sim) {
    if (const std::string image = args.Value("--sim"); !image.empty())
      target.sim_args.insert(target.sim_args.end(), {"--image", image});
    if (args.Has("--chip"))
      target.sim_args.insert(target.sim_args.end(), {"--chip", args.Value("--chip")});
    if (args.Has("--no-card")) target.sim_args.push_back("--no-card");
    if (args.Has("--fault"))
      target.sim_args.insert(target.sim_args.end(), {"--fault", args.Value("--fault")});
    BoxOptions options;
    std::string error;
    if (!ParseBoxArguments(target.sim_args, &options, &error)) return usage(error);
    return target;
  }
  target.port =
      PortName(args.Has("--port") ? args.Value("--port")
                                  : RegistryGetString(kSettingsKey, "Port1").value_or(""));
  if (target.port.empty()) {
    io.err << "r7k " << command
           << ": no port chosen. Give --port NAME (see 'r7k ports'), --sim, or save one with "
              "'r7k settings'.\n";
    status = kExitFailure;
    return std::nullopt;
  }
  return target;
}

bool AtTerminal(const CommandIo& io) { return IsTerminal(io.err) && StandardInputIsTerminal(); }

bool AskYesNo(CommandIo& io, const std::string& question) {
  io.err << question << " [y/N] " << std::flush;
  std::string answer;
  if (!std::getline(std::cin, answer)) {
    io.err << '\n';
    return false;
  }
  return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

int ScriptedBoxView::ShowMessage(WindowHandle owner, int type, std::string_view caption,
                                 std::string_view text) {
  const int buttons = type & 0xF;
  const bool question = buttons == kMbOkCancel || buttons == kMbYesNo || buttons == 3;
  std::string line =
      caption.empty() ? std::string(text) : std::string(caption) + ": " + std::string(text);
  if (question) {
    const bool asked = !yes_ && ask_;
    const bool yes = yes_ || (asked && ask_(line));
    AnswerNextMessage(yes ? (buttons == kMbOkCancel ? kIdOk : kIdYes)
                          : (buttons == kMbYesNo ? kIdNo : kIdCancel));
    if (!yes) refused_ = std::string(text);
    refused_when_asked_ = !yes && asked;
    if (asked) return HeadlessView::ShowMessage(owner, type, caption, text);
    line += yes_ ? " yes (--yes)" : " no";
  }
  // A stopped check leaves no module recognised: that is the stop, not news.
  const bool follows_stop = stopping_ && text == AppString(kStrNoModule);
  if (!question && MayBeMended(text))
    held_back_.push_back(line);
  else if (!follows_stop && (question || muted_.empty() || caption != muted_))
    out_.Line(line);
  return HeadlessView::ShowMessage(owner, type, caption, text);
}

void ScriptedBoxView::ReleaseHeldBack(bool show) {
  if (show)
    for (const std::string& line : held_back_) out_.Line(line);
  held_back_.clear();
}

BoxSession::BoxSession(CommandIo& io, std::string_view command, bool yes)
    : io_(io),
      command_(command),
      out_(io.err, IsTerminal(io.err)),
      view_(out_, yes),
      renderer_(out_) {
  dialogs_error_ = LoadAppDialogsAfresh([] {
    RegisterAppCallbacks();
    RegisterFieldsDrawnByTheDesktop();
  });
  // A dialog is only left by the script or by itself; this is the backstop.
  view_.SetIdleWait(std::chrono::duration_cast<std::chrono::milliseconds>(kSilenceLimit));
  if (AtTerminal(io)) view_.AskWith([this](const std::string& q) { return AskAtPrompt(q); });
  DlgSetView(&view_);
  main_ = StoreOpen("PresMain:Pres");
  app_ = StoreOpen("appmain:Perm");
  base_ = DlgCreateBaseWindow(0, 0, main_);
  SetLinkMessageBoxHook(
      [this](WindowHandle, std::string_view text, std::string_view caption, std::uint32_t) {
        out_.Line(std::string(caption) + ": " + std::string(text));
        return 1;
      });
  SetModuleOpProgressHook([this](const ModuleOpProgress& progress) { OnProgress(progress); });
  // Ctrl-C stops the operation as the Stop button does, so that the box's LED goes off and
  // the user's files stay as they were.
  handlers_ = InstallStopHandlers([this](int status) { OnStopRequest(status); });
}

BoxSession::~BoxSession() {
  Stop();
  view_.ReleaseHeldBack(true);
  SetModuleOpProgressHook(nullptr);
  SetLinkTraceHook(nullptr);
  SetLinkMessageBoxHook(nullptr);
  DrainChannels();
  DlgSetView(nullptr);
  DlgDestroyBaseWindow(base_);
  StoreClose(main_);
  StoreClose(app_);
  if (handlers_) RemoveStopHandlers();
}

void BoxSession::OnStopRequest(int status) {
  stop_status_ = status;
  // Nothing runs while the user is asked something: nothing to stop or put back.
  if (at_prompt_) {
    out_.Line("");
    std::_Exit(status);
  }
}

std::string BoxSession::StopCause() const {
  switch (stop_status_) {
    case 130: return "Ctrl-C";
    case 129: return "the terminal hanging up";
    case 143: return "a request to terminate";
  }
  return "a request to stop";
}

bool BoxSession::Ran(std::string_view operation) const {
  for (const std::string& name : ran_)
    if (name == operation) return true;
  return false;
}

bool BoxSession::Start(const BoxTarget& target) {
  if (dialogs_error_) {
    out_.Line("r7k: the program's own dialogs do not load: " + std::string(dialogs_error_));
    return false;
  }
  DrainChannels();
  RemoveStaleScratchFolders();
  std::string port = target.port;
  if (target.sim) {
    BoxOptions options;
    std::string error;
    ParseBoxArguments(target.sim_args, &options, &error);
    box_ = BoxSimulator::Start(std::move(options), &error);
    if (!box_) {
      out_.Line("Cannot start the simulated box: " + error);
      return false;
    }
    port = box_->PortName();
  } else if (IsSimulatedPortName(port)) {
    out_.Line("r7k: " + std::string(kSimulatedBoxInUse));
  }
  if (target.trace) {
    SetLinkTraceHook([this](bool to_box, std::string_view bytes) {
      out_.Line((to_box ? "-> " : "<- ") + PrintableBytes(bytes));
    });
  }
  // The firmware-version step sets the latency timer of this port.
  StoreSetString(app_, "Port1", port);
  LinkStartParams params;
  params.owner = base_;
  params.port_name = port;
  params.link_type = "USB";
  params.on_open = [this](bool opened, const std::string& error) {
    std::lock_guard lock(open_mutex_);
    opened_ = opened;
    open_error_ = error;
    open_changed_.notify_all();
  };
  link_ = std::thread([this, params] {
    LinkThread(params);
    link_ended_ = true;
    std::lock_guard lock(open_mutex_);
    if (!opened_) opened_ = false;
    open_changed_.notify_all();
  });
  // A port that does not open is the whole story: no box to ask anything.
  std::unique_lock lock(open_mutex_);
  open_changed_.wait_for(lock, kOpenLimit, [&] { return opened_.has_value(); });
  if (opened_.value_or(false)) return true;
  if (open_error_.find("ermission denied") != std::string::npos)
    out_.Line("r7k " + command_ +
              ": only the owner and the group of the port (often dialout) may open it; add your "
              "user to that group and log in again.");
  return false;
}

void BoxSession::Stop() {
  if (link_.joinable()) {
    ChannelSend("R7P", nullptr, "quit", 4);
    link_.join();
  }
  if (box_) box_->Stop();
}

void BoxSession::OnProgress(const ModuleOpProgress& progress) {
  last_report_ = Clock::now();
  if (current_op_.empty()) {
    // A new operation: a stop asked for before it began still applies to it.
    current_op_ = progress.operation;
    cancel_sent_ = false;
    ran_.push_back(progress.operation);
  }
  const bool bar = ShowsProgress(progress.operation);
  auto show = [&](const ModuleOpProgress& p, bool last) {
    if (bar)
      renderer_.Update(p.operation, p.commands_done, p.commands_total, p.bytes_done, p.bytes_total,
                       last, last_report_);
  };
  const bool new_note = !progress.note.empty() && progress.note != shown_note_;
  if (new_note && !progress.finished) {
    // The next pass of a verified read: the last figures of the one before, then its purpose.
    if (pass_) show(*pass_, true);
    out_.Line(progress.note);
  }
  show(progress, progress.finished);
  if (new_note && progress.finished) out_.Line(progress.note);
  if (new_note) shown_note_ = progress.note;
  pass_ = progress;
  if (progress.finished) {
    ends_.push_back(progress);
    resent_ += progress.resent;
    current_op_.clear();
    shown_note_.clear();
    pass_.reset();
  }
}

void BoxSession::CancelForStop() {
  if (!stop_status_ || cancel_sent_ || !TakesCancel(current_op_) || !ModuleOpRunning(app_)) return;
  cancel_sent_ = true;
  view_.Stopping();
  CancelModuleOp();
}

int BoxSession::RunDialog(std::string_view name, HeadlessView::Steps steps) {
  if (steps) {
    view_.WhenDialogOpens(std::string(name), [steps](DialogUser& user) {
      steps(user);
      // Leaves without the farewell of the main dialog's Close button.
      if (user.IsOpen()) DlgEndDialog(user.dialog(), kIdCancel);
    });
  }
  return DlgRunDialog(base_, name, main_, app_);
}

bool BoxSession::WaitForEnter(const std::string& prompt) {
  out_.Line(prompt);
  at_prompt_ = true;
  // A stop asked for just before the prompt began ends the command here.
  if (stop_status_) {
    at_prompt_ = false;
    return false;
  }
  std::string line;
  const bool entered = static_cast<bool>(std::getline(std::cin, line));
  at_prompt_ = false;
  return entered && !stop_status_;
}

bool BoxSession::AskAtPrompt(const std::string& question) {
  at_prompt_ = true;
  const bool yes = !stop_status_ && AskYesNo(io_, question);
  at_prompt_ = false;
  return yes && !stop_status_;
}

void BoxSession::ScriptNextCheck() {
  view_.WhenDialogOpens("CheckModule", [this](DialogUser& user) {
    // A check that timed out leaves its dialog open for another try: one lost answer on the
    // line should not end a read or write before it began.
    for (int tries = 1;; ++tries) {
      const size_t shown = view_.messages().size();
      PressAndWait(user, "CardInfo");
      if (!user.IsOpen() || stop_status_) break;
      const std::string status = user.Text("_Status");
      if (status == AppString(kStrNoCard) && AtTerminal(io_) &&
          WaitForEnter(
              "No card in reader. Insert the module and press Enter (Ctrl-C to stop)...")) {
        continue;
      }
      if (tries == kCheckTries) break;
      const auto& messages = view_.messages();
      const bool timed_out =
          messages.size() > shown && messages.back().text == AppString(kStrTimedOut);
      if (!timed_out) break;
      // The link still owes its own time-out answer to the lost command; the next check
      // throws it away when it is there before the check starts.
      user.WaitUntil([this] { return stop_status_ != 0; }, kLinkAnswerWait);
      if (stop_status_) break;
      ++check_retries_;
    }
    if (!user.IsOpen()) return;
    // What a finished check still shows is news to the user ("No card in reader.").
    const std::string status = user.Text("_Status");
    if (!status.empty() && status != IdleStatus(app_) && !stop_status_ &&
        StoreGetType(app_, "CmdTable") == kItemNone)
      out_.Line(status);
    user.Press("Cancel");  // without a command table running this ends the dialog
    if (user.IsOpen()) user.Close();
    if (user.IsOpen()) DlgEndDialog(user.dialog(), kIdCancel);
  });
}

bool BoxSession::WaitWhileRunning(DialogUser& user) {
  last_report_ = Clock::now();
  while (ModuleOpRunning(app_) && user.IsOpen()) {
    CancelForStop();
    // A stop request wakes the wait when there is something to cancel.
    user.WaitUntil(
        [&] {
          return !ModuleOpRunning(app_) ||
                 (stop_status_ && !cancel_sent_ && TakesCancel(current_op_));
        },
        kWaitSlice);
    if (!ModuleOpRunning(app_)) break;
    // Nothing will answer any more: the operation would only run into its time limits.
    if (link_ended_) {
      out_.Line("The link to the box has ended; giving up.");
      gave_up_ = true;
      return false;
    }
    if (Clock::now() - last_report_ > kSilenceLimit) {
      out_.Line("The box stopped answering; giving up.");
      gave_up_ = true;
      return false;
    }
  }
  return true;
}

std::vector<ModuleOpProgress> BoxSession::PressAndWait(DialogUser& user, std::string_view field) {
  const size_t before = ends_.size();
  // A stop asked for before the press: nothing new begins.
  if (stop_status_ || !user.Press(field)) return {};
  // The press may have run and ended an operation already (a check inside), or refused to
  // start one; one that runs keeps its command table until it ends.
  WaitWhileRunning(user);
  return std::vector<ModuleOpProgress>(ends_.begin() + std::ptrdiff_t(before), ends_.end());
}

std::optional<ModuleOpProgress> BoxSession::WaitForEnd(DialogUser& user,
                                                       std::string_view operation) {
  const size_t before = ends_.size();
  auto ended = [&]() -> const ModuleOpProgress* {
    for (size_t i = before; i < ends_.size(); ++i)
      if (ends_[i].operation == operation) return &ends_[i];
    return nullptr;
  };
  last_report_ = Clock::now();
  while (!ended() && user.IsOpen()) {
    user.WaitUntil([&] { return ended() != nullptr; }, kWaitSlice);
    if (ended()) break;
    if (link_ended_) {
      out_.Line("The link to the box has ended; giving up.");
      gave_up_ = true;
      return std::nullopt;
    }
    if (Clock::now() - last_report_ > kSilenceLimit) {
      out_.Line("The box stopped answering; giving up.");
      gave_up_ = true;
      return std::nullopt;
    }
  }
  if (const ModuleOpProgress* end = ended()) return *end;
  return std::nullopt;
}

void BoxSession::Finish(bool ok) {
  view_.ReleaseHeldBack(!ok);
  if (!ok) return;
  std::string summary;
  if (resent_ > 0)
    summary = std::to_string(resent_) + (resent_ == 1 ? " answer was" : " answers were") +
              " lost or damaged on the line and asked for again";
  if (check_retries_ > 0)
    summary +=
        std::string(summary.empty() ? "The" : "; the") + " module check was tried " +
        (check_retries_ == 1 ? "again once" : "again " + std::to_string(check_retries_) + " times");
  if (!summary.empty()) {
    summary[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(summary[0])));
    out_.Line(summary + ".");
  }
}

}  // namespace r7k::cli
