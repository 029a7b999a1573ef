#include "engine/dialog_engine.h"

#include <gtest/gtest.h>

#include "support/pool_heap.h"

#include <cstdio>
#include <stdexcept>
#include <thread>

#include "engine/headless_expect.h"
#include "engine/headless_view.h"

namespace r7k {
namespace {

using namespace std::chrono_literals;

// What the test callbacks saw, as "tag:message" words.
std::vector<std::string> g_log;

std::string TagOf(FieldHandle f) {
  char tag[64] = "";
  DlgGetProperty(f, kThisField, kAttrTag, tag, sizeof tag);
  return tag;
}

int CB_Log(FieldHandle f, int message, WParam wparam, LParam lparam) {
  if (message != kMsgRepaintShown && message != kMsgRepaintState)
    g_log.push_back(TagOf(f) + ":" + std::to_string(message));
  return DlgFieldDefaultProc(f, message, wparam, lparam);
}

// A press of "End" ends the dialog with 1, any other press does not run its action.
int CB_Result(FieldHandle f, int message, WParam wparam, LParam lparam) {
  if (message == kMsgActivate) return TagOf(f) == "End" ? kResultEnd : kResultSuppress;
  return DlgFieldDefaultProc(f, message, wparam, lparam);
}

// Counts presses in the item "count", as a handler field woken by a posted command would.
int CB_hCount(FieldHandle f, int message, WParam wparam, LParam lparam) {
  if (message == kMsgActivate) {
    StoreHandle store = DlgItemStore(f);
    StoreSetNumeric(store, "count", StoreGetNumeric(store, "count") + 1);
    return kResultSuppress;
  }
  return DlgFieldDefaultProc(f, message, wparam, lparam);
}

// Refuses "COM9" after the default validation, like a port check.
int CB_Port(FieldHandle f, int message, WParam wparam, LParam lparam) {
  const int r = DlgFieldDefaultProc(f, message, wparam, lparam);
  if (message == kMsgValidate && DlgGetFieldText(f, kThisField) == "COM9") return 0x100 | 11;
  return r;
}

int DP_Info(WindowHandle, int, int, StoreHandle, StoreHandle app) {
  StoreSetString(app, "_Status", "info ran");
  return 1;
}

int DP_Nested(WindowHandle owner, int, int, StoreHandle main, StoreHandle app) {
  StoreSetNumeric(app, "nested", DlgRunDialog(owner, "Text \"_0003\"", main, app));
  return 1;
}

const CallbackEntry kCallbacks[] = {
    {"CB_Log", CB_Log},
    {"CB_Result", CB_Result},
    {"CB_hCount", CB_hCount},
    {"CB_Port", CB_Port},
};
const ProcedureEntry kProcedures[] = {{"DP_Info", DP_Info}, {"DP_Nested", DP_Nested}};

const char kDialogs[] = R"dlg(
dialog Main "Main"
  size 200 100
  default Info
  text 1001 ""
    tag CurrentVirtualModule
    callback "=CB_Log"
  text 1002 ""
    tag Port1
    callback CB_Port
    valid "strlen(_tag) < 8"
  button 1020 "&Upload"
    tag ReadModule
    callback "=CB_Log"
    action Stay
    items "CurrentVirtualModule (.)"
    state "cond((strlen(moduleversion) <= 0),_a_greyed,_a_full)"
    why "(CurrentVirtualModule) Choose a module."
    why "No box answered."
  button 1030 "Info"
    do "call DP_Info"
  button 1031 "Suppressed"
    callback CB_Result
    action Return
  button 1032 "End"
    tag End
    callback CB_Result
    action Return
  button 1040 ""
    tag hCount
    callback CB_hCount
    hidden
  button 1050 "Nested"
    do "Call =DP_Nested"
  button 1060 "Help"
    do "Stack Help"
  button 1070 "Clean"
    items "Idle -(CmdTable) -(Type) (fKeep)"
  check 1080 "Show Valid only"
    tag fShowValidOnly
    callback CB_Log
  list 1090 ""
    tag Ports
    layout "Simple Port1 Com1 Com2 Com3 Com4"
  text 1100 ""
    tag _Status
    access 1
  button 2 "Close"
    action Return
    do "Message? Thank you and goodbye."
end

dialog Text "R7000 Programmer - %1"
  button 2 "Cancel"
end

stack Help "Help"
  columns Tag Short Action Callback
  row Nederlands "" Return CB_Log
  row Close "" Return
end
)dlg";

class Engine : public ::testing::Test {
 protected:
  void SetUp() override {
    g_log.clear();
    ClearRegistrations();
    RegisterCallbacks(kCallbacks);
    RegisterProcedures(kProcedures);
    DlgClearDefinitions();
    ASSERT_EQ(DlgLoadDefinitions(kDialogs, "test.dlg"), std::nullopt);
    view_.SetIdleWait(300ms);
    DlgSetView(&view_);
    base_ = DlgCreateBaseWindow(0, 0, main_);
  }
  void TearDown() override {
    DlgSetView(nullptr);
    DlgDestroyBaseWindow(base_);
    StoreClose(main_);
    StoreClose(app_);
  }
  int Run(std::string_view name = "Main") { return DlgRunDialog(base_, name, main_, app_); }

