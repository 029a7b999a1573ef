#include "platform/registry.h"

#include <gtest/gtest.h>

#include "testing/scoped_environment.h"
#include "testing/scratch_folder.h"

namespace r7k {
namespace {

// The current user's registry (on Linux its file in a scratch configuration folder).
class Registry : public ::testing::Test {
 protected:
  void SetUp() override { env_.Set("R7K_CONFIG_DIR", scratch_.path().string()); }
  void TearDown() override {
    RegistryDeleteValue(kKey, "Port1");
    RegistryDeleteValue(kKey, "Empty");
  }
  static constexpr const char* kKey = "Software\\Veldmark\\R7kProgTest\\Settings";
  ScopedEnvironment env_;
  ScratchDir scratch_;
};

TEST_F(Registry, ValuesReadBackAndMissingDiffersFromEmpty) {
  EXPECT_EQ(RegistryGetString(kKey, "Port1"), std::nullopt);
  EXPECT_TRUE(RegistryDeleteValue(kKey, "Port1"));  // nothing there: nothing to do
  std::string error;
  ASSERT_TRUE(RegistrySetString(kKey, "Port1", "Com4", &error)) << error;
  ASSERT_TRUE(RegistrySetString(kKey, "Empty", "", &error)) << error;
  EXPECT_EQ(RegistryGetString(kKey, "port1"), "Com4");  // names match in any case
  EXPECT_EQ(RegistryGetString(kKey, "Empty"), "");
  ASSERT_TRUE(RegistrySetString(kKey, "Port1", "C:\\Module files\\a.r7v", &error)) << error;
  EXPECT_EQ(RegistryGetString(kKey, "Port1"), "C:\\Module files\\a.r7v");
  ASSERT_TRUE(RegistryDeleteValue(kKey, "Port1", &error)) << error;
  EXPECT_EQ(RegistryGetString(kKey, "Port1"), std::nullopt);
  EXPECT_NE(RegistryLocation(kKey).find(kKey), std::string::npos);
}

}  // namespace
}  // namespace r7k
