#pragma once

// GoogleTest helpers that speak the headless user's language. For tests only.

#include <gtest/gtest.h>

#include <string_view>

#include "engine/headless_view.h"

namespace r7k {

inline ::testing::AssertionResult MessageShown(const char*, const char*, const char*,
                                               const HeadlessView& view, std::string_view caption,
                                               std::string_view text) {
  for (const auto& m : view.messages())
    if (m.caption == caption && m.text == text) return ::testing::AssertionSuccess();
  auto failure = ::testing::AssertionFailure();
  failure << "no message box \"" << caption << "\": \"" << text << "\"; shown were:";
  if (view.messages().empty()) failure << " none";
  for (const auto& m : view.messages())
    failure << "\n  \"" << m.caption << "\": \"" << m.text << "\"";
  return failure;
}

inline ::testing::AssertionResult NoProblems(const char*, const HeadlessView& view) {
  if (view.problems().empty()) return ::testing::AssertionSuccess();
  auto failure = ::testing::AssertionFailure();
  failure << "the scripted user ran into:";
  for (const auto& p : view.problems()) failure << "\n  " << p;
  return failure;
}

}  // namespace r7k

#define EXPECT_MESSAGE_SHOWN(view, caption, text) \
  EXPECT_PRED_FORMAT3(::r7k::MessageShown, view, caption, text)
#define EXPECT_NO_USER_PROBLEMS(view) EXPECT_PRED_FORMAT1(::r7k::NoProblems, view)
