#include "gui/gui_app.h"

#include <QApplication>
#include <QMetaObject>
#include <QThread>
#include <atomic>
#include <chrono>
#include <future>
#include <iostream>
#include <memory>
#include <thread>

#include "engine/dialog_engine.h"
#include "gui/qt_view.h"
#include "gui/screenshots.h"
#include "link/link_message_box.h"
#include "app/module_ops.h"
#include "app/startup.h"
#include "support/build_info.h"

namespace r7k {
namespace {

// Set while a view can show the link thread's boxes; cleared before the program waits for the
// link thread to end, so a box asked for then cannot wait for a GUI thread that waits for it.
std::atomic<bool> g_boxes_on_screen{false};

int LinkBoxOnScreen(WindowHandle owner, std::string_view text, std::string_view caption,
                    std::uint32_t type) {
  if (QThread::currentThread() == qApp->thread())
    return DlgMessage(owner, static_cast<int>(type), caption, text);
  auto answer = std::make_shared<std::promise<int>>();
  std::future<int> result = answer->get_future();
  QMetaObject::invokeMethod(
      qApp,
      [answer, owner, type, text = std::string(text), caption = std::string(caption)] {
        answer->set_value(g_boxes_on_screen ? DlgMessage(owner, static_cast<int>(type), caption, text)
                                            : kIdOk);
      },
      Qt::QueuedConnection);
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
    "\n"
    "Settings live in $R7K_CONFIG_DIR, else $XDG_CONFIG_HOME/r7kprog, else ~/.config/r7kprog.\n"
    "The same operations from a terminal: r7k --help.\n";

}  // namespace

std::optional<int> AnswerInfoOptions(const std::vector<std::string>& args, std::ostream& out) {
  if (args.size() != 1) return std::nullopt;
  if (args[0] == "--help" || args[0] == "-h") {
    out << kUsage;
    return 0;
  }
  if (args[0] == "--version") {
    out << "r7kprog " << ProgramVersion() << '\n' << ProgramCopyright() << '\n';
    return 0;
  }
  return std::nullopt;
}

GuiSession::GuiSession(QtView& view) {
  DlgSetView(&view);
  g_boxes_on_screen = false;  // until a dialog is on screen
  view.SetOpenDialogsHook([](std::size_t open) { g_boxes_on_screen = open > 0; });
  SetLinkMessageBoxHook(LinkBoxOnScreen);
  SetModuleOpProgressHook([&view](const ModuleOpProgress& p) { view.ShowProgress(p); });
}

GuiSession::~GuiSession() {
  g_boxes_on_screen = false;
  SetModuleOpProgressHook(nullptr);
  SetLinkMessageBoxHook(nullptr);
  DlgSetView(nullptr);
}

int RunGui(int argc, char** argv) {
  {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (auto status = AnswerInfoOptions(args, std::cout)) return *status;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName("r7kprog");
  QApplication::setQuitOnLastWindowClosed(false);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  QtView view;
  view.SetIcon(0, "R7K_ICON");
  if (!args.empty() && args[0] == "--screenshots") {
    if (args.size() != 2) {
      std::cerr << "usage: r7kprog --screenshots DIR\n";
      return 2;
    }
    return RunScreenshotTour(view, args[1]);
  }
  GuiSession session(view);
  return AppMain(args);
}

}  // namespace r7k