  HeadlessView view_;
  StoreHandle main_ = StoreOpen("PresMain:Pres");
  StoreHandle app_ = StoreOpen("appmain:Perm");
  WindowHandle base_ = 0;
};

TEST_F(Engine, OpeningSendsCreatedOpenedShownThenIdleOnce) {
  StoreSetString(app_, "CurrentVirtualModule", "/tmp/a.r7v");
  view_.WhenDialogOpens("main", [](DialogUser& user) {
    EXPECT_EQ(user.Caption(), "Main");
    EXPECT_EQ(user.Text("CurrentVirtualModule"), "/tmp/a.r7v");
    user.Close();
  });
  EXPECT_EQ(Run(), 2);
  // Only the first field's messages, in order; idle (30) once after opening, no more.
  std::vector<std::string> first;
  for (const auto& entry : g_log)
    if (entry.starts_with("CurrentVirtualModule:")) first.push_back(entry);
  EXPECT_EQ(first, (std::vector<std::string>{"CurrentVirtualModule:1", "CurrentVirtualModule:3",
                                             "CurrentVirtualModule:22", "CurrentVirtualModule:30",
                                             "CurrentVirtualModule:2"}));
}

TEST_F(Engine, ReturnCloseSuppressAndEndResults) {
  view_.WhenDialogOpens("Main", [](DialogUser& user) { user.Press("Close"); });
  EXPECT_EQ(Run(), 2);
  EXPECT_MESSAGE_SHOWN(view_, "Main", "Thank you and goodbye.");

  view_.WhenDialogOpens("Main", [](DialogUser& user) {
    user.Press("Suppressed");  // -2: its Return does not run
    EXPECT_TRUE(user.IsOpen());
    user.Press("End");  // 1 from the callback ends the dialog with 1
  });
  EXPECT_EQ(Run(), 1);
  EXPECT_NO_USER_PROBLEMS(view_);
}

TEST_F(Engine, AFieldShowsTheMainStoresItemWhenTheItemStoreHasNone) {
  StoreSetString(main_, "Port1", "ttyS0");
  view_.WhenDialogOpens("Main", [this](DialogUser& user) {
    EXPECT_EQ(user.Text("Port1"), "ttyS0");
    StoreSetString(app_, "Port1", "sim");
    user.Press("Info");
    EXPECT_EQ(user.Text("Port1"), "sim") << "the dialog's own store comes first";
    user.Close();
  });
  Run();
  StoreDeleteItem(main_, "Port1");
}

TEST_F(Engine, EnteredValuesAreValidatedThenWrittenToTheItem) {
  view_.WhenDialogOpens("Main", [this](DialogUser& user) {
    EXPECT_TRUE(user.Set("Port1", "ttyUSB0"));
    EXPECT_EQ(StoreGetString(app_, "port1"), "ttyUSB0");
    EXPECT_FALSE(user.Set("Port1", "ttyUSB10"));  // the script's condition
    EXPECT_FALSE(user.Set("Port1", "COM9"));      // the callback's refusal
    EXPECT_EQ(user.Text("Port1"), "ttyUSB0");
    EXPECT_EQ(StoreGetString(app_, "Port1"), "ttyUSB0");
    user.Close();
  });
  Run();
}

TEST_F(Engine, StateConditionAndRequiredItemsGreyAField) {
  view_.WhenDialogOpens("Main", [this](DialogUser& user) {
    const Field& upload = *user.dialog().FindField("ReadModule");
    EXPECT_EQ(user.State("ReadModule"), FieldState::kGreyed);
    EXPECT_EQ(DlgGreyedReason(upload), "Choose a module. No box answered.") << "both say why";
    EXPECT_FALSE(user.Press("Upload"));
    StoreSetString(app_, "ModuleVersion", "R7kProg 2.1");
    user.Press("Info");  // any action refreshes the states
    EXPECT_EQ(user.State("ReadModule"), FieldState::kGreyed) << "CurrentVirtualModule missing";
    EXPECT_EQ(DlgGreyedReason(upload), "Choose a module.");
    EXPECT_TRUE(user.Set("CurrentVirtualModule", "/tmp/m.r7v"));
    EXPECT_EQ(user.State("ReadModule"), FieldState::kFull);
    EXPECT_EQ(DlgGreyedReason(upload), "");
    EXPECT_EQ(DlgAccessibleName(upload), "Upload");
    EXPECT_EQ(DlgAccessibleName(*user.dialog().FindField("Port1")), "Port1") << "no label: the tag";
    EXPECT_TRUE(user.Press("Upload"));
    EXPECT_EQ(user.State("hCount"), FieldState::kInvisible);
    EXPECT_EQ(user.State("_Status"), FieldState::kReadOnly);
    user.Close();
  });
  Run();
  ASSERT_EQ(view_.problems().size(), 1u);
  EXPECT_EQ(view_.problems()[0], "dialog 'Main': 'Upload' is not available");
}

TEST_F(Engine, ItemListsDeleteWhenTheFieldActs) {
  StoreSetString(app_, "CmdTable", "x");
  StoreSetString(app_, "Type", "29F040");
  StoreSetString(app_, "fKeep", "1");
  view_.WhenDialogOpens("Main", [](DialogUser& user) {
    user.Press("Clean");
    user.Close();
  });
  Run();
  EXPECT_EQ(StoreGetType(app_, "CmdTable"), kItemNone);
  EXPECT_EQ(StoreGetType(app_, "Type"), kItemNone);
  EXPECT_EQ(StoreGetString(app_, "fKeep"), "1");
}

TEST_F(Engine, CallsStacksAndNestedDialogs) {
  Dialog* main = nullptr;
  view_.WhenDialogOpens("Main", [&](DialogUser& user) {
    main = &user.dialog();
    user.Press("Info");
    EXPECT_EQ(user.Text("_Status"), "info ran");  // shown again once its item changed
    user.Press("Nested");
    EXPECT_EQ(StoreGetNumeric(app_, "nested"), 2);
    StoreSetString(app_, "_Status", "");
    user.Enter();  // the default field is Info
    EXPECT_EQ(user.Text("_Status"), "info ran");
    user.Press("Help");
    user.Close();
  });
  view_.WhenDialogOpens("Text", [&](DialogUser& user) {
    EXPECT_EQ(user.Caption(), "R7000 Programmer - _0003");
    // The dialog below waits: what is done to it meanwhile (a screen reader's press, its
    // close box) does nothing.
    EXPECT_FALSE(DlgUserPress(*main, main->FindField("Info")->index));
    DlgUserClose(*main);
    EXPECT_FALSE(main->ended);
    user.Press("Cancel");
  });
  view_.WhenDialogOpens("Help", [](DialogUser& user) { user.Press("Nederlands"); });
  Run();
  EXPECT_EQ(view_.opened(), (std::vector<std::string>{"Main", "R7000 Programmer - _0003", "Help"}));
  EXPECT_NE(std::find(g_log.begin(), g_log.end(), ":31"), g_log.end())
      << "CB_Log of the stack entry";
  EXPECT_NO_USER_PROBLEMS(view_);
}

TEST_F(Engine, CommandsPostedFromOtherThreadsActivateHiddenFields) {
  view_.WhenDialogOpens("Main", [this](DialogUser& user) {
    Field* handler = user.dialog().FindField("hCount");
    ASSERT_NE(handler, nullptr);
    const WindowHandle window = user.dialog().window;
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t)
      posters.emplace_back([=] {
        for (int i = 0; i < 25; ++i) PostWindowMessage(window, kMsgCommand, 1040, handler->window);
      });
    for (auto& p : posters) p.join();
    EXPECT_TRUE(user.WaitUntil([this] { return StoreGetNumeric(app_, "count") == 100; }));
    user.Close();
  });
  Run();
  // Message 30 came once at opening and once per handled command, never on its own.
  const auto idles = std::count(g_log.begin(), g_log.end(), "CurrentVirtualModule:30");
  EXPECT_EQ(idles, 1 + 100);
}

