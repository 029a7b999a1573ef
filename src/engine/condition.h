#pragma once

// The condition language of the dialog scripts: a field's validity condition ("strlen(_tag) <
// 8", "(_tag > 20) && ((_tag % 10) == 1) && (_tag < 202)") and its state condition
// ("cond((strlen(moduleversion) <= 0),_a_greyed,_a_full)").
//
// Grammar (C precedence):
//   expr    := or
//   or      := and { "||" and }          and := cmp { "&&" cmp }
//   cmp     := sum [ ("=="|"!="|"<"|"<="|">"|">=") sum ]
//   sum     := product { ("+"|"-") product }   product := unary { ("*"|"/"|"%") unary }
//   unary   := ("!"|"-") unary | primary
//   primary := number | "text" | name | name "(" [expr {"," expr}] ")" | "(" expr ")"
// Names are item names (any letter case), "_tag" (the field's value) or a state such as
// "_a_greyed" (which stands for itself as text). Functions: strlen(x), cond(c, a, b).
// A text compared with a number, or used in arithmetic, counts as the number it begins with.
// Bad text, unknown functions and division by zero give an error, never a crash.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace r7k {

using ConditionValue = std::variant<std::int64_t, std::string>;
// Gives the value of a name (item or "_tag"); nullopt for a missing item, which reads as "".
using ConditionLookup = std::function<std::optional<ConditionValue>(std::string_view name)>;

struct ConditionResult {
  std::optional<ConditionValue> value;  // empty on error
  std::string error;
};

struct ConditionNode;

// A condition parsed once (when its dialog file is read) and evaluated whenever the items change.
class Condition {
 public:
  // Parses the text; error() says what is wrong with it and where, empty when nothing is.
  explicit Condition(std::string_view text);

  const std::string& text() const { return text_; }
  const std::string& error() const { return error_; }
  // Only a division by zero gives an error here (besides a condition that did not parse).
  ConditionResult Evaluate(const ConditionLookup& lookup) const;

 private:
  std::string text_;
  std::string error_;
  std::shared_ptr<const ConditionNode> root_;  // shared: dialog definitions are copied per run
};

ConditionResult EvaluateCondition(std::string_view text, const ConditionLookup& lookup);

// True when the value counts as true: a nonzero number, or a text that is not empty and not "0".
bool ConditionTruth(const ConditionValue& value);

}  // namespace r7k
