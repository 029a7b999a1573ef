#include "app/view_session.h"

#include <atomic>
#include <chrono>
#include <future>
#include <iostream>
#include <memory>

#include "engine/dialog_engine.h"
#include "link/link_message_box.h"
#include "support/build_info.h"

namespace r7k {
namespace {

// Set while a view can show the link thread's boxes.
std::atomic<bool> g_boxes_on_screen{false};

int LinkBoxOnScreen(const ViewThread& thread, WindowHandle owner, std::string_view text,
                    std::string_view caption, std::uint32_t type) {
  if (thread.on_gui_thread()) return DlgMessage(owner, static_cast<int>(type), caption, text);
  auto answer = std::make_shared<std::promise<int>>();
  std::future<int> result = answer->get_future();
  thread.post([answer, owner, type, text = std::string(text), caption = std::string(caption)] {
    answer->set_value(g_boxes_on_screen ? DlgMessage(owner, static_cast<int>(type), caption, text)
                                        : kIdOk);
  });
  while (result.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
    if (!g_boxes_on_screen) {
      std::cerr << caption << ": " << text << '\n';
      return kIdOk;
    }
  }
  return result.get();
}

constexpr char kUsage[] =
    "Usage: r7kprog [MODULE.r7v]\n"
    "       r7kprog --screenshots DIR\n"
    "       r7kprog --help | --version\n"
    "\n"
    "The desktop programmer for the memory modules of the R7000 knitting machine: reads the\n"
    "module in the programmer box into a virtual module file (.r7v), writes one back, and lets\n"
    "you browse and edit virtual modules. It opens the configuration dialog first.\n"
    "\n"
    "  MODULE.r7v          an absolute path: the virtual module to start with\n"
    "  /m:N /a:N /d        the presentation host's monitor and application ids, debugging\n"
    "  --screenshots DIR   pictures every dialog over the demo module into DIR, then ends\n"
    "  --help              this text\n"
    "  --version           the program's version and copyright\n"
    "\n";

}  // namespace

ViewSession::ViewSession(View& view, ViewThread thread,
                         std::function<void(const ModuleOpProgress&)> progress) {
  DlgSetView(&view);
  g_boxes_on_screen = false;  // until a dialog is on screen
  SetLinkMessageBoxHook([thread = std::move(thread)](WindowHandle owner, std::string_view text,
                                                     std::string_view caption, std::uint32_t type) {
    return LinkBoxOnScreen(thread, owner, text, caption, type);
  });
  SetModuleOpProgressHook(std::move(progress));
}

ViewSession::~ViewSession() {
  g_boxes_on_screen = false;
  SetModuleOpProgressHook(nullptr);
  SetLinkMessageBoxHook(nullptr);
  DlgSetView(nullptr);
}

void ViewSession::DialogsOpen(std::size_t open) { g_boxes_on_screen = open > 0; }

std::optional<int> AnswerInfoOptions(const std::vector<std::string>& args, std::ostream& out,
                                     std::string_view settings_where) {
  if (args.size() != 1) return std::nullopt;
  if (args[0] == "--help" || args[0] == "-h") {
    out << kUsage << settings_where << "\nThe same operations from a terminal: r7k --help.\n";
    return 0;
  }
  if (args[0] == "--version") {
    out << "r7kprog " << ProgramVersion() << '\n' << ProgramCopyright() << '\n';
    return 0;
  }
  return std::nullopt;
}

}  // namespace r7k
