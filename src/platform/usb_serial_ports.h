#pragma once

// Serial ports of USB converters and their FTDI latency timer. Linux finds them in sysfs;
// Windows asks the FTDI D2XX library ("ftd2xx.dll", loaded at run time) and, without it, the
// COM ports that Windows knows (SetupAPI, class Ports). The sources are parameters so tests
// can build a fake tree, a fake library or fake registry keys.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace r7k {

struct SystemRoots {
  std::filesystem::path sysfs = "/sys";     // Linux
  std::filesystem::path proc = "/proc";     // Linux
  std::string ftdi_library = "ftd2xx.dll";  // Windows
  // Windows: the FTDI enumeration key of the local machine.
  std::string ftdi_enum_key = "SYSTEM\\CurrentControlSet\\Enum\\FTDIBUS";
};

struct UsbSerialPort {
  std::string name;       // device name under /dev, e.g. "ttyUSB0"; "Com4" on Windows
  std::string vendor_id;  // four hex digits, e.g. "0403"
  std::string product_id;
  std::string product;  // the USB product string (the D2XX description), e.g. "R7000Link"
  bool ftdi = false;    // vendor 0403
  bool busy = false;    // another process holds the device open
  bool operator==(const UsbSerialPort&) const = default;
};

constexpr std::string_view kFtdiVendor = "0403";

// Every tty whose device sits on a USB device: FTDI converters first, then the others, each
// group in device order (ttyUSB2 before ttyUSB10). Empty when the ports cannot be listed.
// Windows: every FTDI converter whose COM port number can be read, in the library's device
// order; without the library every COM port, ordered as above.
std::vector<UsbSerialPort> ListUsbSerialPorts(const SystemRoots& roots = {});
// Whether the tty class of sysfs can be listed at all.
bool CanListSerialPorts(const SystemRoots& roots = {});

// Linux: whether a process other than this one has /dev/<name> open.
bool DeviceHeldByOtherProcess(std::string_view name, const SystemRoots& roots = {});

// Sets the latency timer of a USB serial converter ("LatencyTimer" beside its "PortName" in the
// FTDI enumeration key on Windows): 1 when the value was changed, 0 when it already had it or
// the port is not a USB serial device, -1 when the USB serial devices cannot be listed at all
// (no FTDI enumeration key), -2 when the port's value cannot be read, -3 when writing it failed.
int SetLatencyTimer(std::string_view port, int milliseconds, const SystemRoots& roots = {});

// Orders device names with their numbers as numbers: "ttyUSB2" < "ttyUSB10".
bool DeviceNameLess(std::string_view a, std::string_view b);

}  // namespace r7k
