#include "engine/dialog_def.h"

// The text format is described in src/app/dialogs/README.md.

#include <algorithm>
#include <cctype>
#include <charconv>

#include "engine/callbacks.h"
#include "support/ascii.h"

namespace r7k {
namespace {

struct Token {
  std::string text;
  bool quoted = false;
};

constexpr std::pair<std::string_view, int> kAttrNames[] = {
    {"tag", kAttrTag},         {"callback", kAttrCallback},
    {"layout", kAttrLayout},   {"valid", kAttrValid},
    {"format", kAttrFormat},   {"action", kAttrAction},
    {"format2", kAttrFormat2}, {"labelled_by", kAttrLabel},
    {"access", kAttrAccess},   {"hidden", kAttrHidden},
    {"items", kAttrItems},     {"key", kAttrKey},
    {"tooltip", kAttrTooltip}, {"selection", kAttrSelection},
    {"index", kAttrIndex},     {"on", kAttrOn},
    {"off", kAttrOff},         {"display", kAttrDisplay},
    {"state", kAttrState},     {"do", kAttrDo},
    {"name", kAttrName},       {"why", kAttrWhy},
};

constexpr std::pair<std::string_view, int> kKindNames[] = {
    {"label", kKindLabel}, {"button", kKindButton}, {"text", kKindText}, {"list", kKindList},
    {"check", kKindCheck}, {"group", kKindGroup},   {"icon", kKindIcon}, {"custom", kKindCustom},
};

std::optional<int> KindOf(std::string_view word) {
  for (auto [name, kind] : kKindNames)
    if (name == word) return kind;
  return std::nullopt;
}

std::optional<int> NumberOf(const Token& token) {
  int value = 0;
  const char* begin = token.text.data();
  const char* end = begin + token.text.size();
  auto [ptr, ec] = std::from_chars(begin, end, value);
  if (token.quoted || ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

// Splits one line into tokens; false (with a message) for an unterminated quote.
bool Tokenize(std::string_view line, std::vector<Token>& out, std::string& error) {
  std::size_t i = 0;
  while (i < line.size()) {
    if (std::isspace(static_cast<unsigned char>(line[i]))) {
      ++i;
      continue;
    }
    Token token;
    if (line[i] == '"') {
      token.quoted = true;
      ++i;
      bool closed = false;
      while (i < line.size()) {
        char c = line[i++];
        if (c == '"') {
          closed = true;
          break;
        }
        if (c == '\\' && i < line.size()) {
          char e = line[i++];
          c = e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
        }
        token.text.push_back(c);
      }
      if (!closed) {
        error = "text without its closing '\"'";
        return false;
      }
    } else {
      while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])))
        token.text.push_back(line[i++]);
    }
    out.push_back(std::move(token));
  }
  return true;
}

std::string StripAmpersand(std::string_view text) {
  std::string out;
  for (char c : text)
    if (c != '&') out.push_back(c);
  return out;
}

class DialogParser {
 public:
  DialogParser(std::string_view source, DialogLibrary& staged) : source_(source), staged_(staged) {}

