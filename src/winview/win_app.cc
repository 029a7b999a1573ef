#include "winview/win_app.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstdio>
#include <iostream>

#include "app/dialog_tour.h"
#include "app/startup.h"
#include "app/view_session.h"
#include "winview/user_path.h"
#include "winview/win_view.h"

namespace r7k {
namespace {

constexpr char kSettingsWhere[] =
    "Settings live in the registry under HKEY_CURRENT_USER\\Software\\Veldmark\\R7kProg\\Settings.";

std::vector<std::string> Arguments() {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) args.push_back(Narrow(wide[i]));
  LocalFree(wide);
  return args;
}

// A program of the window subsystem has no standard output of its own when started from a
// console: it writes to the console it was started from.
void UseParentConsole() {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out && out != INVALID_HANDLE_VALUE && GetFileType(out) != FILE_TYPE_UNKNOWN) return;
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
  std::freopen("CONOUT$", "w", stdout);
  std::freopen("CONOUT$", "w", stderr);
}

DWORD g_gui_thread = 0;

ViewThread GuiThread() {
  return ViewThread{[] { return GetCurrentThreadId() == g_gui_thread; },
                    [](std::function<void()> call) { PostToGuiThread(std::move(call)); }};
}

int Screenshots(WinView& view, const std::string& folder) {
  ViewSession session(view, GuiThread(),
                      [&view](const ModuleOpProgress& p) { view.ShowProgress(p); });
  view.SetOpenDialogsHook([](std::size_t open) { ViewSession::DialogsOpen(open); });
  view.SetScripted(true);
  return RunDialogTourOn(view, folder);
}

}  // namespace

int RunWinGui() {
  std::vector<std::string> args = Arguments();
  if (!args.empty() && args[0].starts_with("--")) UseParentConsole();
  if (auto status = AnswerInfoOptions(args, std::cout, kSettingsWhere)) {
    std::cout.flush();
    return *status;
  }
  g_gui_thread = GetCurrentThreadId();
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES |
                                                     ICC_TAB_CLASSES | ICC_PROGRESS_CLASS |
                                                     ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  WinView view;
  int status = 0;
  if (!args.empty() && args[0] == "--screenshots") {
    if (args.size() != 2) {
      std::cerr << "usage: r7kprog --screenshots DIR\n";
      return 2;
    }
    status = Screenshots(view, args[1]);
  } else if (!args.empty() && args[0] == "--user-path") {
    ViewSession session(view, GuiThread(),
                        [&view](const ModuleOpProgress& p) { view.ShowProgress(p); });
    view.SetOpenDialogsHook([](std::size_t open) { ViewSession::DialogsOpen(open); });
    status = RunUserPath(view, std::vector<std::string>(args.begin() + 1, args.end()));
  } else {
    ViewSession session(view, GuiThread(),
                        [&view](const ModuleOpProgress& p) { view.ShowProgress(p); });
    view.SetOpenDialogsHook([](std::size_t open) { ViewSession::DialogsOpen(open); });
    status = AppMain(args);
  }
  std::cout.flush();
  std::cerr.flush();
  return status;
}

}  // namespace r7k
