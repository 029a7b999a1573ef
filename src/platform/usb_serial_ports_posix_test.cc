#include "platform/usb_serial_ports.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "testing/fake_sysfs.h"

namespace r7k {
namespace {

TEST(UsbSerialPorts, DeviceOrderCountsNumbers) {
  EXPECT_TRUE(DeviceNameLess("ttyUSB2", "ttyUSB10"));
  EXPECT_FALSE(DeviceNameLess("ttyUSB10", "ttyUSB2"));
  EXPECT_TRUE(DeviceNameLess("ttyACM0", "ttyUSB0"));
}

TEST(UsbSerialPorts, ListsFtdiConvertersFirstThenOtherUsbPorts) {
  FakeSysfs tree;
  tree.AddUsbTty("ttyUSB10", "0403", "6001", "R7000Link");
  tree.AddUsbTty("ttyACM0", "2341", "0043", "Arduino Uno");
  tree.AddUsbTty("ttyUSB2", "0403", "6015", "FT230X Basic UART");
  tree.AddPlainTty("ttyS0");
  tree.AddPlainTty("tty1");
  EXPECT_EQ(ListUsbSerialPorts(tree.roots()),
            (std::vector<UsbSerialPort>{{"ttyUSB2", "0403", "6015", "FT230X Basic UART", true},
                                        {"ttyUSB10", "0403", "6001", "R7000Link", true},
                                        {"ttyACM0", "2341", "0043", "Arduino Uno", false}}));
}

TEST(UsbSerialPorts, DeviceHeldByAnotherProcessIsBusy) {
  FakeSysfs tree;
  tree.AddUsbTty("ttyUSB0", "0403", "6001", "R7000Link");
  tree.AddUsbTty("ttyUSB1", "0403", "6001", "R7000Link");
  tree.HoldOpen(4242, "ttyUSB1");
  tree.HoldOpen(::getpid(), "ttyUSB0");  // this process does not count
  auto ports = ListUsbSerialPorts(tree.roots());
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_FALSE(ports[0].busy);
  EXPECT_TRUE(ports[1].busy);
}

TEST(UsbSerialPorts, MissingTreeListsNothing) {
  SystemRoots roots{"/nonexistent/sys", "/nonexistent/proc"};
  EXPECT_FALSE(CanListSerialPorts(roots));
  EXPECT_TRUE(ListUsbSerialPorts(roots).empty());
}

TEST(LatencyTimer, ChangesOnlyWhatDiffers) {
  FakeSysfs tree;
  tree.AddUsbTty("ttyUSB0", "0403", "6001", "R7000Link");
  tree.SetLatency("ttyUSB0", "03\n");
  EXPECT_EQ(SetLatencyTimer("ttyUSB0", 3, tree.roots()), 0);
  EXPECT_EQ(tree.Latency("ttyUSB0"), "03\n");  // not even rewritten
  tree.SetLatency("ttyUSB0", "16\n");
  EXPECT_EQ(SetLatencyTimer("ttyUSB0", 3, tree.roots()), 1);
  EXPECT_EQ(tree.Latency("ttyUSB0"), "3\n");
  EXPECT_EQ(SetLatencyTimer("ttyUSB7", 3, tree.roots()), 0);
  tree.SetLatency("ttyUSB0", "garbage");
  EXPECT_EQ(SetLatencyTimer("ttyUSB0", 3, tree.roots()), -2);
  EXPECT_EQ(SetLatencyTimer("ttyUSB0", 3, {"/nonexistent/sys", "/proc"}), -1);
}

}  // namespace
}  // namespace r7k
