#include <gtest/gtest.h>

#include "link/port_discovery.h"
#include "platform/environment.h"

namespace r7k {
namespace {

// Ports of the test "ftd2xx.dll" beside this program, scripted through R7K_FAKE_FTDI.
class PortDiscoveryWin : public ::testing::Test {
 protected:
  void SetUp() override { store_ = StoreOpen("appmain:Perm"); }
  void TearDown() override {
    StoreClose(store_);
    ClearEnvironmentValue("R7K_FAKE_FTDI");
  }
  std::vector<std::vector<std::string>> Rows() {
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < StoreTableRowCount(store_, "Ports"); ++i)
      rows.push_back(*StoreTableGetRow(store_, "Ports", i));
    return rows;
  }
  using Rows_t = std::vector<std::vector<std::string>>;
  StoreHandle store_ = nullptr;
};

TEST_F(PortDiscoveryWin, ConvertersInDeviceOrderWithTheirDescriptionsThenTheSimulatedBox) {
  SetEnvironmentValue("R7K_FAKE_FTDI",
                      "R7000Link:12;R7000Link:4;FT232R USB UART:7:busy;Unplugged:9:closed");
  EXPECT_EQ(PortDiscovery(store_, "Com4", {}), 1);
  EXPECT_EQ(Rows(), (Rows_t{{"Com12", "R7000Link"},
                            {"Com4", "R7000Link"},
                            {"Com7", "Device In Use"},
                            {"sim", "Simulated R7000Link box"}}));
  EXPECT_EQ(StoreGetString(store_, "Port1"), "Com4");
  // A saved port that is gone is not put back.
  StoreDeleteItem(store_, "Port1");
  EXPECT_EQ(PortDiscovery(store_, "Com9", {}), 1);
  EXPECT_EQ(StoreGetType(store_, "Port1"), kItemNone);
}

TEST_F(PortDiscoveryWin, AFailedListingOrNoLibraryGivesNoConverters) {
  SetEnvironmentValue("R7K_FAKE_FTDI", "R7000Link:3;Broken:5:broken");
  EXPECT_EQ(PortDiscovery(store_, "Com3", {}), 1);
  EXPECT_EQ(Rows(), (Rows_t{{"sim", "Simulated R7000Link box"}}));
  SystemRoots no_library;
  no_library.ftdi_library = "r7k-no-such-library.dll";
  SetEnvironmentValue("R7K_FAKE_FTDI", "R7000Link:3");
  EXPECT_EQ(PortDiscovery(store_, "Com3", no_library), 1);
  EXPECT_EQ(Rows().back(), (std::vector<std::string>{"sim", "Simulated R7000Link box"}));
  for (const auto& row : Rows()) EXPECT_NE(row[1], "R7000Link");
}

}  // namespace
}  // namespace r7k
