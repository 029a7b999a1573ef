#include "platform/launcher.h"

#include <gtest/gtest.h>

namespace r7k {
namespace {

TEST(LaunchDetached, StartsProgramsWithoutAShell) {
  EXPECT_TRUE(LaunchDetached({"true", "an argument; not a command"}));
  EXPECT_FALSE(LaunchDetached({"/nonexistent/r7k-browser", "page"}));
  EXPECT_FALSE(LaunchDetached({}));
}

}  // namespace
}  // namespace r7k