TEST_F(Engine, IdleDialogWithoutStepsIsClosedAndSaysSo) {
  EXPECT_EQ(Run("Text"), 2);
  ASSERT_EQ(view_.problems().size(), 1u);
  EXPECT_EQ(view_.problems()[0], "dialog 'Text' waited for the user; closed");
  EXPECT_EQ(std::count(g_log.begin(), g_log.end(), "CurrentVirtualModule:30"), 0);
}

TEST_F(Engine, CheckBoxesAndLists) {
  view_.WhenDialogOpens("Main", [this](DialogUser& user) {
    user.Press("Show Valid only");
    EXPECT_EQ(StoreGetString(app_, "fShowValidOnly"), "1");
    user.Press("Show Valid only");
    EXPECT_EQ(StoreGetString(app_, "fShowValidOnly"), "0");
    EXPECT_EQ(user.Rows("Ports").size(), 4u);  // the layout's default entries
    EXPECT_TRUE(user.Select("Ports", 2));
    EXPECT_EQ(StoreGetString(app_, "Port1"), "Com3");
    EXPECT_EQ(user.Text("Port1"), "Com3");  // the bound text field follows its item
    TableHandle t = TableNew(2, 0);
    TableWriteRow(t, kRowAppend, std::vector<std::string>{"ttyUSB0", "R7000Link"});
    TableWriteRow(t, kRowAppend, std::vector<std::string>{"sim", ""});
    StoreSetTable(app_, "Ports", t);
    TableFree(t);
    user.Press("Info");
    EXPECT_EQ(user.Rows("Ports").size(), 2u);
    EXPECT_TRUE(user.Select("Ports", 1));
    EXPECT_EQ(StoreGetString(app_, "Port1"), "sim");
    EXPECT_FALSE(user.Select("Ports", 5));
    // A table with column titles: the selected row's cells become the items of those names.
    t = TableNew(2, 0);
    TableWriteRow(t, kRowSetNames, std::vector<std::string>{"Port1", "Description"});
    TableWriteRow(t, kRowAppend, std::vector<std::string>{"ttyUSB0", "R7000Link"});
    TableWriteRow(t, kRowAppend, std::vector<std::string>{"sim", ""});
    StoreSetTable(app_, "Ports", t);
    TableFree(t);
    user.Press("Info");
    EXPECT_TRUE(user.Select("Ports", 0));
    EXPECT_EQ(StoreGetString(app_, "Description"), "R7000Link");
    EXPECT_TRUE(user.Select("Ports", -1));
    EXPECT_EQ(StoreGetType(app_, "Description"), kItemNone) << "no row: the items go";
    EXPECT_TRUE(user.Select("Ports", 1));
    EXPECT_EQ(StoreGetString(app_, "Description"), "");
    Field* ports = user.dialog().FindField("Ports");
    EXPECT_EQ(DlgTableRowCount(ports, kThisField), 2);
    EXPECT_EQ(DlgTableGetSelection(ports, kThisField), 1);
    EXPECT_EQ(DlgTableFindField(ports, kThisField, "TTYUSB0", 7), 0);
    char cell[16];
    EXPECT_EQ(DlgTableGetField(ports, kThisField, 0, 1, cell, sizeof cell), 10u);
    EXPECT_STREQ(cell, "R7000Link");
    user.Close();
  });
  Run();
  EXPECT_EQ(view_.problems().size(), 1u);
}

