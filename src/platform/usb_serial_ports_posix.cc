#include "platform/usb_serial_ports.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <optional>

namespace r7k {
namespace {

namespace fs = std::filesystem;

// The first line of a small sysfs attribute file, without its line end.
std::optional<std::string> ReadAttribute(const fs::path& path) {
  std::ifstream in(path);
  if (!in) return std::nullopt;
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
    line.pop_back();
  return line;
}

// Walks up from the tty's device to the USB device that carries "idVendor".
std::optional<fs::path> UsbDeviceOf(const fs::path& tty_dir, const fs::path& sysfs) {
  std::error_code ec;
  fs::path device = fs::canonical(tty_dir / "device", ec);
  if (ec) return std::nullopt;
  const fs::path root = fs::canonical(sysfs, ec);
  if (ec) return std::nullopt;
  for (fs::path p = device; p != p.parent_path(); p = p.parent_path()) {
    if (p == root) break;
    if (fs::exists(p / "idVendor", ec)) return p;
  }
  return std::nullopt;
}

}  // namespace

bool CanListSerialPorts(const SystemRoots& roots) {
  std::error_code ec;
  return fs::is_directory(roots.sysfs / "class" / "tty", ec);
}

bool DeviceHeldByOtherProcess(std::string_view name, const SystemRoots& roots) {
  const std::string target = "/dev/" + std::string(name);
  const std::string self = std::to_string(::getpid());
  std::error_code ec;
  for (fs::directory_iterator procs(roots.proc, ec), end; !ec && procs != end;
       procs.increment(ec)) {
    const std::string pid = procs->path().filename().string();
    if (pid.empty() || !std::all_of(pid.begin(), pid.end(), ::isdigit) || pid == self) continue;
    std::error_code fd_ec;
    for (fs::directory_iterator fds(procs->path() / "fd", fd_ec), fd_end; !fd_ec && fds != fd_end;
         fds.increment(fd_ec)) {
      std::error_code link_ec;
      if (fs::read_symlink(fds->path(), link_ec).string() == target && !link_ec) return true;
    }
  }
  return false;
}

std::vector<UsbSerialPort> ListUsbSerialPorts(const SystemRoots& roots) {
  std::vector<UsbSerialPort> ports;
  std::error_code ec;
  const fs::path tty_class = roots.sysfs / "class" / "tty";
  for (fs::directory_iterator it(tty_class, ec), end; !ec && it != end; it.increment(ec)) {
    auto usb = UsbDeviceOf(it->path(), roots.sysfs);
    if (!usb) continue;
    UsbSerialPort port;
    port.name = it->path().filename().string();
    port.vendor_id = ReadAttribute(*usb / "idVendor").value_or("");
    port.product_id = ReadAttribute(*usb / "idProduct").value_or("");
    port.product = ReadAttribute(*usb / "product").value_or("");
    port.ftdi = port.vendor_id == kFtdiVendor;
    port.busy = DeviceHeldByOtherProcess(port.name, roots);
    ports.push_back(std::move(port));
  }
  std::sort(ports.begin(), ports.end(), [](const UsbSerialPort& a, const UsbSerialPort& b) {
    if (a.ftdi != b.ftdi) return a.ftdi;
    return DeviceNameLess(a.name, b.name);
  });
  return ports;
}

int SetLatencyTimer(std::string_view port, int milliseconds, const SystemRoots& roots) {
  std::error_code ec;
  const fs::path devices = roots.sysfs / "bus" / "usb-serial" / "devices";
  if (!fs::is_directory(devices, ec)) return -1;
  const fs::path dir = devices / std::string(port);
  if (port.empty() || !fs::exists(dir, ec)) return 0;
  const fs::path file = dir / "latency_timer";
  std::optional<std::string> text = ReadAttribute(file);
  int current = 0;
  if (!text ||
      std::from_chars(text->data(), text->data() + text->size(), current).ec != std::errc())
    return -2;
  if (current == milliseconds) return 0;
  std::ofstream out(file);
  out << milliseconds << "\n";
  out.flush();
  return out ? 1 : -3;
}

}  // namespace r7k
