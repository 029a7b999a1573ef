// A stand-in for the FTDI D2XX library "ftd2xx.dll", for tests of the port discovery. The
// devices come from the environment variable R7K_FAKE_FTDI: entries "DESCRIPTION:COM[:STATE]"
// separated by ";", in device order. STATE "busy": listed as in use (the description cannot be
// read) but opens; "closed": cannot be opened; "broken": its listing fails.

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Device {
  std::string description;
  long com = 0;
  std::string state;
};

std::vector<Device> Devices() {
  std::vector<Device> devices;
  const char* script = std::getenv("R7K_FAKE_FTDI");
  std::string text = script ? script : "";
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find(';', at);
    if (end == std::string::npos) end = text.size();
    const std::string entry = text.substr(at, end - at);
    at = end + 1;
    const size_t colon = entry.find(':');
    if (colon == std::string::npos) continue;
    Device d;
    d.description = entry.substr(0, colon);
    const size_t second = entry.find(':', colon + 1);
    d.com = std::atol(entry.substr(colon + 1, second - colon - 1).c_str());
    if (second != std::string::npos) d.state = entry.substr(second + 1);
    devices.push_back(d);
  }
  return devices;
}

constexpr ULONG kOk = 0, kInvalidHandle = 1, kDeviceNotFound = 2, kDeviceNotOpened = 3,
                kIoError = 4;
constexpr DWORD kListNumberOnly = 0x80000000, kListByIndex = 0x40000000, kByDescription = 2;

}  // namespace

extern "C" {

__declspec(dllexport) ULONG WINAPI FT_ListDevices(PVOID arg1, PVOID arg2, DWORD flags) {
  const std::vector<Device> devices = Devices();
  if (flags & kListNumberOnly) {
    *static_cast<DWORD*>(arg1) = DWORD(devices.size());
    return kOk;
  }
  const size_t index = reinterpret_cast<uintptr_t>(arg1);
  if (!(flags & kListByIndex) || !(flags & kByDescription)) return kIoError;
  if (index >= devices.size()) return kDeviceNotFound;
  const Device& d = devices[index];
  if (d.state == "broken") return kIoError;
  if (d.state == "busy") return kDeviceNotOpened;
  std::strncpy(static_cast<char*>(arg2), d.description.c_str(), 63);
  static_cast<char*>(arg2)[63] = 0;
  return kOk;
}

__declspec(dllexport) ULONG WINAPI FT_Open(int index, PVOID* handle) {
  const std::vector<Device> devices = Devices();
  if (index < 0 || size_t(index) >= devices.size()) return kDeviceNotFound;
  if (devices[size_t(index)].state == "closed") return kDeviceNotOpened;
  *handle = reinterpret_cast<PVOID>(uintptr_t(index) + 1);
  return kOk;
}

__declspec(dllexport) ULONG WINAPI FT_GetComPortNumber(PVOID handle, LONG* com) {
  const std::vector<Device> devices = Devices();
  const size_t index = reinterpret_cast<uintptr_t>(handle) - 1;
  if (index >= devices.size()) return kInvalidHandle;
  *com = devices[index].com;
  return kOk;
}

__declspec(dllexport) ULONG WINAPI FT_Close(PVOID) { return kOk; }

}  // extern "C"
