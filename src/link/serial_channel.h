#pragma once

// The serial channel to the programmer box: the port record, opening and configuring the port,
// writing and reading, and the port watcher thread that tells the link thread on the channel
// "CommThread" that characters have arrived. Only the link thread calls these operations.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "platform/serial_port.h"
#include "support/window_messages.h"

namespace r7k {

inline constexpr std::string_view kProfileFile = "R7kProg.ini";
inline constexpr std::string_view kProfileOptions = "Options";
inline constexpr std::string_view kProfileBaudRate = "BaudRate";

// What the link thread is started with.
struct LinkStartParams {
  WindowHandle owner = 0;
  // The port's device name under /dev ("ttyUSB0", "pts/4"), or "sim" for the simulated box.
  std::string port_name;
  std::string link_type = "USB";  // "USB" or "RS232"
  std::uint32_t piece_size = 0;   // bytes a command is written in; 0 means 64
  Event* start_event = nullptr;   // set once the thread runs
  // Told on the link thread whether the port opened at its start; with the reason when not.
  std::function<void(bool opened, const std::string& error)> on_open;
  // Makes the port object; empty means the system's serial port. Tests put a fake here.
  std::function<std::unique_ptr<SerialPort>()> make_port;
};

// One per link thread; the port watcher reads `handle`, `connected` and `handshake`.
struct PortRecord {
  std::unique_ptr<SerialPort> handle;
  std::string name;              // device name the port opens
  std::uint8_t port_number = 0;  // the "Com%d" number on Windows
  std::atomic<bool> connected{false};
  std::uint8_t byte_size = 8;
  std::uint8_t flow_control = 0;  // 1 DTR/DSR, 2 RTS/CTS, 4 XON/XOFF handshake
  std::uint8_t parity = 0;
  std::uint8_t stop_bits = 0;
  std::uint32_t baud_rate = 0;
  // Keeps at most one notice outstanding: the watcher waits on it before each notice, the
  // link thread sets it once it has read the port.
  Event handshake{true};
  std::thread watcher;
  std::atomic<std::uint32_t> watcher_id{0};  // 0 once the watcher has ended
  std::string last_error;                    // why the last open failed, for the user
  std::function<std::unique_ptr<SerialPort>()> make_port;
};

// 460800 for the link type "USB", 57600 for "RS232" and anything else.
std::uint32_t DefaultBaudRate(std::string_view link_type);
// The Windows port number: the decimal value from the fourth character on ("Com3" gives 3);
// 0 when there are no digits there or the number is not a port (1 to 255).
std::uint8_t ComPortNumber(std::string_view name);
// The "BaudRate" of "R7kProg.ini", when it holds a rate the box speaks; otherwise nullopt, and
// `ignored` gets what it held (empty when nothing).
std::optional<std::uint32_t> ProfileBaudRate(std::string* ignored = nullptr);

std::unique_ptr<PortRecord> PortCreate(const LinkStartParams& params);
// Opens, configures and watches the port; false with record->last_error set on failure.
bool PortOpen(PortRecord* record);
bool PortConfigure(PortRecord* record);
// False when the bytes could not all be written within the port's write limit.
bool PortWrite(PortRecord* record, const std::uint8_t* bytes, std::size_t count);
std::size_t PortReadAvailable(PortRecord* record, std::uint8_t* buffer, std::size_t most);
bool PortClose(PortRecord* record);
void PortDestroy(std::unique_ptr<PortRecord> record);

}  // namespace r7k
