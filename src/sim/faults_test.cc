#include "sim/faults.h"

#include <gtest/gtest.h>

namespace r7k {
namespace {

BoxReply Answer(std::string bytes) {
  BoxReply r;
  r.bytes = std::move(bytes);
  return r;
}

std::vector<Fault> Faults(std::initializer_list<const char*> specs) {
  std::vector<Fault> out;
  for (const char* spec : specs) {
    std::string error;
    auto f = ParseFault(spec, &error);
    EXPECT_TRUE(f) << error;
    if (f) out.push_back(*f);
  }
  return out;
}

TEST(FaultSpecTest, ParsesEveryKindAndRefusesNonsense) {
  std::string error;
  EXPECT_EQ(ParseFault("gap-every=4:1999", &error)->ms, 1999);
  EXPECT_EQ(ParseFault("gap-every=4", &error)->ms, 1500);
  EXPECT_EQ(ParseFault("slow-erase", &error)->ms, 61000);
  EXPECT_EQ(ParseFault("drop-rate=0.25", &error)->rate, 0.25);
  EXPECT_EQ(ParseFault("hangup-after=0", &error)->n, 0u);
  for (const char* bad : {"gap-every=4:2000", "drop-every=0", "drop-every=x", "drop-rate=1.5",
                          "corrupt-every", "explode=3", "silence-after=-1"}) {
    EXPECT_FALSE(ParseFault(bad, &error)) << bad;
  }
  ParseFault("explode=3", &error);
  EXPECT_EQ(error, "Bad fault \"explode=3\": unknown fault");
}

TEST(FaultPlanTest, CountedFaultsFireOnTheirCommands) {
  FaultPlan plan(Faults({"drop-every=3", "silence-after=7", "hangup-after=8"}), 1);
  std::vector<int> silent;
  for (int i = 1; i <= 9; ++i) {
    Delivery d = plan.Apply(Answer("led off\r\n?"));
    if (d.silent) silent.push_back(i);
    EXPECT_EQ(d.hang_up_after, i >= 8) << i;
  }
  EXPECT_EQ(silent, (std::vector<int>{3, 6, 8, 9}));
  EXPECT_EQ(plan.counts().at("drop-every"), 3);
  EXPECT_EQ(plan.counts().at("silence-after"), 2);
  EXPECT_EQ(plan.counts().at("hangup-after"), 2);
  EXPECT_EQ(plan.commands(), 9u);
}

TEST(FaultPlanTest, DamageKeepsThePromptAndGapsStayInside) {
  FaultPlan plan(Faults({"corrupt-every=1", "gap-every=2:700"}), 42);
  const std::string clean = "version\r\nR7kProg 2.10\r\n?";
  for (int i = 1; i <= 20; ++i) {
    Delivery d = plan.Apply(Answer(clean));
    ASSERT_EQ(d.bytes.size(), clean.size());
    EXPECT_EQ(d.bytes.back(), '?');
    int differ = 0;
    for (size_t k = 0; k < clean.size(); ++k) differ += d.bytes[k] != clean[k];
    EXPECT_EQ(differ, 1);
    if (i % 2 == 0) {
      EXPECT_EQ(d.gap_ms, 700);
      EXPECT_GE(d.gap_at, 1u);
      EXPECT_LT(d.gap_at, clean.size());
    } else {
      EXPECT_EQ(d.gap_ms, 0);
    }
  }
}

TEST(FaultPlanTest, LineErrorCutsTheAnswerAndSlowEraseStretchesOnlyErases) {
  FaultPlan plan(Faults({"line-error-every=2", "slow-erase=65000"}), 3);
  BoxReply erase = Answer("erase40\r\nErase ok\r\n?");
  erase.is_erase = true;
  erase.work_at = 9;
  erase.work_ms = 100;
  Delivery first = plan.Apply(erase);
  EXPECT_EQ(first.work_ms, 65000);
  EXPECT_EQ(first.bytes, erase.bytes);
  Delivery second = plan.Apply(Answer("bits\r\n08\r\n?"));
  EXPECT_EQ(second.work_ms, 0);
  EXPECT_LT(second.bytes.size(), 11u + 1);
  EXPECT_NE(second.bytes, std::string("bits\r\n08\r\n?").substr(0, second.bytes.size()));
}

TEST(FaultPlanTest, SameSeedSameFaultsOtherSeedOthers) {
  auto run = [](uint64_t seed) {
    FaultPlan plan(Faults({"drop-rate=0.3", "corrupt-every=2", "gap-every=3"}), seed);
    std::string trace;
    for (int i = 0; i < 200; ++i) {
      Delivery d = plan.Apply(Answer("binread 00 00 00" + std::string(256, 'x') + "\r\n?"));
      trace += d.silent ? "S" : "-";
      trace += d.bytes + std::to_string(d.gap_at) + "|";
    }
    return std::make_pair(trace, plan.counts().at("drop-rate"));
  };
  auto a = run(7);
  EXPECT_EQ(a, run(7));
  EXPECT_NE(a.first, run(8).first);
  EXPECT_GT(a.second, 30);  // about 60 of 200
  EXPECT_LT(a.second, 100);
}

}  // namespace
}  // namespace r7k
