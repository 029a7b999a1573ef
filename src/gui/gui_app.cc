#include "gui/gui_app.h"

#include <QApplication>
#include <QMetaObject>
#include <QThread>
#include <iostream>
#include <memory>

#include "app/startup.h"
#include "app/view_session.h"
#include "gui/qt_view.h"
#include "gui/screenshots.h"

namespace r7k {

constexpr char kSettingsWhere[] =
    "Settings live in $R7K_CONFIG_DIR, else $XDG_CONFIG_HOME/r7kprog, else ~/.config/r7kprog.";

std::optional<int> AnswerInfoOptions(const std::vector<std::string>& args, std::ostream& out) {
  return AnswerInfoOptions(args, out, kSettingsWhere);
}

GuiSession::GuiSession(QtView& view)
    : session_(std::make_unique<ViewSession>(
          view,
          ViewThread{[] { return QThread::currentThread() == qApp->thread(); },
                     [](std::function<void()> call) {
                       QMetaObject::invokeMethod(qApp, std::move(call), Qt::QueuedConnection);
                     }},
          [&view](const ModuleOpProgress& p) { view.ShowProgress(p); })) {
  view.SetOpenDialogsHook([](std::size_t open) { ViewSession::DialogsOpen(open); });
}

GuiSession::~GuiSession() = default;

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
