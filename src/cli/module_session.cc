#include "cli/module_session.h"

#include "app/dialog_texts.h"
#include "app/directory_view.h"
#include "engine/callbacks.h"

namespace r7k::cli {
namespace {

// The custom fields that only the desktop view draws (pictures, swatches, bitmap buttons): a
// session draws nothing, so they behave as plain fields.
int DrawnByTheDesktop(FieldHandle field, int message, WParam wparam, LParam lparam) {
  return DlgFieldDefaultProc(field, message, wparam, lparam);
}

}  // namespace

void RegisterFieldsDrawnByTheDesktop() {
  for (const char* name : {"PictureFld", "CB_Color", "BitmapFld"})
    if (!FindCallback(name)) RegisterCallback(name, DrawnByTheDesktop);
}

ModuleSession::ModuleSession(const std::string& module) {
  dialogs_error_ = LoadAppDialogsAfresh([] {
    RegisterEditingCallbacks();
    RegisterFieldsDrawnByTheDesktop();
  });
  view_.SetIdleWait(std::chrono::milliseconds(0));
  DlgSetView(&view_);
  main_ = StoreOpen("PresMain:Pres");
  app_ = StoreOpen("appmain:Perm");
  base_ = DlgCreateBaseWindow(0, 0, main_);
  StoreSetString(app_, "CurrentVirtualModule", module);
}

ModuleSession::~ModuleSession() {
  DlgSetView(nullptr);
  DlgDestroyBaseWindow(base_);
  StoreClose(main_);
  StoreClose(app_);
}

bool ModuleSession::ReportMessages(CommandIo& io) {
  bool stop = false;
  for (; reported_ < view_.messages().size(); ++reported_) {
    const ShownMessage& m = view_.messages()[reported_];
    io.err << m.caption << ": " << m.text << '\n';
    stop = stop || (m.type & 0xF0) == kMbIconStop || m.caption == "Pattern Load";
  }
  return stop;
}

bool ModuleSession::Load(CommandIo& io, bool valid_only) {
  if (dialogs_error_) {
    io.err << "r7k: the program's own dialogs do not load: " << dialogs_error_ << "\n";
    return false;
  }
  StoreSetNumeric(app_, "fShowValidOnly", valid_only ? 1 : 0);
  StoreDeleteItem(app_, "Directory");
  const bool loaded = LoadDirectory(base_, app_);
  ReportMessages(io);
  return loaded;
}

bool ModuleSession::Select(const std::string& name, CommandIo& io) {
  if (!Load(io)) return false;
  TableHandle table = StoreGetTable(app_, "Directory");
  int found = -1;
  bool found_valid = false;
  for (int row = 0; row < TableRows(table); ++row) {
    if (TableCell(table, row, 1) != name) continue;
    const bool valid = TableCell(table, row, 0) == "FC";
    if (valid || !found_valid) {
      found = row;
      found_valid = valid;
    }
  }
  if (found >= 0) {
    TableWriteSelection(table, found);
    StoreTableSetSelection(app_, "Directory", found);
    PublishSelection(app_, table);
  }
  TableFree(table);
  if (found < 0) io.err << "no entry named " << name << " in the module\n";
  return found >= 0;
}

int ModuleSession::Run(const char* procedure) {
  if (dialogs_error_) {
    // Told by ReportMessages as every other message of a command is.
    DlgMessage(0, kMbIconStop, "r7k",
               std::string("the program's own dialogs do not load: ") + dialogs_error_);
    return 0;
  }
  return DlgRunProcedure(base_, procedure, main_, app_);
}

}  // namespace r7k::cli
