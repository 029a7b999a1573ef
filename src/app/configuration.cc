#include "app/configuration.h"

#include <system_error>

#include "app/full_page.h"
#include "app/strings.h"
#include "engine/dialog_engine.h"
#include "platform/launcher.h"
#include "support/ascii.h"

namespace r7k {
namespace {

std::vector<std::filesystem::path> g_data_folders;

constexpr std::uint32_t kMsgEditSelect = 177;  // select from wparam to lparam

bool InPortList(FieldHandle field, const std::string& port) {
  Field* list = DlgFieldFromIndex(field, DlgIndexFromTag(field, "Ports"));
  if (!list) return false;
  for (const auto& row : DlgListRows(*list))
    if (!row.empty() && EqualsIgnoringCase(row[0], port)) return true;
  return false;
}

int OpenHelp(FieldHandle field, int message, WParam wparam, LParam lparam,
             const HelpLanguage& language) {
  if (message != kMsgActivate) return DlgFieldDefaultProc(field, message, wparam, lparam);
  OpenManual(DlgWindow(field), language);
  return kResultSuppress;
}

}  // namespace

std::filesystem::path ProgramFolder() { return ProgramPath().parent_path(); }

std::vector<std::filesystem::path> DataFolders() {
  if (!g_data_folders.empty()) return g_data_folders;
  const std::filesystem::path program = ProgramFolder();
  if (program.empty()) return {};
  return {program, program.parent_path() / "share" / "r7kprog"};
}

void SetDataFolders(std::vector<std::filesystem::path> folders) {
  g_data_folders = std::move(folders);
}

std::optional<std::filesystem::path> FindHelpFile(std::string_view file) {
  std::error_code ec;
  for (const auto& folder : DataFolders())
    if (std::filesystem::is_regular_file(folder / file, ec))
      return (folder / file).make_preferred();
  return std::nullopt;
}

const HelpLanguage kHelpEnglish = {
    kHelpFileEn, "Help file not installed",
    "The manual is in %s, but no web browser could be started to show it."};
const HelpLanguage kHelpDutch = {
    kHelpFileNl, "Help bestand niet gevonden",
    "De handleiding staat in %s, maar er kon geen webbrowser gestart worden om haar te tonen."};

bool OpenManual(WindowHandle window, const HelpLanguage& language) {
  // Without its own path the program cannot know where it is installed: nothing to say.
  if (DataFolders().empty()) return false;
  const auto page = FindHelpFile(language.file);
  if (!page) {
    DlgMessage(window, kMbOk, AppString(kStrProgram), language.missing);
    return false;
  }
  if (OpenDocument(*page)) return true;
  DlgMessageFmt(window, kMbIconExclamation, AppString(kStrProgram).c_str(), language.no_browser,
                page->string().c_str());  // c_str() is wide on Windows
  return false;
}

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
  return OpenHelp(field, message, wparam, lparam, kHelpEnglish);
}

int CB_HelpNl(FieldHandle field, int message, WParam wparam, LParam lparam) {
  return OpenHelp(field, message, wparam, lparam, kHelpDutch);
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
