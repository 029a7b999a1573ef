#pragma once

// The dialog engine: runs dialogs from their definitions, binds fields to the items of the
// dialog's store by their tag, and calls the registered callbacks by name.
//
// Messages a field callback gets (wparam/lparam as noted):
//   1 field created (allocate field memory)       2 field destroyed
//   3 dialog opened (fill items)                  22 value shown (the default reads the item)
//   5, 6 repaint after a state change / after the dialog was shown (custom fields)
//   20 validate the entered value: a result whose low byte is 11 refuses it
//   21 value changed (the item already holds the new value)
//   23 give the value as text: copy at most wparam bytes to (char*)lparam, return the length
//   30 idle: sent once when the dialog has opened and once after each user action or posted
//      command it handled, never in a loop; a result of 21 means busy and ends that round
//   31 activated (pressed, or a posted command 273 for the field): -2 suppresses the scripted
//      action, 1 ends the dialog with the result 1, anything else lets the action run
// A callback passes what it does not handle to DlgFieldDefaultProc.
//
// Scripted action after message 31, in order: the items of attribute 13 marked "-(X)" are
// deleted; attribute 28 runs ("Stack NAME", "call NAME" / "Call =NAME", "Message? text"); then
// attribute 7: "Return" ends the dialog with the field's control id ("Stay" or none keeps it
// open; the OK and Cancel ids 1 and 2 return without an action attribute). A field is
// unavailable (greyed) while its state condition says so or an item it requires ("X (.)") is
// missing.
//
// All of this runs on the dialog thread. The one thing other threads may do is post to a
// dialog's window: PostWindowMessage(DlgGetInfo window, 273, control id, control window)
// activates that field in the dialog's modal loop.

#include <cstdarg>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/callbacks.h"
#include "engine/dialog_def.h"
#include "engine/view.h"
#include "store/item_store.h"
#include "support/pool_heap.h"
#include "support/window_messages.h"

namespace r7k {

enum FieldMessage : int {
  kMsgFieldCreated = 1,
  kMsgFieldDestroyed = 2,
  kMsgDialogOpened = 3,
  kMsgRepaintState = 5,
  kMsgRepaintShown = 6,
  kMsgValidate = 20,
  kMsgValueChanged = 21,
  kMsgValueShown = 22,
  kMsgGetText = 23,
  kMsgIdle = 30,
  kMsgActivate = 31,
};

constexpr int kResultSuppress = -2;  // from 31: skip the scripted action
constexpr int kResultEnd = 1;        // from 31: end the dialog
constexpr int kResultBusy = 21;      // from 30
constexpr int kResultRefuse = 11;    // low byte, from 20

constexpr int kThisField = 4660;  // DlgGetFieldInfo index: the calling field

enum InfoCode : int { kInfoItemStore = 1, kInfoMainStore = 2, kInfoWindow = 3 };
enum FieldInfoCode : int { kFieldKind = 1, kFieldControlId = 2, kFieldWindow = 4096 };

// Access for DlgSetAccess: an override of what the script says, until kAccessScript.
enum Access : int {
  kAccessFull = 0,
  kAccessReadOnly = 1,
  kAccessFixed = 2,
  kAccessGreyed = 4,
  kAccessInvisible = 8,
  kAccessScript = 15,  // back to the script's state
};

// What the user sees of a field.
enum class FieldState { kFull, kReadOnly, kGreyed, kInvisible };

// Message-box types (low nibble buttons, then icon, then default button) and results.
enum MessageBoxType : int {
  kMbOk = 0,
  kMbOkCancel = 1,
  kMbYesNo = 4,
  kMbIconStop = 16,
  kMbIconQuestion = 32,
  kMbIconExclamation = 48,
  kMbIconInformation = 64,
  kMbDefaultButton2 = 256,
};
enum MessageBoxResult : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

// Files dropped on a field, first one first.
using DropHandler = void (*)(FieldHandle field, const std::vector<std::string>& paths);

struct Field {
  Dialog* dialog = nullptr;
  int index = 0;
  const ControlDef* def = nullptr;
  WindowHandle window = 0;  // the control's window
  std::string tag;
  std::string text;  // the value as shown
  FieldProc proc = nullptr;
  CallbackRef callback;
  FieldState state = FieldState::kFull;
  std::optional<int> access;    // DlgSetAccess override
  PoolBuffer memory;            // DlgFieldMemAlloc
  std::string shown_signature;  // what the item looked like when last shown
  DropHandler drop = nullptr;   // DlgAcceptDrops
  bool show_always = false;     // DlgShowOnEveryRefresh
};

struct Dialog {
  std::string name;
  std::string caption;
  std::shared_ptr<const DialogDef> def;
  WindowHandle window = 0;
  WindowHandle owner = 0;
  StoreHandle main_store = nullptr;
  StoreHandle app_store = nullptr;
  std::vector<std::unique_ptr<Field>> fields;
  std::vector<std::pair<std::string, std::size_t>> pages;  // page label, first control index
  bool ended = false;
  int result = 0;

