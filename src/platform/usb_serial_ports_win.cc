#include "platform/usb_serial_ports.h"

#include <windows.h>
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <vector>

namespace r7k {
namespace {

// The D2XX functions this program uses, with the vendor's types.
using FtStatus = ULONG;
using FtListDevicesFn = FtStatus(WINAPI*)(PVOID, PVOID, DWORD);
using FtOpenFn = FtStatus(WINAPI*)(int, PVOID*);
using FtCloseFn = FtStatus(WINAPI*)(PVOID);
using FtGetComPortNumberFn = FtStatus(WINAPI*)(PVOID, LONG*);

constexpr DWORD kListNumberOnly = 0x80000000;
constexpr DWORD kListByIndexDescription = 0x40000002;  // FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION
constexpr FtStatus kFtOk = 0;
constexpr FtStatus kFtInvalidHandle = 1;
constexpr FtStatus kFtDeviceNotOpened = 3;

template <typename Fn>
Fn Function(HMODULE library, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// The FTDI converters the D2XX library knows, in device order: none when a function is missing
// or a listing fails; nothing at all when the library cannot be loaded.
std::optional<std::vector<UsbSerialPort>> ListFtdiDevices(const std::string& library_name) {
  HMODULE library = LoadLibraryA(library_name.c_str());
  if (!library) return std::nullopt;
  std::vector<UsbSerialPort> result;
  const auto list = Function<FtListDevicesFn>(library, "FT_ListDevices");
  const auto open = Function<FtOpenFn>(library, "FT_Open");
  const auto close = Function<FtCloseFn>(library, "FT_Close");
  const auto port_number = Function<FtGetComPortNumberFn>(library, "FT_GetComPortNumber");
  DWORD count = 0;
  if (list && open && close && port_number && list(&count, nullptr, kListNumberOnly) == kFtOk) {
    std::vector<UsbSerialPort> devices;
    bool listed = true;
    for (DWORD i = 0; i < count && listed; ++i) {
      char description[64] = {};
      UsbSerialPort device;
      device.ftdi = true;
      device.vendor_id = std::string(kFtdiVendor);
      const FtStatus status = list(reinterpret_cast<PVOID>(static_cast<uintptr_t>(i)), description,
                                   kListByIndexDescription);
      if (status == kFtOk) {
        device.product.assign(description, strnlen(description, sizeof description));
      } else if (status == kFtInvalidHandle || status == kFtDeviceNotOpened) {
        device.busy = true;  // held open by another program
      } else {
        listed = false;
      }
      devices.push_back(std::move(device));
    }
    if (listed) {
      for (DWORD i = 0; i < count; ++i) {
        PVOID handle = nullptr;
        if (open(int(i), &handle) != kFtOk) continue;
        LONG number = -1;
        const bool read = port_number(handle, &number) == kFtOk && number > 0;
        close(handle);
        if (!read) continue;
        devices[i].name = "Com" + std::to_string(number);
        result.push_back(devices[i]);
      }
    }
  }
  FreeLibrary(library);
  return result;
}

std::string DeviceProperty(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property) {
  char buffer[512] = {};
  if (!SetupDiGetDeviceRegistryPropertyA(set, device, property, nullptr,
                                         reinterpret_cast<BYTE*>(buffer), sizeof buffer - 2,
                                         nullptr))
    return {};
  return buffer;  // a multi-string's first entry
}

// Every COM port of the Ports class that is present, named "Com%d".
std::vector<UsbSerialPort> ListComPorts() {
  std::vector<UsbSerialPort> ports;
  HDEVINFO set = SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) return ports;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) continue;
    char name[16] = {};
    DWORD size = sizeof name - 1;
    const bool named = RegQueryValueExA(key, "PortName", nullptr, nullptr,
                                        reinterpret_cast<BYTE*>(name), &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    unsigned number = 0;
    const std::string_view text(name);
    if (!named || text.size() < 4 || (text[0] != 'C' && text[0] != 'c') ||
        std::from_chars(text.data() + 3, text.data() + text.size(), number).ec != std::errc())
      continue;
    UsbSerialPort port;
    port.name = "Com" + std::to_string(number);
    port.product = DeviceProperty(set, &device, SPDRP_FRIENDLYNAME);
    std::string hardware = DeviceProperty(set, &device, SPDRP_HARDWAREID);
    for (char& c : hardware) c = char(std::toupper(static_cast<unsigned char>(c)));
    port.ftdi = hardware.find("VID_0403") != std::string::npos;
    if (port.ftdi) port.vendor_id = std::string(kFtdiVendor);
    ports.push_back(std::move(port));
  }
  SetupDiDestroyDeviceInfoList(set);
  return ports;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::vector<std::string> SubkeyNames(HKEY key) {
  std::vector<std::string> names;
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof name;
    if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    names.emplace_back(name, size);
  }
  return names;
}

}  // namespace

bool CanListSerialPorts(const SystemRoots&) { return true; }

std::vector<UsbSerialPort> ListUsbSerialPorts(const SystemRoots& roots) {
  if (auto converters = ListFtdiDevices(roots.ftdi_library)) return *converters;
  // Without the vendor's library a user still sees their converter among the COM ports.
  std::vector<UsbSerialPort> ports = ListComPorts();
  std::stable_sort(ports.begin(), ports.end(), [](const UsbSerialPort& a, const UsbSerialPort& b) {
    if (a.ftdi != b.ftdi) return a.ftdi;
    return DeviceNameLess(a.name, b.name);
  });
  return ports;
}

int SetLatencyTimer(std::string_view port, int milliseconds, const SystemRoots& roots) {
  HKEY bus = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, roots.ftdi_enum_key.c_str(), 0, KEY_READ, &bus) !=
      ERROR_SUCCESS)
    return -1;
  int result = 0;
  bool done = false;
  for (const std::string& device : SubkeyNames(bus)) {
    HKEY device_key = nullptr;
    if (RegOpenKeyExA(bus, device.c_str(), 0, KEY_READ, &device_key) != ERROR_SUCCESS) continue;
    for (const std::string& instance : SubkeyNames(device_key)) {
      HKEY parameters = nullptr;
      if (RegOpenKeyExA(device_key, (instance + "\\Device Parameters").c_str(), 0,
                        KEY_READ | KEY_SET_VALUE, &parameters) != ERROR_SUCCESS)
        continue;
      char name[17] = {};
      DWORD size = 16;
      if (RegQueryValueExA(parameters, "PortName", nullptr, nullptr, reinterpret_cast<BYTE*>(name),
                           &size) == ERROR_SUCCESS &&
          SameText(name, port)) {
        DWORD latency = 0;
        DWORD latency_size = sizeof latency;
        DWORD type = 0;
        if (RegQueryValueExA(parameters, "LatencyTimer", nullptr, &type,
                             reinterpret_cast<BYTE*>(&latency), &latency_size) != ERROR_SUCCESS ||
            type != REG_DWORD) {
          result = -2;
          done = true;
        } else if (latency != DWORD(milliseconds)) {
          const DWORD wanted = DWORD(milliseconds);
          result =
              RegSetValueExA(parameters, "LatencyTimer", 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&wanted), sizeof wanted) == ERROR_SUCCESS
                  ? 1
                  : -3;
          done = true;
        }
      }
      RegCloseKey(parameters);
      if (done) break;
    }
    RegCloseKey(device_key);
    if (done) break;
  }
  RegCloseKey(bus);
  return result;
}

}  // namespace r7k
