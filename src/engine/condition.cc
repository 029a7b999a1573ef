#include "engine/condition.h"

#include <cctype>
#include <cstdlib>
#include <vector>

#include "support/ascii.h"

namespace r7k {
namespace {

constexpr int kMaxDepth = 64;  // deeper nesting is refused rather than risking the stack

std::int64_t NumberOf(const ConditionValue& v) {
  if (auto* n = std::get_if<std::int64_t>(&v)) return *n;
  return std::strtoll(std::get<std::string>(v).c_str(), nullptr, 10);
}

std::string TextOf(const ConditionValue& v) {
  if (auto* s = std::get_if<std::string>(&v)) return *s;
  return std::to_string(std::get<std::int64_t>(v));
}

class Parser {
 public:
  Parser(std::string_view text, const ConditionLookup& lookup) : text_(text), lookup_(lookup) {}

  ConditionResult Run() {
    auto value = Expr();
    Skip();
    if (value && pos_ < text_.size()) Fail("unexpected '" + std::string(1, text_[pos_]) + "'");
    if (!error_.empty()) return {std::nullopt, error_};
    return {value, {}};
  }

 private:
  using Value = std::optional<ConditionValue>;

  void Fail(std::string message) {
    if (error_.empty()) error_ = message + " at " + std::to_string(pos_ + 1);
  }

  void Skip() {
    while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  }

  bool Eat(std::string_view token) {
    Skip();
    if (text_.substr(pos_, token.size()) != token) return false;
    pos_ += token.size();
    return true;
  }

  Value Expr() {
    if (++depth_ > kMaxDepth) {
      Fail("too deeply nested");
      return std::nullopt;
    }
    Value v = Or();
    --depth_;
    return v;
  }

  Value Or() {
    Value left = And();
    while (left && Eat("||")) {
      Value right = And();
      if (!right) return std::nullopt;
      left = std::int64_t{ConditionTruth(*left) || ConditionTruth(*right)};
    }
    return left;
  }

  Value And() {
    Value left = Compare();
    while (left && Eat("&&")) {
      Value right = Compare();
      if (!right) return std::nullopt;
      left = std::int64_t{ConditionTruth(*left) && ConditionTruth(*right)};
    }
    return left;
  }

  Value Compare() {
    Value left = Sum();
    if (!left) return left;
    static const char* const kOps[] = {"==", "!=", "<=", ">=", "<", ">"};
    for (const char* op : kOps) {
      if (!Eat(op)) continue;
      Value right = Sum();
      if (!right) return std::nullopt;
      int order;
      if (std::holds_alternative<std::string>(*left) && std::holds_alternative<std::string>(*right)) {
        order = std::get<std::string>(*left).compare(std::get<std::string>(*right));
      } else {
        const auto a = NumberOf(*left), b = NumberOf(*right);
        order = a < b ? -1 : a > b ? 1 : 0;
      }
      const std::string_view o = op;
      bool holds = o == "==" ? order == 0 : o == "!=" ? order != 0 : o == "<=" ? order <= 0
                 : o == ">=" ? order >= 0 : o == "<" ? order < 0 : order > 0;
      return std::int64_t{holds};
    }
    return left;
  }

  Value Sum() {
    Value left = Product();
    while (left) {
      Skip();
      if (pos_ >= text_.size() || (text_[pos_] != '+' && text_[pos_] != '-')) break;
      const char op = text_[pos_++];
      Value right = Product();
      if (!right) return std::nullopt;
      const auto a = NumberOf(*left), b = NumberOf(*right);
      left = static_cast<std::int64_t>(op == '+' ? static_cast<std::uint64_t>(a) + b
                                                 : static_cast<std::uint64_t>(a) - b);
    }
    return left;
  }