TEST_F(Engine, FieldOperationsFromACallback) {
  static std::vector<FieldState> seen;
  seen.clear();
  static int (*probe)(FieldHandle, int, WParam, LParam) = [](FieldHandle f, int m, WParam w,
                                                             LParam l) -> int {
    if (m == kMsgFieldCreated) {
      auto* mem = static_cast<std::uint32_t*>(DlgFieldMemAlloc(f, 16));
      // A zeroed block of the pool heap, so an overrun is caught when the field goes.
      EXPECT_EQ(PoolSize(kMainPool, mem), 16u);
      EXPECT_EQ(mem[3], 0u);
      mem[0] = 0xC0FFEE;
    }
    if (m == kMsgActivate) {
      EXPECT_EQ(static_cast<std::uint32_t*>(DlgFieldMemRetrieve(f))[0], 0xC0FFEEu);
      EXPECT_EQ(DlgItemStore(f), reinterpret_cast<StoreHandle>(DlgGetInfo(f, 1)));
      const int port = DlgIndexFromTag(f, "port1");
      EXPECT_EQ(DlgIndexFromId(f, 1002), port);
      EXPECT_EQ(DlgIndexFromTag(f, "nothing"), -1);
      EXPECT_EQ(DlgGetFieldInfo(f, port, kFieldKind), kKindText);
      EXPECT_EQ(DlgGetFieldInfo(f, 999, kFieldKind), -1);
      char text[32];
      EXPECT_EQ(DlgGetProperty(f, kThisField, kAttrCallback, text, sizeof text), 13u);
      EXPECT_STREQ(text, "=CB_Probe x1");
      EXPECT_TRUE(DlgSetField(f, port, "ttyS0", 6));
      EXPECT_EQ(DlgGetField(f, port, text, sizeof text), 5);
      EXPECT_STREQ(text, "ttyS0");
      EXPECT_EQ(StoreGetString(DlgItemStore(f), "Port1"), "ttyS0");
      const int upload = DlgIndexFromId(f, 1020);
      DlgSetAccess(f, upload, kAccessInvisible);
      seen.push_back(DlgFieldFromIndex(f, upload)->state);
      DlgSetAccess(f, upload, kAccessScript);
      seen.push_back(DlgFieldFromIndex(f, upload)->state);
      return kResultSuppress;
    }
    return DlgFieldDefaultProc(f, m, w, l);
  };
  RegisterCallback("CB_Probe", probe);
  ASSERT_EQ(DlgLoadDefinitions("dialog Probe \"p\"\n"
                               "  text 1002 \"\"\n    tag Port1\n"
                               "  button 1020 \"Up\"\n    items \"Type (.)\"\n"
                               "  button 1200 \"Probe\"\n    callback \"=CB_Probe x1\"\n"
                               "end\n",
                               "probe.dlg"),
            std::nullopt);
  view_.WhenDialogOpens("Probe", [](DialogUser& user) {
    user.Press("Probe");
    user.Close();
  });
  Run("Probe");
  EXPECT_EQ(seen, (std::vector<FieldState>{FieldState::kInvisible, FieldState::kGreyed}));
  EXPECT_NO_USER_PROBLEMS(view_);
}

