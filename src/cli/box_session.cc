#include "cli/box_session.h"

#include <unistd.h>

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
#include "sim/box_simulator.h"

namespace r7k::cli {
namespace {

using Clock = std::chrono::steady_clock;

bool IsTerminal(const std::ostream& err) {
  return &err == &std::cerr && ::isatty(STDERR_FILENO);
}

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
    if (args.Has("--chip")) target.sim_args.insert(target.sim_args.end(), {"--chip", args.Value("--chip")});
    if (args.Has("--no-card")) target.sim_args.push_back("--no-card");
    if (args.Has("--fault")) target.sim_args.insert(target.sim_args.end(), {"--fault", args.Value("--fault")});
    BoxOptions options;
    std::string error;
    if (!ParseBoxArguments(target.sim_args, &options, &error)) return usage(error);
    return target;
  }
  target.port = args.Has("--port") ? args.Value("--port")
                                   : RegistryGetString(kSettingsKey, "Port1").value_or("");
  if (target.port.empty()) {
    io.err << "r7k " << command
           << ": no port chosen. Give --port NAME (see 'r7k ports'), --sim, or save one with "
              "'r7k settings'.\n";
    status = kExitFailure;
    return std::nullopt;
  }
  return target;
}

int ScriptedBoxView::ShowMessage(WindowHandle owner, int type, std::string_view caption,
                                 std::string_view text) {
  const int buttons = type & 0xF;
  const bool question = buttons == kMbOkCancel || buttons == kMbYesNo || buttons == 3;
  std::string line = caption.empty() ? std::string(text) : std::string(caption) + ": " + std::string(text);
  if (question) {
    AnswerNextMessage(yes_ ? (buttons == kMbOkCancel ? kIdOk : kIdYes)
                           : (buttons == kMbYesNo ? kIdNo : kIdCancel));
    line += yes_ ? " yes (--yes)" : " no";
    if (!yes_) refused_ = std::string(text);
  }
  if (question || muted_.empty() || caption != muted_) out_.Line(line);
  return HeadlessView::ShowMessage(owner, type, caption, text);
}

BoxSession::BoxSession(CommandIo& io, bool yes)
    : out_(io.err, IsTerminal(io.err)), view_(out_, yes), renderer_(out_) {
  ClearRegistrations();
  RegisterAppCallbacks();
  RegisterFieldsDrawnByTheDesktop();
  DlgClearDefinitions();
  LoadAppDialogs();
  // A dialog is only left by the script or by itself; this is the backstop.
  view_.SetIdleWait(std::chrono::duration_cast<std::chrono::milliseconds>(kSilenceLimit));
  DlgSetView(&view_);
  main_ = StoreOpen("PresMain:Pres");
  app_ = StoreOpen("appmain:Perm");
  base_ = DlgCreateBaseWindow(0, 0, main_);
  SetLinkMessageBoxHook([this](WindowHandle, std::string_view text, std::string_view caption,
                               std::uint32_t) {
    out_.Line(std::string(caption) + ": " + std::string(text));
    return 1;
  });
  SetModuleOpProgressHook([this](const ModuleOpProgress& progress) { OnProgress(progress); });
}

BoxSession::~BoxSession() {
  Stop();
  SetModuleOpProgressHook(nullptr);
  SetLinkTraceHook(nullptr);
  SetLinkMessageBoxHook(nullptr);
  DrainChannels();
  DlgSetView(nullptr);
  DlgDestroyBaseWindow(base_);
  StoreClose(main_);
  StoreClose(app_);
}

bool BoxSession::Start(const BoxTarget& target) {
  DrainChannels();
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
  link_ = std::thread([this, params] {
    LinkThread(params);
    link_ended_ = true;
  });
  return true;
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
  if (ShowsProgress(progress.operation)) {
    renderer_.Update(progress.operation, progress.commands_done, progress.commands_total,
                     progress.bytes_done, progress.bytes_total, progress.finished, last_report_);
  }
  if (progress.finished) ends_.push_back(progress);
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

void BoxSession::ScriptNextCheck() {
  view_.WhenDialogOpens("CheckModule", [this](DialogUser& user) {
    // A check that timed out leaves its dialog open for another try: one lost answer on the
    // line should not end a read or write before it began.
    for (int tries = 1;; ++tries) {
      const size_t shown = view_.messages().size();
      PressAndWait(user, "CardInfo", "Check Module");
      if (!user.IsOpen() || tries == kCheckTries) break;
      const auto& messages = view_.messages();
      const bool timed_out = messages.size() > shown && messages.back().text == AppString(kStrTimedOut);
      if (!timed_out) break;
      // The link still owes its own time-out answer to the lost command; the next check
      // throws it away when it is there before the check starts.
      user.WaitUntil([] { return false; }, kLinkAnswerWait);
      out_.Line("Checking the module again...");
    }
    if (!user.IsOpen()) return;
    // What a finished check still shows is news to the user ("No card in reader.").
    const std::string status = user.Text("_Status");
    if (!status.empty() && StoreGetType(app_, "CmdTable") == kItemNone) out_.Line(status);
    user.Press("Cancel");  // without a command table running this ends the dialog
    if (user.IsOpen()) user.Close();
    if (user.IsOpen()) DlgEndDialog(user.dialog(), kIdCancel);
  });
}

std::optional<ModuleOpProgress> BoxSession::PressAndWait(DialogUser& user, std::string_view field,
                                                         std::string_view operation) {
  const size_t before = ends_.size();
  if (!user.Press(field)) return std::nullopt;
  // A module operation runs while its command table exists; the press may also have run and
  // ended one already (a check inside), or refused to start.
  if (StoreGetType(app_, "CmdTable") == kItemNone) {
    for (size_t i = before; i < ends_.size(); ++i)
      if (ends_[i].operation == operation) return ends_[i];
    return std::nullopt;
  }
  return WaitForEnd(user, operation);
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
    user.WaitUntil([&] { return ended() != nullptr; }, std::chrono::seconds(1));
    // Nothing will answer any more: the operation would only run into its time limits.
    if (link_ended_ && !ended()) {
      out_.Line("The link to the box has ended; giving up.");
      return std::nullopt;
    }
    if (Clock::now() - last_report_ > kSilenceLimit) {
      out_.Line("The box stopped answering; giving up.");
      return std::nullopt;
    }
  }
  if (const ModuleOpProgress* end = ended()) return *end;
  return std::nullopt;
}

}  // namespace r7k::cli
