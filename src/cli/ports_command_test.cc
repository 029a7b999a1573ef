#include <gtest/gtest.h>

#include "cli/cli_fixture.h"
#include "testing/fake_sysfs.h"

namespace r7k::cli {
namespace {

using testing::RunR7k;

TEST(PortsCommand, ListsConvertersThenTheSimulatedBox) {
  FakeSysfs tree;
  tree.AddUsbTty("ttyUSB1", "0403", "6001", "R7000Link");
  tree.AddUsbTty("ttyUSB0", "0403", "6001", "R7000Link");
  tree.HoldOpen(4242, "ttyUSB1");
  const auto roots = tree.roots();
  const auto run =
      RunR7k({"ports", "--sysfs", roots.sysfs.string(), "--proc", roots.proc.string()});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_EQ(run.out,
            "ttyUSB0    R7000Link\n"
            "ttyUSB1    Device In Use\n"
            "sim        Simulated R7000Link box\n");
}

TEST(PortsCommand, JsonGivesThePortsTableAndTheChosenPort) {
  FakeSysfs tree;
  const auto roots = tree.roots();
  const auto run =
      RunR7k({"ports", "--json", "--sysfs", roots.sysfs.string(), "--proc", roots.proc.string()});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_NE(run.out.find("\"Port1\": \"sim\""), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"Description\": \"Simulated R7000Link box\""), std::string::npos);
  EXPECT_EQ(run.out.find("\"Ports\""), run.out.find('"'));
}

}  // namespace
}  // namespace r7k::cli