  std::optional<std::string> Parse(std::string_view text) {
    std::size_t start = 0;
    while (start <= text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string_view::npos) end = text.size();
      ++line_;
      std::string_view line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      if (auto error = Line(line)) return Where() + *error;
      start = end + 1;
    }
    if (mode_ != Mode::kTop) return Where() + "'end' missing for '" + open_name_ + "'";
    return std::nullopt;
  }

 private:
  enum class Mode { kTop, kDialog, kStack, kMenu };

  std::string Where() const { return std::string(source_) + ":" + std::to_string(line_) + ": "; }

  std::optional<std::string> Line(std::string_view line) {
    std::vector<Token> t;
    std::string error;
    if (!Tokenize(line, t, error)) return error;
    if (t.empty() || (!t[0].quoted && t[0].text.starts_with("#"))) return std::nullopt;
    const std::string word = t[0].quoted ? std::string() : AsciiLower(t[0].text);
    if (word == "end") {
      if (mode_ == Mode::kTop) return "'end' without a definition";
      if (t.size() != 1) return "'end' takes nothing after it";
      return Close();
    }
    switch (mode_) {
      case Mode::kTop: return TopLine(word, t);
      case Mode::kDialog: return DialogLine(word, t);
      case Mode::kStack: return StackLine(word, t);
      case Mode::kMenu: return MenuLine(word, t);
    }
    return std::nullopt;
  }

  std::optional<std::string> TopLine(const std::string& word, const std::vector<Token>& t) {
    if (t.size() < 2) return "a name must follow '" + t[0].text + "'";
    open_name_ = t[1].text;
    const std::string key = AsciiLower(open_name_);
    if (word == "dialog" || word == "stack") {
      if (t.size() > 3) return "too many words after the " + word + " name";
      const std::string caption = t.size() > 2 ? t[2].text : std::string();
      if (word == "dialog") {
        if (staged_.dialogs.contains(key)) return "dialog '" + open_name_ + "' defined twice";
        dialog_ = DialogDef{};
        dialog_.name = open_name_;
        dialog_.caption = caption;
        default_word_.clear();
        mode_ = Mode::kDialog;
      } else {
        if (staged_.stacks.contains(key)) return "stack '" + open_name_ + "' defined twice";
        stack_ = StackDef{};
        stack_.name = open_name_;
        stack_.caption = caption;
        mode_ = Mode::kStack;
      }
      return std::nullopt;
    }
    if (word == "menu") {
      if (t.size() != 2) return "a menu has only a name";
      if (staged_.menus.contains(key)) return "menu '" + open_name_ + "' defined twice";
      menu_ = MenuDef{};
      menu_.name = open_name_;
      mode_ = Mode::kMenu;
      return std::nullopt;
    }
    return "expected dialog, stack or menu, not '" + t[0].text + "'";
  }

  std::optional<std::string> DialogLine(const std::string& word, const std::vector<Token>& t) {
    if (word == "size") {
      auto w = t.size() == 3 ? NumberOf(t[1]) : std::nullopt;
      auto h = t.size() == 3 ? NumberOf(t[2]) : std::nullopt;
      if (!w || !h || *w < 0 || *h < 0) return "size takes a width and a height";
      dialog_.w = *w;
      dialog_.h = *h;
      return std::nullopt;
    }
    if (word == "font") {
      auto size = t.size() == 3 ? NumberOf(t[2]) : std::nullopt;
      if (!size) return "font takes a name and a point size";
      dialog_.font = t[1].text;
      dialog_.font_size = *size;
      return std::nullopt;
    }
    if (word == "default" || word == "menu" || word == "icon") {
      if (t.size() != 2) return word + " takes one value";
      (word == "default" ? default_word_
       : word == "menu"  ? dialog_.menu
                         : dialog_.icon) = t[1].text;
      return std::nullopt;
    }
    if (auto kind = KindOf(word)) return ControlLine(*kind, t);
    if (dialog_.controls.empty())
      return "unknown statement '" + t[0].text + "' (a control must come before attributes)";
    return AttrLine(word, t);
  }

  std::optional<std::string> ControlLine(int kind, const std::vector<Token>& t) {
    ControlDef c;
    c.kind = kind;
    c.line = line_;
    auto id = t.size() >= 2 ? NumberOf(t[1]) : std::nullopt;
    if (!id) return "a control needs a numeric id after '" + t[0].text + "'";
    c.id = *id;
    std::size_t i = 2;
    if (i < t.size() && t[i].quoted) c.text = t[i++].text;
    if (i < t.size() && !t[i].quoted && AsciiLower(t[i].text) == "at") {
      int* slots[] = {&c.x, &c.y, &c.w, &c.h};
      for (int k = 0; k < 4; ++k) {
        auto n = i + 1 + k < t.size() ? NumberOf(t[i + 1 + k]) : std::nullopt;
        if (!n) return "'at' takes X Y W H";
        *slots[k] = *n;
      }
      i += 5;
    }
    if (i < t.size() && !t[i].quoted && AsciiLower(t[i].text) == "style") {
      for (++i; i < t.size(); ++i) c.style.push_back(AsciiLower(t[i].text));
    }
    if (i < t.size()) return "unexpected '" + t[i].text + "' in the control";
    if (c.id > 0) {
      for (const auto& other : dialog_.controls)
        if (other.id == c.id)
          return "control id " + std::to_string(c.id) + " used twice (first on line " +
                 std::to_string(other.line) + ")";
    }
    dialog_.controls.push_back(std::move(c));
    return std::nullopt;
  }

  std::optional<std::string> AttrLine(const std::string& word, const std::vector<Token>& t) {
    ControlDef& c = dialog_.controls.back();
    int code = 0;
    std::size_t value_at = 1;
    if (word == "attr") {
      auto n = t.size() >= 2 ? NumberOf(t[1]) : std::nullopt;
      if (!n || *n <= 0 || *n > 0xFFFF) return "attr takes a code from 1 to 65535";
      code = *n;
      value_at = 2;
    } else {
      code = AttrCodeOf(word);
      if (!code) return "unknown attribute '" + t[0].text + "'";
    }
    std::string value;
    if (t.size() == value_at && (code == kAttrHidden || code == kAttrDisplay)) {
      value = "1";
    } else if (t.size() == value_at + 1) {
      value = t[value_at].text;
    } else {
      return "'" + t[0].text + "' takes one value (quote texts with blanks)";
    }
    if (auto error = ReadScriptAttr(c, code, value)) return error;
    c.attrs.emplace_back(code, std::move(value));
    return std::nullopt;
  }

  // The attributes the engine acts on are read now, so that a mistake shows when the file loads.
  static std::optional<std::string> ReadScriptAttr(ControlDef& c, int code,
                                                   const std::string& value) {
    if (code == kAttrValid || code == kAttrState) {
      std::optional<Condition>& slot = code == kAttrValid ? c.valid : c.state;
      const char* what = code == kAttrValid ? "valid" : "state";
      if (slot) return std::string(what) + " condition given twice";
      Condition condition(value);
      if (!condition.error().empty())
        return std::string("broken ") + what + " condition \"" + value + "\": " + condition.error();
      slot = std::move(condition);
    } else if (code == kAttrAction) {
      if (c.action) return "action given twice";
      c.action = ParseFieldAction(value);
      if (!c.action) return "action is Stay or Return, not '" + value + "'";
    } else if (code == kAttrDo) {
      ScriptStep step;
      if (auto error = ParseScriptStep(value, step)) return error;
      c.steps.push_back(std::move(step));
    }
    return std::nullopt;
  }

  std::optional<std::string> StackLine(const std::string& word, const std::vector<Token>& t) {
    std::vector<std::string> cells;
    for (std::size_t i = 1; i < t.size(); ++i) cells.push_back(t[i].text);
    if (word == "columns") {
      if (!stack_.columns.empty()) return "columns given twice";
      stack_.columns = std::move(cells);
      return std::nullopt;
    }
    if (word == "row") {
      if (stack_.columns.empty()) return "columns must come before the rows";
      if (cells.size() > stack_.columns.size()) return "a row has more cells than columns";
      cells.resize(stack_.columns.size());
      if (auto action = stack_.Column("Action");
          action && !cells[*action].empty() && !ParseFieldAction(cells[*action]))
        return "action is Stay or Return, not '" + cells[*action] + "'";
      stack_.rows.push_back(std::move(cells));
      return std::nullopt;
    }
    return "expected columns or row, not '" + t[0].text + "'";
  }

  std::optional<std::string> MenuLine(const std::string& word, const std::vector<Token>& t) {
    if (word == "popup") {
      if (t.size() != 2) return "popup takes its text";
      menu_.popups.push_back(MenuPopupDef{t[1].text, {}});
      return std::nullopt;
    }
    if (word == "item") {
      if (menu_.popups.empty()) return "an item must be inside a popup";
      auto id = t.size() >= 3 ? NumberOf(t[2]) : std::nullopt;
      if (!id || t.size() > 4) return "item takes its text, a control id and an accelerator";
      menu_.popups.back().items.push_back(
          MenuItemDef{t[1].text, *id, t.size() == 4 ? t[3].text : std::string()});
      return std::nullopt;
    }
    return "expected popup or item, not '" + t[0].text + "'";
  }

  std::optional<std::string> Close() {
    const Mode mode = mode_;
    mode_ = Mode::kTop;
    if (mode == Mode::kStack) {
      staged_.stacks[AsciiLower(stack_.name)] = std::move(stack_);
    } else if (mode == Mode::kMenu) {
      staged_.menus[AsciiLower(menu_.name)] = std::move(menu_);
    } else {
      if (!default_word_.empty()) {
        auto id = NumberOf(Token{default_word_, false});
        if (!id) {
          for (const auto& c : dialog_.controls) {
            const std::string* tag = c.Attr(kAttrTag);
            if ((tag && AsciiLower(*tag) == AsciiLower(default_word_)) ||
                AsciiLower(StripAmpersand(c.text)) == AsciiLower(StripAmpersand(default_word_))) {
              id = c.id;
              break;
            }
          }
        }
        if (!id || !dialog_.FindControl(*id))
          return "default field '" + default_word_ + "' is not a control of '" + dialog_.name + "'";
        dialog_.default_id = *id;
      }
      staged_.dialogs[AsciiLower(dialog_.name)] = std::move(dialog_);
    }
    return std::nullopt;
  }

  std::string_view source_;
  DialogLibrary& staged_;
  int line_ = 0;
  Mode mode_ = Mode::kTop;
  std::string open_name_;
  DialogDef dialog_;
  std::string default_word_;
  StackDef stack_;
  MenuDef menu_;
};

