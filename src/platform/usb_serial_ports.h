#pragma once

// Serial ports of USB converters, found in sysfs, and their FTDI latency timer. The roots of
// sysfs and procfs are parameters so tests can build a fake tree.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace r7k {

struct SystemRoots {
  std::filesystem::path sysfs = "/sys";
  std::filesystem::path proc = "/proc";
};

struct UsbSerialPort {
  std::string name;         // device name under /dev, e.g. "ttyUSB0"
  std::string vendor_id;    // four hex digits, e.g. "0403"
  std::string product_id;
  std::string product;      // the USB product string, e.g. "R7000Link"; may be empty
  bool ftdi = false;        // vendor 0403
  bool busy = false;        // another process holds the device open
};

constexpr std::string_view kFtdiVendor = "0403";

// Every tty whose device sits on a USB device: FTDI converters first, then the others, each
// group in device order (ttyUSB2 before ttyUSB10). Empty when the tty class cannot be listed.
std::vector<UsbSerialPort> ListUsbSerialPorts(const SystemRoots& roots = {});
// Whether the tty class of sysfs can be listed at all.
bool CanListSerialPorts(const SystemRoots& roots = {});

// Whether a process other than this one has /dev/<name> open.
bool DeviceHeldByOtherProcess(std::string_view name, const SystemRoots& roots = {});

// Sets the latency timer of a USB serial converter: 1 when the value was changed, 0 when it
// already had it or the port is not a USB serial device, -1 when the USB serial devices cannot
// be listed at all, -2 when the port's value cannot be read, -3 when writing it failed.
int SetLatencyTimer(std::string_view port, int milliseconds, const SystemRoots& roots = {});

// Orders device names with their numbers as numbers: "ttyUSB2" < "ttyUSB10".
bool DeviceNameLess(std::string_view a, std::string_view b);

}  // namespace r7k
