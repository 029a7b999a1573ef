#include "engine/condition.h"

#include <gtest/gtest.h>

#include <map>

namespace r7k {
namespace {

class Condition : public ::testing::Test {
 protected:
  std::optional<ConditionValue> Eval(std::string_view text) {
    return EvaluateCondition(text,
                             [this](std::string_view name) -> std::optional<ConditionValue> {
                               std::string key(name);
                               for (char& c : key) c = static_cast<char>(std::tolower(c));
                               auto it = items_.find(key);
                               if (it == items_.end()) return std::nullopt;
                               return it->second;
                             })
        .value;
  }
  bool Holds(std::string_view text) {
    auto v = Eval(text);
    return v && ConditionTruth(*v);
  }
  std::map<std::string, ConditionValue> items_;
};

TEST_F(Condition, PortNameLength) {
  items_["_tag"] = std::string("ttyUSB0");
  EXPECT_TRUE(Holds("strlen(_tag) < 8"));
  items_["_tag"] = std::string("ttyUSB10");
  EXPECT_FALSE(Holds("strlen(_tag) < 8"));
  items_["_tag"] = std::string("T0001");
  EXPECT_TRUE(Holds("strlen(_tag) == 5"));
}

TEST_F(Condition, TechniqueSizeRule) {
  const char* rule = "(_tag > 20) && ((_tag % 10) == 1) && (_tag < 202)";
  for (auto [text, ok] : std::vector<std::pair<const char*, bool>>{{"21", true},
                                                                   {"201", true},
                                                                   {"20", false},
                                                                   {"31", true},
                                                                   {"30", false},
                                                                   {"211", false},
                                                                   {"", false},
                                                                   {"abc", false}}) {
    items_["_tag"] = std::string(text);
    EXPECT_EQ(Holds(rule), ok) << text;
  }
  items_["_tag"] = std::string("999");
  EXPECT_TRUE(Holds("_tag<1000"));
  items_["_tag"] = std::string("1000");
  EXPECT_FALSE(Holds("_tag<1000"));
}

TEST_F(Condition, StateChoiceFollowsTheItemInAnyCase) {
  const char* rule = "cond((strlen(moduleversion) <= 0),_a_greyed,_a_full)";
  EXPECT_EQ(Eval(rule), ConditionValue{std::string("_a_greyed")});  // missing reads as ""
  items_["moduleversion"] = std::string("");
  EXPECT_EQ(Eval(rule), ConditionValue{std::string("_a_greyed")});
  items_["moduleversion"] = std::string("R7kProg 2.1");
  EXPECT_EQ(Eval(rule), ConditionValue{std::string("_a_full")});
  EXPECT_EQ(Eval("_a_invisible"), ConditionValue{std::string("_a_invisible")});
}

TEST_F(Condition, OperatorsAndPrecedence) {
  EXPECT_EQ(Eval("1 + 2 * 3"), ConditionValue{std::int64_t{7}});
  EXPECT_EQ(Eval("(1 + 2) * 3"), ConditionValue{std::int64_t{9}});
  EXPECT_EQ(Eval("-7 / 2"), ConditionValue{std::int64_t{-3}});
  EXPECT_TRUE(Holds("!0 && 1 != 2 || 0"));
  EXPECT_TRUE(Holds("\"abc\" < \"abd\""));
  EXPECT_TRUE(Holds("\"12\" == 12"));
  EXPECT_FALSE(Holds("0 || \"0\""));
  items_["n"] = std::int64_t{5};
  EXPECT_TRUE(Holds("N >= 5 && n <= 5"));
}

TEST_F(Condition, ParsedOnceAndEvaluatedAgainstTheItemsOfEachTime) {
  const r7k::Condition rule("100 / _tag > 9");
  ASSERT_EQ(rule.error(), "");
  items_["_tag"] = std::string("10");
  EXPECT_EQ(rule.Evaluate([this](std::string_view) { return items_["_tag"]; }).value,
            ConditionValue{std::int64_t{1}});
  items_["_tag"] = std::int64_t{0};
  const auto r = rule.Evaluate([this](std::string_view) { return items_["_tag"]; });
  EXPECT_FALSE(r.value);
  EXPECT_EQ(r.error, "division by zero at 12");
  EXPECT_EQ(r7k::Condition("strlen(").error(), "expression ends early at 8");
  // A long chain is no deep nesting: it neither is refused nor exhausts the stack.
  std::string sum = "1", either = "0";
  for (int i = 0; i < 100000; ++i) {
    sum += " + 1";
    either += " || 0";
  }
  EXPECT_EQ(Eval(sum), ConditionValue{std::int64_t{100001}});
  EXPECT_EQ(Eval(either), ConditionValue{std::int64_t{0}});
}

TEST_F(Condition, BadTextGivesAnErrorNeverACrash) {
  for (const char* bad :
       {"", "(", ")", "1 +", "strlen(", "strlen(1,2)", "nosuch(1)", "1 / 0", "5 % (2-2)", "\"open",
        "1 2", "@", "99999999999999999999", "&& 1", "cond(1,2)", "_tag <", "((((("}) {
    auto r = EvaluateCondition(bad, nullptr);
    EXPECT_FALSE(r.value) << bad;
    EXPECT_FALSE(r.error.empty()) << bad;
  }
  EXPECT_EQ(EvaluateCondition("1 / 0", nullptr).error, "division by zero at 6");
  EXPECT_FALSE(EvaluateCondition(std::string(100000, '('), nullptr).value);
  EXPECT_FALSE(EvaluateCondition(std::string(100000, '!') + "1", nullptr).value);
  // Overflow wraps instead of trapping.
  EXPECT_TRUE(EvaluateCondition("9223372036854775 * 100000 * 100000", nullptr).value);
}

}  // namespace
}  // namespace r7k
