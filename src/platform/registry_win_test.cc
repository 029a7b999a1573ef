#include "platform/registry.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace r7k {
namespace {

// The screenshot tour's settings go to a scratch key that is gone afterwards; the user's stay.
TEST(ScratchRegistry, KeepsTheUsersValuesAndLeavesNothingBehind) {
  constexpr const char* kKey = "Software\\Veldmark\\R7kProgTest\\Settings";
  ASSERT_TRUE(RegistrySetString(kKey, "Port1", "Com4"));
  {
    ScratchRegistry scratch;
    EXPECT_EQ(RegistryGetString(kKey, "Port1"), std::nullopt) << "a scratch place starts empty";
    ASSERT_TRUE(RegistrySetString(kKey, "Port1", "sim"));
    EXPECT_EQ(RegistryGetString(kKey, "Port1"), "sim");
    EXPECT_NE(RegistryLocation(kKey).find("r7kprog-scratch"), std::string::npos);
  }
  EXPECT_EQ(RegistryGetString(kKey, "Port1"), "Com4");
  HKEY k = nullptr;
  EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\r7kprog-scratch", 0, KEY_READ, &k),
            ERROR_SUCCESS);
  RegistryDeleteValue(kKey, "Port1");
}

}  // namespace
}  // namespace r7k