TEST_F(Engine, MessageBoxesAnswerAsScriptedOrByDefault) {
  EXPECT_EQ(DlgMessage(base_, kMbOk | kMbIconStop, "Startup", "Application failure"), kIdOk);
  EXPECT_EQ(DlgMessage(base_, kMbOkCancel | kMbDefaultButton2, "Erase Module", "Are you sure?"),
            kIdCancel);
  EXPECT_EQ(DlgMessage(base_, kMbYesNo | kMbIconQuestion, "WARNING", "Continue?"), kIdYes);
  view_.AnswerNextMessage(kIdNo);
  EXPECT_EQ(DlgMessage(base_, kMbYesNo, "WARNING", "Continue?"), kIdNo);
  EXPECT_EQ(
      DlgMessageFmt(base_, kMbIconExclamation, "Show Sector", "Sector %s has %d rows", "S0001", 12),
      kIdOk);
  EXPECT_MESSAGE_SHOWN(view_, "Show Sector", "Sector S0001 has 12 rows");
  EXPECT_EQ(view_.messages().size(), 5u);
  EXPECT_EQ(view_.messages()[1].answer, kIdCancel);
}

TEST_F(Engine, UnknownNamesAreReportedWithAHint) {
  ASSERT_EQ(DlgLoadDefinitions("dialog Odd \"o\"\n  button 5 \"x\"\n    callback CB_Lgo\n"
                               "    do \"call DP_Nope\"\nend\n",
                               "odd.dlg"),
            std::nullopt);
  EXPECT_EQ(DlgCheckNames(),
            (std::vector<std::string>{
                "dialog 'Odd' field 5: unknown callback 'CB_Lgo'; did you mean 'CB_Log'?",
                "dialog 'Odd' field 5: unknown procedure 'DP_Nope'"}));
  EXPECT_EQ(UnknownNameMessage("procedure", "DP_Infoo"),
            "unknown procedure 'DP_Infoo'; did you mean 'DP_Info'?");
  EXPECT_EQ(UnknownNameMessage("callback", "Zzzzzzzz"), "unknown callback 'Zzzzzzzz'");
  view_.SetIdleWait(0ms);
  Run("Odd");
  Run("Odd");
  EXPECT_EQ(std::count_if(
                view_.messages().begin(), view_.messages().end(),
                [](const ShownMessage& m) { return m.text.find("CB_Lgo") != std::string::npos; }),
            1);
  EXPECT_MESSAGE_SHOWN(view_, "Dialog engine",
                       "dialog 'Odd': unknown callback 'CB_Lgo'; did you mean 'CB_Log'?");
  EXPECT_EQ(Run("NoSuchDialog"), -1);
  EXPECT_MESSAGE_SHOWN(view_, "Dialog engine", "unknown dialog 'NoSuchDialog'");
  const auto ref = ParseCallbackRef(" =BitmapFld question.bmp ");
  EXPECT_EQ(ref.name, "BitmapFld");
  EXPECT_EQ(ref.parameter, "question.bmp");
}

