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

}  // namespace

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