  Field* FindField(std::string_view tag_or_text) const;
};

// --- Setup -----------------------------------------------------------------------------------

// Adds dialog text to the engine's library; an error message on failure (nothing added).
std::optional<std::string> DlgLoadDefinitions(std::string_view text, std::string_view source);
const DialogLibrary& DlgLibrary();
void DlgClearDefinitions();  // tests
// The view that shows dialogs; the engine never owns it. nullptr restores the default, a
// headless view without a user (every dialog is closed at once).
void DlgSetView(View* view);
View& DlgView();
// Every callback and procedure name the library's scripts mention that is not registered, as
// "dialog 'X' field 1020: unknown callback 'CB_Y'" lines.
std::vector<std::string> DlgCheckNames();

// --- Operations the callbacks use --------------------------------------------------------------

WindowHandle DlgCreateBaseWindow(WindowHandle window, int reserved, StoreHandle main_store);
void DlgDestroyBaseWindow(WindowHandle window);
// Runs a dialog (or stack) modally; "Name word" fills "%1" of the caption with the word (words
// in double quotes may hold blanks; "%2" ... follow). Returns the closing field's id, 2 for
// Close/Cancel, 1 when a callback ended it, -1 when there is no such dialog.
int DlgRunDialog(WindowHandle owner, std::string_view name, StoreHandle main_store,
                 StoreHandle app_store);
int DlgRunProcedure(WindowHandle owner, std::string_view name, StoreHandle main_store,
                    StoreHandle app_store);
int DlgMessage(WindowHandle window, int type, std::string_view caption, std::string_view text);
int DlgMessageFmt(WindowHandle window, int type, const char* caption, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
int DlgMessageVFmt(WindowHandle window, int type, const char* caption, const char* format,
                   va_list values) __attribute__((format(printf, 4, 0)));
void DlgSetIcon(WindowHandle window, int reserved, std::string_view icon);
void DlgBeep();
std::optional<std::string> DlgChooseFile(WindowHandle owner, const FileRequest& request);
bool DlgPrint(FieldHandle field);
// Lets the user drop files on the field (a view asks Field::drop when it shows the dialog);
// the handler gets the dropped paths on the dialog thread, then the dialog refreshes.
void DlgAcceptDrops(FieldHandle field, DropHandler handler);
// The field is shown (message 22) at every refresh, not only when its item changed: what it
// shows lives outside the item (a picture file rewritten under the same name).
void DlgShowOnEveryRefresh(FieldHandle field);
// Hands a custom field's picture to the view.
void DlgShowFieldPicture(FieldHandle field, const FieldPicture& picture);

int DlgFieldDefaultProc(FieldHandle field, int message, WParam wparam, LParam lparam);
void* DlgFieldMemAlloc(FieldHandle field, std::size_t size);
void* DlgFieldMemRetrieve(FieldHandle field);

// 1 the dialog's item store, 2 the main store, 3 the dialog window; 0 for a bad field or code.
std::intptr_t DlgGetInfo(FieldHandle field, int code);
StoreHandle DlgItemStore(FieldHandle field);
StoreHandle DlgMainStore(FieldHandle field);
WindowHandle DlgWindow(FieldHandle field);

int DlgIndexFromTag(FieldHandle field, std::string_view tag);
int DlgIndexFromId(FieldHandle field, int control_id);
int DlgIndexFromHandle(FieldHandle field);
FieldHandle DlgFieldFromIndex(FieldHandle field, int index);
// Code 1 the kind, 2 the control id, 4096 the control window; -1 for a bad index or code.
std::intptr_t DlgGetFieldInfo(FieldHandle field, int index, int code);
// Copies the field's text with its zero (cut to fit) and returns its length; -1 when no field.
// Reading another field's text asks a custom field for it (message 23).
int DlgGetField(FieldHandle field, int index, char* buffer, std::size_t size);
std::optional<std::string> DlgGetFieldText(FieldHandle field, int index);
// Sets the field's text (length -1: zero-terminated), writes its item and shows it (22).
bool DlgSetField(FieldHandle field, int index, const char* text, int length);
bool DlgSetAccess(FieldHandle field, int index, int access);
// Property = attribute code of the script (1 the tag, 2 the callback text ...): copies it with
// its zero and returns the bytes delivered; 0 when the field has no such attribute.
std::size_t DlgGetProperty(FieldHandle field, int index, int property, char* buffer,
                           std::size_t size);

// The table behind a list field (its tag's table item): rows, selection, a cell, a search in a
// column (any letter case). Same results as the Table functions; -1 / 0 for a bad field.
int DlgTableRowCount(FieldHandle field, int index);
int DlgTableGetSelection(FieldHandle field, int index);
std::size_t DlgTableGetField(FieldHandle field, int index, int row, int column, char* buffer,
                             std::size_t size);
int DlgTableFindField(FieldHandle field, int index, const char* text, std::size_t length,
                      int column = 0);
// The field's text, as DlgGetField.
int DlgFieldGetText(FieldHandle field, int index, char* buffer, std::size_t size);

// --- What views call -----------------------------------------------------------------------

// The user typed a value: message 20 may refuse it (false, the old text stays); otherwise the
// item is written and message 21 sent.
bool DlgUserSetField(Dialog& dialog, int index, std::string_view text);
// The user pressed a button (or toggled a check box, which sets its value first). False when
// the field is unavailable.
bool DlgUserPress(Dialog& dialog, int index);
// The user chose a row of a list (-1: none).
bool DlgUserSelectRow(Dialog& dialog, int index, int row);
// The user dropped files on a field that accepts them (DlgAcceptDrops); false when it does not.
bool DlgUserDropFiles(Dialog& dialog, int index, const std::vector<std::string>& paths);
// The window's close box: the field with id 2 is pressed, or the dialog ends with 2.
void DlgUserClose(Dialog& dialog);
// The Enter key: presses the dialog's default field.
bool DlgUserEnter(Dialog& dialog);
// A menu item: presses the field with that control id.
bool DlgUserMenu(Dialog& dialog, int control_id);
// Ends the dialog with the result, whatever its fields say (a view giving up on it).
void DlgEndDialog(Dialog& dialog, int result);
// A message taken from the dialog window's queue.
void DlgDispatchMessage(Dialog& dialog, const WindowMessage& message);

// A check box shows checked when its text is its "on" value (attribute 20, else "1").
bool DlgIsChecked(const Field& field);
// Rows a list field shows: the table item's rows, or the default entries of its layout.
std::vector<std::vector<std::string>> DlgListRows(const Field& field);
int DlgListSelection(const Field& field);
// The rows as the list shows them: each laid out by the display format of its table (else the
// field's format attribute; engine/row_format.h), for a list in a fixed-width font.
std::vector<std::string> DlgListLines(const Field& field);
// What assistive technology calls the field (AccessibleName over the field's page); its tag
// when nothing else names it.
std::string DlgAccessibleName(const Field& field);
// The label control of the field on its page, nullptr when it has none.
const ControlDef* DlgFieldLabel(const Field& field);
// Why a greyed field is unavailable, from its "why" attributes that apply now (dialog_def.h);
// empty when it is not greyed or its script does not say.
std::string DlgGreyedReason(const Field& field);
// The dialog running on top, nullptr when none.
Dialog* DlgTopDialog();

}  // namespace r7k
