#pragma once

// Start-up and shutdown: the command line, the stores, the base window, the configuration
// dialog at every start, the link thread, the main dialog "R7kProg" and the settings written
// back at the end.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dialog_engine.h"
#include "link/serial_channel.h"
#include "platform/usb_serial_ports.h"

namespace r7k {

inline constexpr char kUserProfileFile[] = "profile.ini";  // section "Monitor", "CmdLine"
inline constexpr char kTempPalette[] = "@@temp.pal";
inline constexpr std::size_t kCommandLineSize = 256;
inline constexpr int kMaxOtherTokens = 25;

struct StartupState {
  std::int32_t monitor_id = 0;
  std::uint16_t application_id = 0;
  bool debug = false;
  std::string command_line;  // at most kCommandLineSize - 1 characters
  int other_tokens = 0;
  std::optional<std::string> file_argument;  // an absolute path right after the program name
  WindowHandle base_window = 0;
  StoreHandle main_store = nullptr;
};

// Splits state.command_line at blanks, tabs and line feeds: "/m:N" and "/a:N" (any case) set
// the ids, "/d" (any case) the debug flag; other tokens are counted up to 25.
void ParseCommandLine(StartupState& state);

// The virtual module named right after the program name: an absolute path (the drive path of
// the desktop this program came from); nullopt for anything else.
std::optional<std::string> FileFromArguments(const std::vector<std::string>& args);

// What start-up needs from the machine; tests replace parts of it.
struct AppEnvironment {
  SystemRoots roots;  // where port discovery looks
  // Starts the link thread; nullopt when it could not be created, else its handle.
  std::function<std::optional<std::int64_t>(const LinkStartParams&)> start_link;
};
// An empty start_link means the real link thread.
void SetAppEnvironment(AppEnvironment environment);

// The entry routine: `args` are the arguments after the program name. Runs the program to its
// end and returns 0 (the early stops return 0 as well); AppExit has run when it returns.
int AppMain(const std::vector<std::string>& args);
// 1 after a normal run, 0 after "Application failure".
int MainProcedure(WindowHandle base_window);
// 1 when the system is refused, 2 when the configuration was cancelled, -1 when the link thread
// could not start, else the main dialog's result.
int AppInit(WindowHandle base_window, StoreHandle main_store, StoreHandle app_store);
// Ends the link thread this run started and closes the main store.
void AppExit();

// Monitor id (4 bytes) then application id (2 bytes), for outside callers.
void appGethAppl(std::uint8_t* buffer);

// The state of this run (tests read it).
const StartupState& CurrentStartup();

}  // namespace r7k
