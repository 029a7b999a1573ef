#pragma once

// A fake sysfs and procfs tree in a scratch folder, for tests of port discovery.

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/usb_serial_ports.h"
#include "testing/scratch_folder.h"

namespace r7k {

class FakeSysfs {
 public:
  FakeSysfs() {
    std::filesystem::create_directories(root_ / "sys" / "class" / "tty");
    std::filesystem::create_directories(root_ / "sys" / "bus" / "usb-serial" / "devices");
    std::filesystem::create_directories(root_ / "proc");
  }
  FakeSysfs(const FakeSysfs&) = delete;
  FakeSysfs& operator=(const FakeSysfs&) = delete;

  SystemRoots roots() const { return {root_ / "sys", root_ / "proc"}; }

  // A tty on its own USB device, linked the way the kernel links it.
  void AddUsbTty(const std::string& name, const std::string& vendor, const std::string& product_id,
                 const std::string& product) {
    const auto usb =
        root_ / "sys" / "devices" / "pci0000:00" / "usb1" / ("1-" + std::to_string(++devices_));
    const auto port = usb / (usb.filename().string() + ":1.0") / name;
    std::filesystem::create_directories(port / "tty" / name);
    Write(usb / "idVendor", vendor + "\n");
    Write(usb / "idProduct", product_id + "\n");
    Write(usb / "product", product + "\n");
    std::filesystem::create_directory_symlink(port, port / "tty" / name / "device");
    std::filesystem::create_directory_symlink(port / "tty" / name,
                                              root_ / "sys" / "class" / "tty" / name);
    std::filesystem::create_directories(root_ / "sys" / "bus" / "usb-serial" / "devices" / name);
  }
  // A tty that is not on USB (a UART, a console).
  void AddPlainTty(const std::string& name) {
    const auto dir = root_ / "sys" / "devices" / "virtual" / "tty" / name;
    std::filesystem::create_directories(dir);
    std::filesystem::create_directory_symlink(dir, root_ / "sys" / "class" / "tty" / name);
  }
  void HoldOpen(int pid, const std::string& name) {
    const auto fd = root_ / "proc" / std::to_string(pid) / "fd";
    std::filesystem::create_directories(fd);
    std::filesystem::create_symlink("/dev/" + name, fd / std::to_string(3 + held_++));
  }
  void SetLatency(const std::string& name, const std::string& text) {
    Write(LatencyPath(name), text);
  }
  std::string Latency(const std::string& name) const {
    std::ifstream in(LatencyPath(name));
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  std::filesystem::path LatencyPath(const std::string& name) const {
    return root_ / "sys" / "bus" / "usb-serial" / "devices" / name / "latency_timer";
  }
  static void Write(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path) << text;
  }

  ScratchDir scratch_;
  std::filesystem::path root_ = scratch_.path();
  int devices_ = 0;
  int held_ = 0;
};

}  // namespace r7k
