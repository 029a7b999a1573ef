#include "link/port_discovery.h"

#include <gtest/gtest.h>

#include "testing/fake_sysfs.h"

namespace r7k {
namespace {

class PortDiscoveryTest : public ::testing::Test {
 protected:
  void SetUp() override { store_ = StoreOpen("appmain:Perm"); }
  void TearDown() override { StoreClose(store_); }

  std::vector<std::vector<std::string>> Rows() {
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < StoreTableRowCount(store_, "Ports"); ++i)
      rows.push_back(*StoreTableGetRow(store_, "Ports", i));
    return rows;
  }
  using Rows_t = std::vector<std::vector<std::string>>;

  FakeSysfs tree_;
  StoreHandle store_ = nullptr;
};

TEST_F(PortDiscoveryTest, ConvertersInOrderThenTheSimulatedBox) {
  tree_.AddUsbTty("ttyUSB1", "0403", "6001", "R7000Link");
  tree_.AddUsbTty("ttyUSB0", "0403", "6001", "R7000Link");
  tree_.AddUsbTty("ttyACM0", "1a86", "7523", "");
  tree_.AddPlainTty("ttyS0");
  EXPECT_EQ(PortDiscovery(store_, "ttyUSB1", tree_.roots()), 1);
  EXPECT_EQ(Rows(), (Rows_t{{"ttyUSB0", "R7000Link"},
                            {"ttyUSB1", "R7000Link"},
                            {"ttyACM0", ""},
                            {"sim", "Simulated R7000Link box"}}));
  EXPECT_EQ(*StoreTableGetRow(store_, "Ports", -1),
            (std::vector<std::string>{"Port1", "Description"}));
  EXPECT_EQ(StoreGetString(store_, "Port1"), "ttyUSB1");
}

TEST_F(PortDiscoveryTest, SavedPortThatIsGoneIsNotRestored) {
  tree_.AddUsbTty("ttyUSB0", "0403", "6001", "R7000Link");
  EXPECT_EQ(PortDiscovery(store_, "ttyUSB7", tree_.roots()), 1);
  EXPECT_EQ(StoreGetType(store_, "Port1"), kItemNone);
}

TEST_F(PortDiscoveryTest, NothingSavedPicksTheConverterButNeverTheSimulatedBox) {
  EXPECT_EQ(PortDiscovery(store_, "", tree_.roots()), 1);
  EXPECT_EQ(StoreGetType(store_, "Port1"), kItemNone);
  EXPECT_EQ(Rows(), (Rows_t{{"sim", "Simulated R7000Link box"}}));
  tree_.AddUsbTty("ttyACM0", "2341", "0043", "Arduino Uno");
  tree_.AddUsbTty("ttyUSB3", "0403", "6001", "R7000Link");
  EXPECT_EQ(PortDiscovery(store_, "", tree_.roots()), 1);
  EXPECT_EQ(StoreGetString(store_, "Port1"), "ttyUSB3");
  // The saved simulated box stays chosen.
  EXPECT_EQ(PortDiscovery(store_, "sim", tree_.roots()), 1);
  EXPECT_EQ(StoreGetString(store_, "Port1"), "sim");
}

TEST_F(PortDiscoveryTest, BusyConverterIsListedAsInUse) {
  tree_.AddUsbTty("ttyUSB0", "0403", "6001", "R7000Link");
  tree_.HoldOpen(31337, "ttyUSB0");
  EXPECT_EQ(PortDiscovery(store_, "ttyUSB0", tree_.roots()), 1);
  EXPECT_EQ(Rows()[0], (std::vector<std::string>{"ttyUSB0", "Device In Use"}));
  EXPECT_EQ(StoreGetString(store_, "Port1"), "ttyUSB0");
}

TEST_F(PortDiscoveryTest, DescribePortsMatchesWholeNames) {
  tree_.AddUsbTty("ttyUSB1", "0403", "6001", "R7000Link");
  TableHandle table = TableNew(2);
  TableWriteRow(table, kRowAppend, std::vector<std::string>{"ttyUSB10", ""});
  TableWriteRow(table, kRowAppend, std::vector<std::string>{"ttyUSB1", ""});
  EXPECT_EQ(DescribePorts(table, tree_.roots()), 0);
  EXPECT_EQ(TableCell(table, 0, 1), "");
  EXPECT_EQ(TableCell(table, 1, 1), "R7000Link");
  EXPECT_EQ(DescribePorts(table, {"/nonexistent/sys", "/nonexistent/proc"}), -1);
  TableFree(table);
}

}  // namespace
}  // namespace r7k
