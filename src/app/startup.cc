#include "app/startup.h"

#include <charconv>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <thread>

#include "app/dialog_texts.h"
#include "app/frame.h"
#include "app/module_ops.h"
#include "app/register.h"
#include "app/settings.h"
#include "app/strings.h"
#include "link/channel.h"
#include "link/link_thread.h"
#include "link/port_discovery.h"
#include "module/builtin_images.h"
#include "platform/config_files.h"
#include "platform/os_version.h"
#include "support/ascii.h"

namespace r7k {
namespace {

StartupState g_state;
AppEnvironment g_environment;
std::unique_ptr<std::thread> g_link_thread;

std::int64_t DecimalAfter(std::string_view token) {
  std::int64_t value = 0;
  std::from_chars(token.data() + 3, token.data() + token.size(), value);
  return value;
}

// The real link thread; it runs until AppExit orders it to quit.
std::optional<std::int64_t> StartLinkThread(const LinkStartParams& params) {
  if (g_link_thread) return std::nullopt;
  try {
    g_link_thread = std::make_unique<std::thread>([params] { LinkThread(params); });
  } catch (const std::system_error&) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>(g_link_thread->native_handle());
}

void StopLinkThread() {
  if (!g_link_thread) return;
  ChannelSend("R7P", nullptr, "quit", 4);
  g_link_thread->join();
  g_link_thread.reset();
}

std::string JoinArguments(const std::vector<std::string>& args) {
  std::string line;
  for (const std::string& a : args) line += (line.empty() ? "" : " ") + a;
  return line.substr(0, kCommandLineSize - 1);
}

void CopyPalette(StoreHandle app_store) {
  const std::string temp = LongTempPath();
  if (temp.empty()) return;
  const std::filesystem::path target = std::filesystem::path(temp) / kTempPalette;
  const std::string palette = StoreGetString(app_store, "Palette").value_or("");
  std::error_code ec;
  if (palette.size() > 5)
    std::filesystem::copy_file(palette, target, std::filesystem::copy_options::overwrite_existing,
                               ec);
  else
    std::filesystem::remove(target, ec);
}

}  // namespace

void ParseCommandLine(StartupState& state) {
  state.other_tokens = 0;
  std::string_view line = state.command_line;
  std::size_t pos = 0;
  while (pos < line.size()) {
    const std::size_t start = line.find_first_not_of(" \t\n", pos);
    if (start == std::string_view::npos) break;
    std::size_t end = line.find_first_of(" \t\n", start);
    if (end == std::string_view::npos) end = line.size();
    const std::string_view token = line.substr(start, end - start);
    pos = end;
    const std::string prefix = AsciiLower(token.substr(0, 3));
    if (prefix == "/m:") {
      state.monitor_id = static_cast<std::int32_t>(DecimalAfter(token));
    } else if (prefix == "/a:") {
      state.application_id = static_cast<std::uint16_t>(DecimalAfter(token));
    } else if (EqualsIgnoringCase(token, "/d")) {
      state.debug = true;
    } else if (state.other_tokens < kMaxOtherTokens) {
      ++state.other_tokens;
    }
  }
}

std::optional<std::string> FileFromArguments(const std::vector<std::string>& args) {
  if (args.empty()) return std::nullopt;
  const std::string& first = args.front();
  if (first.size() < 2 || first[0] != '/') return std::nullopt;
  const std::string prefix = AsciiLower(std::string_view(first).substr(0, 3));
  if (prefix == "/m:" || prefix == "/a:" || EqualsIgnoringCase(first, "/d")) return std::nullopt;
  return first;
}

void SetAppEnvironment(AppEnvironment environment) { g_environment = std::move(environment); }

const StartupState& CurrentStartup() { return g_state; }

void appGethAppl(std::uint8_t* buffer) {
  std::memcpy(buffer, &g_state.monitor_id, 4);
  std::memcpy(buffer + 4, &g_state.application_id, 2);
}

int AppMain(const std::vector<std::string>& args) {
  g_state = StartupState{};
  g_state.command_line = JoinArguments(args);
  ParseCommandLine(g_state);
  if (g_state.debug) {
    if (g_state.monitor_id || g_state.application_id || g_state.other_tokens) {
      DlgMessage(0, kMbIconStop, "ERROR", "/d option must be used alone");
      return 0;
    }
    g_state.command_line =
        GetProfileString(kUserProfileFile, "Monitor", "CmdLine").substr(0, kCommandLineSize - 1);
    ParseCommandLine(g_state);
  }
  if (!g_state.monitor_id || !g_state.application_id) {
    g_state.monitor_id = 0;
    g_state.application_id = 0;
    if (g_state.debug &&
        DlgMessage(0, kMbYesNo | kMbIconQuestion, "WARNING",
                   "Debugging while Monitor is not running.  \nContinue?") == kIdNo)
      return 0;
  }
  g_state.file_argument = FileFromArguments(args);
  // Without a presentation host there is nothing to register with; dialog positions stay.
  RegisterAppCallbacks();
  if (!DlgLibrary().FindDialog("R7kProg")) {
    // The dialog files are part of the program: one that does not load is a broken build.
    if (const char* error = LoadAppDialogs()) {
      DlgMessage(0, kMbIconStop, "Startup", error);
      return 0;
    }
  }
  g_state.main_store = StoreOpen("PresMain:Pres");
  g_state.base_window = DlgCreateBaseWindow(0, 0, g_state.main_store);
  MainProcedure(g_state.base_window);
  AppExit();
  return 0;
}

int MainProcedure(WindowHandle base_window) {
  StoreHandle app_store = StoreOpen("appmain:Perm");
  int result = -1;
  if (app_store) {
    result = AppInit(base_window, g_state.main_store, app_store);
    StoreClose(app_store);
  }
  if (result == -1) {
    DlgMessage(base_window, kMbIconStop, "Startup", "Application failure");
    return 0;
  }
  return 1;
}

int AppInit(WindowHandle base_window, StoreHandle main_store, StoreHandle app_store) {
  for (const char* rom : {"R7kRom", "R7kRomx"})
    StoreSetNumeric(app_store, rom, reinterpret_cast<std::intptr_t>(BuiltinImage(rom).data()));
  DlgSetIcon(base_window, 0, "R7K_ICON");
  ReadSettings(app_store);
  if (g_state.file_argument)
    StoreSetString(app_store, "CurrentVirtualModule", *g_state.file_argument);
  StoreSetNumeric(app_store, "Idle", 1);
  if (!OsSupported()) {
    DlgMessage(base_window, kMbOk, "R7000 Programmer", "Not supported on this operating system");
    return 1;
  }
  PortDiscovery(app_store, RegistryGetString(kSettingsKey, "Port1").value_or(""),
                g_environment.roots);
  if (DlgRunDialog(base_window, "Configuration", main_store, app_store) == kIdCancel) return 2;
  if (const std::string idle = IdleStatus(app_store); !idle.empty())
    StoreSetString(app_store, "_Status", idle);

  LinkStartParams params;
  params.owner = base_window;
  params.port_name = StoreGetString(app_store, "Port1").value_or("");
  params.link_type = "USB";
  const auto thread =
      g_environment.start_link ? g_environment.start_link(params) : StartLinkThread(params);
  if (!thread) {
    DlgMessageEx(base_window, kMbOk, kStrProgram, kStrCreateThreadFailed);
    return -1;
  }
  StoreSetNumeric(app_store, "hCommThread", *thread);
  CopyPalette(app_store);
  if (StoreGetNumeric(app_store, "fKeep") == 0 && !g_state.file_argument)
    StoreDeleteItem(app_store, "CurrentVirtualModule");

  const int result = DlgRunDialog(base_window, "R7kProg", main_store, app_store);

  std::string error;
  if (!WriteSettings(app_store, &error))
    DlgMessage(base_window, kMbIconExclamation, AppString(kStrProgram), error);
  return result;
}

void AppExit() {
  StopLinkThread();
  if (g_state.base_window) DlgDestroyBaseWindow(g_state.base_window);
  g_state.base_window = 0;
  if (g_state.main_store) StoreClose(g_state.main_store);
  g_state.main_store = nullptr;
}

}  // namespace r7k
