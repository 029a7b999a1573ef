#include <windows.h>

#include <gtest/gtest.h>

#include "platform/usb_serial_ports.h"

namespace r7k {
namespace {

// An FTDI enumeration key of the local machine made for the test, as the driver lays it out:
// device keys, instance keys, each with "Device Parameters" holding "PortName" and
// "LatencyTimer".
class LatencyTimerKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    roots_.ftdi_enum_key = "SOFTWARE\\R7kTest\\FTDIBUS-" + std::to_string(GetCurrentProcessId());
  }
  void TearDown() override { RegDeleteTreeA(HKEY_LOCAL_MACHINE, roots_.ftdi_enum_key.c_str()); }

  void AddPort(const std::string& device, const char* port, const DWORD* latency) {
    HKEY key = nullptr;
    const std::string path = roots_.ftdi_enum_key + "\\" + device + "\\0000\\Device Parameters";
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(port),
                   DWORD(strlen(port) + 1));
    if (latency)
      RegSetValueExA(key, "LatencyTimer", 0, REG_DWORD, reinterpret_cast<const BYTE*>(latency),
                     sizeof *latency);
    RegCloseKey(key);
  }
  DWORD Latency(const std::string& device) {
    DWORD value = 0, size = sizeof value;
    RegGetValueA(HKEY_LOCAL_MACHINE,
                 (roots_.ftdi_enum_key + "\\" + device + "\\0000\\Device Parameters").c_str(),
                 "LatencyTimer", RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
  }

  SystemRoots roots_;
};

TEST_F(LatencyTimerKeys, SetsTheConvertersValueOnceAndSaysWhatHappened) {
  EXPECT_EQ(SetLatencyTimer("Com4", 3, roots_), -1);  // no enumeration key
  const DWORD sixteen = 16;
  AddPort("VID_0403+PID_6001+A1", "COM4", &sixteen);
  AddPort("VID_0403+PID_6001+B2", "COM5", &sixteen);
  EXPECT_EQ(SetLatencyTimer("Com4", 3, roots_), 1);  // any case
  EXPECT_EQ(Latency("VID_0403+PID_6001+A1"), 3u);
  EXPECT_EQ(Latency("VID_0403+PID_6001+B2"), 16u);
  EXPECT_EQ(SetLatencyTimer("COM4", 3, roots_), 0);  // already so: nothing written
  EXPECT_EQ(SetLatencyTimer("Com9", 3, roots_), 0);  // not a converter's port
  AddPort("VID_0403+PID_6001+C3", "COM6", nullptr);
  EXPECT_EQ(SetLatencyTimer("Com6", 3, roots_), -2);  // its value cannot be read
}

TEST(UsbSerialPortsWin, WithoutTheLibraryTheSystemsComPortsAreListed) {
  SystemRoots no_library;
  no_library.ftdi_library = "r7k-no-such-library.dll";
  for (const UsbSerialPort& port : ListUsbSerialPorts(no_library)) {
    EXPECT_EQ(port.name.rfind("Com", 0), 0u) << port.name;
    EXPECT_FALSE(port.busy);
  }
  EXPECT_TRUE(CanListSerialPorts(no_library));
}

}  // namespace
}  // namespace r7k
