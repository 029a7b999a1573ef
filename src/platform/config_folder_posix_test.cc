#include <gtest/gtest.h>

#include "platform/config_files.h"
#include "platform/environment.h"

namespace r7k {
namespace {

TEST(ConfigFolder, FollowsTheXdgRules) {
  ClearEnvironmentValue("R7K_CONFIG_DIR");
  SetEnvironmentValue("XDG_CONFIG_HOME", "/x/y");
  EXPECT_EQ(ConfigFolder(), std::filesystem::path("/x/y/r7kprog"));
  ClearEnvironmentValue("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  const std::string saved = home ? home : "";
  SetEnvironmentValue("HOME", "/home/knitter");
  EXPECT_EQ(ConfigFolder(), std::filesystem::path("/home/knitter/.config/r7kprog"));
  SetEnvironmentValue("HOME", saved);
}

}  // namespace
}  // namespace r7k
