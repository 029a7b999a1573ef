#pragma once

// Dialog definitions as data: the layout of a dialog (caption, size in dialog units, font,
// controls) together with its script (which item each field shows, its callback, conditions
// and actions as numbered attributes), plus stacks and menus. ParseDialogText reads them from
// the text format described in src/app/dialogs/README.md.

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/condition.h"

namespace r7k {

// Field kinds as the script numbers them; the others are layout-only controls.
enum ControlKind : int {
  kKindLabel = 0,
  kKindButton = 1,
  kKindText = 2,
  kKindList = 3,
  kKindCheck = 4,
  kKindGroup = 5,
  kKindIcon = 6,
  kKindCustom = 7,  // drawn by a custom field procedure (pictures, bitmap buttons)
};

// Script attribute codes.
enum AttrCode : int {
  kAttrTag = 1,
  kAttrCallback = 2,
  kAttrLayout = 3,
  kAttrValid = 4,
  kAttrFormat = 6,
  kAttrAction = 7,
  kAttrFormat2 = 8,
  kAttrLabel = 9,
  kAttrAccess = 10,
  kAttrHidden = 11,
  kAttrItems = 13,
  kAttrKey = 15,
  kAttrTooltip = 16,
  kAttrSelection = 18,
  kAttrIndex = 19,
  kAttrOn = 20,
  kAttrOff = 21,
  kAttrDisplay = 22,
  kAttrState = 25,
  kAttrDo = 28,
  // The program's own, for what the scripts leave to the view:
  kAttrName = 40,  // the name assistive technology gives a field that has no label
  kAttrWhy = 41,   // while greyed: "(ITEM) text" when ITEM is missing or empty, else "text"
                   // when the state condition greys it
};

// What a field does after its callback let the scripted action run (attribute 7).
enum class FieldAction { kStay, kReturn };
// "Stay" or "Return" in any letter case; nullopt for anything else.
std::optional<FieldAction> ParseFieldAction(std::string_view text);

// A further action (attribute 28): "Stack NAME [WORD]" opens a dialog or stack (the word fills
// its caption's %1), "call PROC" (also "Call =PROC", "call=PROC") runs a procedure, "Message?
// TEXT" shows the text.
struct ScriptStep {
  enum class Verb { kStack, kCall, kMessage };
  Verb verb = Verb::kMessage;
  std::string argument;  // the dialog or stack and its word, the procedure's name, the text
  bool operator==(const ScriptStep&) const = default;
};
// Reads the step into `step`; the reason when the text is none.
std::optional<std::string> ParseScriptStep(std::string_view text, ScriptStep& step);

struct ControlDef {
  int id = 0;
  int kind = kKindLabel;
  std::string text;                // caption of the control
  int x = 0, y = 0, w = 0, h = 0;  // dialog units
  std::vector<std::string> style;  // free words for the view ("multiline", "right", "courier")
  std::vector<std::pair<int, std::string>> attrs;  // script attributes in order
  int line = 0;                                    // where it was defined, for messages
  // Read from the attributes when the definition is read, so that a broken one is refused then.
  std::optional<Condition> valid;     // 4
  std::optional<Condition> state;     // 25
  std::optional<FieldAction> action;  // 7
  std::vector<ScriptStep> steps;      // 28, in order

  // A control is a field of the script when it has script attributes or is of a field kind.
  bool IsField() const { return !attrs.empty() || (kind >= kKindButton && kind <= kKindCheck); }
  const std::string* Attr(int code) const;
  std::string AttrOr(int code, std::string_view fallback = {}) const;
};

struct DialogDef {
  std::string name;
  std::string caption;
  int w = 0, h = 0;
  std::string font = "MS Sans Serif";
  int font_size = 8;
  int default_id = 0;  // control id of the default field, 0 when none
  std::string menu;
  std::string icon;
  std::vector<ControlDef> controls;

  const ControlDef* FindControl(int id) const;
};

// A stack: a table of entries. With a "Resource" column its rows are pages (the dialogs named
// there, shown together under the stack's caption); otherwise each row is an entry the user can
// choose, with the columns "Tag" (its text), "Callback" and "Action".
struct StackDef {
  std::string name;
  std::string caption;
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;

  std::optional<std::size_t> Column(std::string_view name) const;
  std::string Cell(std::size_t row, std::string_view column) const;
  bool IsPages() const { return Column("Resource").has_value(); }
};

struct MenuItemDef {
  std::string text;
  int id = 0;  // the control id it presses
  std::string accelerator;
};
struct MenuPopupDef {
  std::string text;
  std::vector<MenuItemDef> items;
};
struct MenuDef {
  std::string name;
  std::vector<MenuPopupDef> popups;
};

struct DialogLibrary {
  std::map<std::string, DialogDef> dialogs;  // keys in lower case
  std::map<std::string, StackDef> stacks;
  std::map<std::string, MenuDef> menus;

  const DialogDef* FindDialog(std::string_view name) const;
  const StackDef* FindStack(std::string_view name) const;
  const MenuDef* FindMenu(std::string_view name) const;
};

// The label of a control among the controls of its page: the one its attribute 9 names, else
// the label right before it on its row (nothing between them); nullptr when it has none.
const ControlDef* FindLabel(std::span<const ControlDef> page, const ControlDef& control);

// What assistive technology calls a control: its "name" attribute, else (a field that is not
// a button) its label's text, else its own text when that has a letter or digit, else its
// tooltip; mnemonic "&"s removed. Empty when none of these gives one.
std::string AccessibleName(std::span<const ControlDef> page, const ControlDef& control);

// Adds the definitions of `text` to the library. On error nothing is added and the message
// names the source and line ("main.dlg:12: unknown attribute 'tagg'").
std::optional<std::string> ParseDialogText(std::string_view text, std::string_view source,
                                           DialogLibrary& library);

// The attribute code of a keyword of the text format ("tag" → 1), 0 when unknown.
int AttrCodeOf(std::string_view keyword);

}  // namespace r7k