TEST_F(Engine, PageStacksMenusAndViewServices) {
  ASSERT_EQ(DlgLoadDefinitions(R"dlg(
dialog T_Mother "Mother"
  menu IDR_MENU
  button 1006 "Help"
    do "Message? help"
  button 2 "Close"
    action Return
end
dialog T_Header "Header"
  text 3001 ""
    tag T_Number
end
stack ShowTechnique "R7000 Programmer - Technique,"
  columns Label Resource
  row Mother T_Mother
  row Header T_Header
end
menu IDR_MENU
  popup "&Help"
    item "&Contents" 1006
end
)dlg",
                               "pages.dlg"),
            std::nullopt);
  StoreSetString(app_, "T_Number", "12");
  view_.WhenDialogOpens("ShowTechnique", [](DialogUser& user) {
    EXPECT_EQ(user.Caption(), "R7000 Programmer - Technique,");
    ASSERT_EQ(user.dialog().pages.size(), 2u);
    EXPECT_EQ(user.dialog().pages[1].first, "Header");
    EXPECT_EQ(user.Text("T_Number"), "12");  // a field of the second page
    EXPECT_TRUE(user.Menu(1006));
    EXPECT_TRUE(DlgPrint(user.dialog().fields[0].get()));
    user.Menu(2);
  });
  EXPECT_EQ(Run("ShowTechnique"), 2);
  EXPECT_MESSAGE_SHOWN(view_, "R7000 Programmer - Technique,", "help");
  DlgSetIcon(base_, 0, "R7K_ICON");
  DlgBeep();
  EXPECT_EQ(view_.icons().at(base_), "R7K_ICON");
  EXPECT_EQ(view_.beeps(), 1);
  EXPECT_EQ(view_.prints(), 1);
  view_.ChooseFileNext("/tmp/x.r7v");
  EXPECT_EQ(DlgChooseFile(base_, FileRequest{false, "Open", "*.r7v", ""}), "/tmp/x.r7v");
  EXPECT_EQ(DlgChooseFile(base_, FileRequest{}), std::nullopt);  // nothing scripted: cancelled
  EXPECT_EQ(view_.file_requests().size(), 2u);
  EXPECT_NO_USER_PROBLEMS(view_);
}

