#include "platform/os_version.h"

#include <gtest/gtest.h>

namespace r7k {
namespace {

TEST(OsVersion, TheRunningSystemDescribesItself) {
  const std::string text = DescribeOperatingSystem();
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(text.find('\n'), std::string::npos) << text;
  EXPECT_TRUE(OsSupported());
}

}  // namespace
}  // namespace r7k