  Value Product() {
    Value left = Unary();
    while (left) {
      Skip();
      if (pos_ >= text_.size() || (text_[pos_] != '*' && text_[pos_] != '/' && text_[pos_] != '%'))
        break;
      const char op = text_[pos_++];
      Value right = Unary();
      if (!right) return std::nullopt;
      const auto a = NumberOf(*left), b = NumberOf(*right);
      if (op == '*') {
        left = static_cast<std::int64_t>(static_cast<std::uint64_t>(a) * b);
      } else if (b == 0 || (a == INT64_MIN && b == -1)) {
        Fail("division by zero");
        return std::nullopt;
      } else {
        left = op == '/' ? a / b : a % b;
      }
    }
    return left;
  }

  Value Unary() {
    Skip();
    if (pos_ < text_.size() && (text_[pos_] == '!' || text_[pos_] == '-') &&
        text_.substr(pos_, 2) != "!=") {
      const char op = text_[pos_++];
      if (++depth_ > kMaxDepth) {
        Fail("too deeply nested");
        return std::nullopt;
      }
      Value v = Unary();
      --depth_;
      if (!v) return v;
      if (op == '!') return std::int64_t{!ConditionTruth(*v)};
      return static_cast<std::int64_t>(0 - static_cast<std::uint64_t>(NumberOf(*v)));
    }
    return Primary();
  }

  Value Primary() {
    Skip();
    if (pos_ >= text_.size()) {
      Fail("expression ends early");
      return std::nullopt;
    }
    const char c = text_[pos_];
    if (c == '(') {
      ++pos_;
      Value v = Expr();
      if (v && !Eat(")")) Fail("')' missing");
      return error_.empty() ? v : std::nullopt;
    }
    if (std::isdigit(static_cast<unsigned char>(c))) {
      std::int64_t n = 0;
      while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) {
        if (n > (INT64_MAX - 9) / 10) {
          Fail("number too large");
          return std::nullopt;
        }
        n = n * 10 + (text_[pos_++] - '0');
      }
      return n;
    }
    if (c == '"') {
      const auto end = text_.find('"', pos_ + 1);
      if (end == std::string_view::npos) {
        Fail("text without its closing '\"'");
        return std::nullopt;
      }
      std::string s(text_.substr(pos_ + 1, end - pos_ - 1));
      pos_ = end + 1;
      return s;
    }
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      const auto start = pos_;
      while (pos_ < text_.size() &&
             (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_'))
        ++pos_;
      const std::string_view name = text_.substr(start, pos_ - start);
      Skip();
      if (pos_ < text_.size() && text_[pos_] == '(') return Call(name);
      if (name.size() > 3 && EqualsIgnoringCase(name.substr(0, 3), "_a_")) return std::string(name);
      auto value = lookup_ ? lookup_(name) : std::nullopt;
      return value ? *value : ConditionValue{std::string()};
    }
    Fail("unexpected '" + std::string(1, c) + "'");
    return std::nullopt;
  }

  Value Call(std::string_view name) {
    ++pos_;  // '('
    std::vector<ConditionValue> args;
    if (!Eat(")")) {
      do {
        Value v = Expr();
        if (!v) return std::nullopt;
        args.push_back(*v);
      } while (Eat(","));
      if (!Eat(")")) {
        Fail("')' missing after the arguments of " + std::string(name));
        return std::nullopt;
      }
    }
    if (EqualsIgnoringCase(name, "strlen") && args.size() == 1)
      return static_cast<std::int64_t>(TextOf(args[0]).size());
    if (EqualsIgnoringCase(name, "cond") && args.size() == 3)
      return ConditionTruth(args[0]) ? args[1] : args[2];
    Fail("unknown function " + std::string(name) + " with " + std::to_string(args.size()) +
         " arguments");
    return std::nullopt;
  }

  std::string_view text_;
  const ConditionLookup& lookup_;
  std::size_t pos_ = 0;
  int depth_ = 0;
  std::string error_;
};

}  // namespace

bool ConditionTruth(const ConditionValue& value) {
  if (auto* n = std::get_if<std::int64_t>(&value)) return *n != 0;
  const auto& s = std::get<std::string>(value);
  return !s.empty() && s != "0";
}

ConditionResult EvaluateCondition(std::string_view text, const ConditionLookup& lookup) {
  return Parser(text, lookup).Run();
}

}  // namespace r7k