int CB_Throws(FieldHandle f, int message, WParam wparam, LParam lparam) {
  if (message == kMsgActivate) throw std::runtime_error("disk full");
  return DlgFieldDefaultProc(f, message, wparam, lparam);
}

int PictureFld(FieldHandle f, int message, WParam wparam, LParam lparam) {
  if (message == kMsgFieldCreated) DlgShowOnEveryRefresh(f);
  if (message == kMsgValueShown)
    StoreSetNumeric(DlgMainStore(f), "shown", StoreGetNumeric(DlgMainStore(f), "shown") + 1);
  if (message == kMsgGetText) {
    auto* out = reinterpret_cast<char*>(lparam);
    std::snprintf(out, wparam, "pic.bmp");
    return 7;
  }
  return DlgFieldDefaultProc(f, message, wparam, lparam);
}

int CB_Again(FieldHandle f, int message, WParam wparam, LParam lparam) {
  if (message == kMsgDialogOpened) {
    StoreSetNumeric(DlgItemStore(f), "depth", StoreGetNumeric(DlgItemStore(f), "depth") + 1);
    DlgRunDialog(DlgWindow(f), "Again", DlgMainStore(f), DlgItemStore(f));
  }
  return DlgFieldDefaultProc(f, message, wparam, lparam);
}

TEST_F(Engine, ThrowingCallbacksCustomFieldsAndRunawayNesting) {
  RegisterCallback("CB_Throws", CB_Throws);
  RegisterCallback("PictureFld", PictureFld);
  RegisterCallback("CB_Again", CB_Again);
  ASSERT_EQ(DlgLoadDefinitions(R"dlg(
dialog Odd "Odd"
  button 1 "OK"
    callback CB_Throws
    action Return
  custom 7 ""
    tag PatBmp
    callback PictureFld
  check 8 "Keep"
    tag fKeep
    on "yes"
    off "no"
end
dialog Again "Again"
  button 2 "Close"
    callback CB_Again
end
)dlg",
                               "odd.dlg"),
            std::nullopt);
  view_.SetIdleWait(0ms);
  view_.WhenDialogOpens("Odd", [](DialogUser& user) {
    user.Press("OK");  // throws: reported, and its Return does not run
    EXPECT_TRUE(user.IsOpen());
    Field* keep = user.dialog().FindField("fKeep");
    EXPECT_EQ(DlgGetFieldText(keep, user.dialog().FindField("PatBmp")->index), "pic.bmp");
    EXPECT_FALSE(DlgIsChecked(*keep));
    const int32_t shown = StoreGetNumeric(user.dialog().main_store, "shown");
    user.Press("Keep");
    EXPECT_TRUE(DlgIsChecked(*keep));
    // Its item did not change, yet the picture field looks at its file again.
    EXPECT_GT(StoreGetNumeric(user.dialog().main_store, "shown"), shown);
    EXPECT_EQ(keep->text, "yes");
    user.Close();
  });
  EXPECT_EQ(Run("Odd"), 2);
  EXPECT_MESSAGE_SHOWN(view_, "Dialog engine", "'CB_Throws' failed: disk full");
  EXPECT_EQ(StoreGetString(app_, "fKeep"), "yes");

  Run("Again");
  EXPECT_EQ(StoreGetNumeric(app_, "depth"), 32);
  EXPECT_MESSAGE_SHOWN(view_, "Dialog engine", "dialog 'Again' not opened: too many dialogs open");
}

TEST_F(Engine, ClipboardCopiesReachTheView) {
  TableHandle t = TableNew(1, 0);
  TableWriteRow(t, kRowSetNames, std::vector<std::string>{"Name"});
  TableWriteRow(t, kRowAppend, std::vector<std::string>{"T0001"});
  EXPECT_TRUE(TableCopyToClipboard(t, 4));
  TableFree(t);
  EXPECT_EQ(view_.clipboard(), "Name\r\nT0001\r\n");
}

}  // namespace
}  // namespace r7k
