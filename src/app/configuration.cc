#include "app/configuration.h"

#include <unistd.h>

#include <cstdlib>
#include <system_error>

#include "app/strings.h"
#include "common/pattern_page.h"
#include "engine/dialog_engine.h"
#include "support/ascii.h"

namespace r7k {
namespace {

DocumentLauncher g_launcher;
std::filesystem::path g_help_folder;

constexpr std::uint32_t kMsgEditSelect = 177;  // select from wparam to lparam

bool InPortList(FieldHandle field, const std::string& port) {
  Field* list = DlgFieldFromIndex(field, DlgIndexFromTag(field, "Ports"));
  if (!list) return false;
  for (const auto& row : DlgListRows(*list))
    if (!row.empty() && EqualsIgnoringCase(row[0], port)) return true;
  return false;
}

int OpenHelp(FieldHandle field, int message, WParam wparam, LParam lparam, const char* file,
             const char* missing) {
  if (message != kMsgActivate) return DlgFieldDefaultProc(field, message, wparam, lparam);
  const std::filesystem::path folder = g_help_folder.empty() ? ProgramFolder() : g_help_folder;
  if (folder.empty()) return kResultSuppress;
  const std::filesystem::path help = folder / file;
  std::error_code ec;
  if (!std::filesystem::exists(help, ec)) {
    DlgMessage(DlgWindow(field), kMbOk, AppString(kStrProgram), missing);
    return kResultSuppress;
  }
  const auto argv = BrowserArgvFromEnvironment(std::getenv("BROWSER"), help.string());
  if (g_launcher)
    g_launcher(argv);
  else
    LaunchDetached(argv);
  return kResultSuppress;
}

}  // namespace

std::filesystem::path ProgramFolder() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : self.parent_path();
}

void SetDocumentLauncher(DocumentLauncher launcher) { g_launcher = std::move(launcher); }
void SetHelpFolder(std::filesystem::path folder) { g_help_folder = std::move(folder); }

int CB_Port(FieldHandle field, int message, WParam wparam, LParam lparam) {
  const int result = DlgFieldDefaultProc(field, message, wparam, lparam);
  if (message != kMsgValidate || (result & 0xFF) == kResultRefuse) return result;
  // The port names are short (under 8 characters); a longer text is refused by the script.
  const std::string port = DlgGetFieldText(field, kThisField).value_or("").substr(0, 8);
  if (!InPortList(field, port)) return 0x100 | kResultRefuse;
  return result;
}

int CB_Config(FieldHandle field, int message, WParam wparam, LParam lparam) {
  if (message == kMsgActivate) {
    StoreHandle store = DlgItemStore(field);
    if (StoreGetString(store, "Palette").value_or("").empty()) StoreDeleteItem(store, "Palette");
  }
  return DlgFieldDefaultProc(field, message, wparam, lparam);
}

int CB_BrowsePalette(FieldHandle field, int message, WParam wparam, LParam lparam) {
  if (message != kMsgActivate) return DlgFieldDefaultProc(field, message, wparam, lparam);
  StoreHandle store = DlgItemStore(field);
  FileRequest request;
  request.title = AppString(kStrSelectModuleTitle).substr(0, 63);
  request.filter = kPaletteFilter;
  request.initial_path = StoreGetString(store, "Palette").value_or("");
  const auto chosen = DlgChooseFile(DlgWindow(field), request);
  const int result = DlgFieldDefaultProc(field, message, wparam, lparam);
  if (chosen) StoreSetString(store, "Palette", *chosen);
  return result;
}

int CB_RightAlign(FieldHandle field, int message, WParam wparam, LParam lparam) {
  const int result = DlgFieldDefaultProc(field, message, wparam, lparam);
  if (message == kMsgValueShown) {
    const auto edit = static_cast<WindowHandle>(DlgGetFieldInfo(field, kThisField, kFieldWindow));
    PostWindowMessage(edit, kMsgEditSelect, 0, -1);
  }
  return result;
}

int CB_HelpEn(FieldHandle field, int message, WParam wparam, LParam lparam) {
  return OpenHelp(field, message, wparam, lparam, kHelpFileEn, "Help file not installed");
}

int CB_HelpNl(FieldHandle field, int message, WParam wparam, LParam lparam) {
  return OpenHelp(field, message, wparam, lparam, kHelpFileNl, "Help bestand niet gevonden");
}

int CB_Print(FieldHandle field, int message, WParam wparam, LParam lparam) {
  if (message != kMsgActivate) return DlgFieldDefaultProc(field, message, wparam, lparam);
  DlgFieldDefaultProc(field, message, wparam, lparam);
  const int status = DlgIndexFromTag(field, "_Status");
  if (status >= 0) {
    const auto printing = FindAppString(kStrPrinting);
    const std::string text = printing ? std::string(*printing) : ">>Printing...";
    DlgSetField(field, status, text.c_str(), -1);
  }
  DlgPrint(field);
  return kResultSuppress;
}

}  // namespace r7k