template <typename Map>
auto FindIn(const Map& map, std::string_view name) -> const typename Map::mapped_type* {
  auto it = map.find(AsciiLower(name));
  return it == map.end() ? nullptr : &it->second;
}

}  // namespace

const std::string* ControlDef::Attr(int code) const {
  for (const auto& [c, value] : attrs)
    if (c == code) return &value;
  return nullptr;
}

std::string ControlDef::AttrOr(int code, std::string_view fallback) const {
  const std::string* value = Attr(code);
  return value ? *value : std::string(fallback);
}

const ControlDef* DialogDef::FindControl(int id) const {
  for (const auto& c : controls)
    if (c.id == id) return &c;
  return nullptr;
}

std::optional<std::size_t> StackDef::Column(std::string_view name) const {
  for (std::size_t i = 0; i < columns.size(); ++i)
    if (AsciiLower(columns[i]) == AsciiLower(name)) return i;
  return std::nullopt;
}

std::string StackDef::Cell(std::size_t row, std::string_view column) const {
  auto col = Column(column);
  if (!col || row >= rows.size()) return {};
  return rows[row][*col];
}

const DialogDef* DialogLibrary::FindDialog(std::string_view name) const {
  return FindIn(dialogs, name);
}
const StackDef* DialogLibrary::FindStack(std::string_view name) const {
  return FindIn(stacks, name);
}
const MenuDef* DialogLibrary::FindMenu(std::string_view name) const { return FindIn(menus, name); }

const ControlDef* FindLabel(std::span<const ControlDef> page, const ControlDef& control) {
  if (const std::string* id = control.Attr(kAttrLabel)) {
    int wanted = 0;
    std::from_chars(id->data(), id->data() + id->size(), wanted);
    for (const ControlDef& c : page)
      if (c.id == wanted && c.kind == kKindLabel) return &c;
  }
  // On the same row: the middle of either lies within the height of the other.
  const auto within = [](int middle, const ControlDef& c) {
    return middle >= c.y && middle < c.y + c.h;
  };
  const auto on_row = [&](const ControlDef& c) {
    return c.h > 0 && (within(control.y + control.h / 2, c) || within(c.y + c.h / 2, control));
  };
  const ControlDef* before = nullptr;
  for (const ControlDef& c : page) {
    if (&c == &control || c.kind == kKindGroup || c.w <= 0 || !on_row(c)) continue;
    if (c.x + c.w > control.x + 2) continue;  // not left of it (templates overlap a little)
    if (!before || c.x + c.w > before->x + before->w) before = &c;
  }
  return before && before->kind == kKindLabel && !before->text.empty() ? before : nullptr;
}

std::string AccessibleName(std::span<const ControlDef> page, const ControlDef& control) {
  if (const std::string* name = control.Attr(kAttrName)) return StripAmpersand(*name);
  const bool pressed = control.kind == kKindButton || control.kind == kKindCheck;
  if (!pressed)
    if (const ControlDef* label = FindLabel(page, control)) return StripAmpersand(label->text);
  const std::string text = StripAmpersand(control.text);
  if (std::any_of(text.begin(), text.end(),
                  [](char c) { return std::isalnum(static_cast<unsigned char>(c)); }))
    return text;
  return control.AttrOr(kAttrTooltip);
}

std::optional<FieldAction> ParseFieldAction(std::string_view text) {
  const std::string_view word = TrimBlanks(text);
  if (EqualsIgnoringCase(word, "stay")) return FieldAction::kStay;
  if (EqualsIgnoringCase(word, "return")) return FieldAction::kReturn;
  return std::nullopt;
}

std::optional<std::string> ParseScriptStep(std::string_view text, ScriptStep& step) {
  const std::string_view trimmed = TrimBlanks(text);
  const auto blank = trimmed.find_first_of(" \t");
  const std::string verb = AsciiLower(trimmed.substr(0, blank));
  const std::string_view rest =
      blank == std::string_view::npos ? std::string_view() : TrimBlanks(trimmed.substr(blank));
  if (verb == "stack") {
    if (rest.empty()) return "'Stack' takes the name of a dialog or stack";
    step = {ScriptStep::Verb::kStack, std::string(rest)};
  } else if (verb == "call" || verb.starts_with("call=")) {
    // "call PROC", "call =PROC", "call= PROC" and "call=PROC" alike.
    step = {ScriptStep::Verb::kCall, ParseCallbackRef(trimmed.substr(4)).name};
    if (step.argument.empty()) return "'call' takes the name of a procedure";
  } else if (verb == "message?") {
    step = {ScriptStep::Verb::kMessage, std::string(rest)};
  } else {
    return "unknown action '" + std::string(trimmed) + "' (Stack, call or Message?)";
  }
  return std::nullopt;
}

int AttrCodeOf(std::string_view keyword) {
  const std::string key = AsciiLower(keyword);
  for (auto [name, code] : kAttrNames)
    if (name == key) return code;
  return 0;
}

std::optional<std::string> ParseDialogText(std::string_view text, std::string_view source,
                                           DialogLibrary& library) {
  DialogLibrary staged = library;  // definitions already present count for duplicates
  if (auto error = DialogParser(source, staged).Parse(text)) return error;
  library = std::move(staged);
  return std::nullopt;
}

}  // namespace r7k
