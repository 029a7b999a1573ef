#include "link/serial_channel.h"

#include <charconv>
#include <chrono>

#include "link/channel.h"
#include "link/link_message_box.h"
#include "link/link_thread.h"
#include "link/simulated_box.h"
#include "platform/config_files.h"

namespace r7k {
namespace {

using namespace std::chrono_literals;

// The watcher id before the watcher thread has told its own.
constexpr std::uint32_t kWatcherStarting = 0xFFFFFFFF;

// The device a port name opens: the name itself, or the simulated box's pseudo-terminal.
std::string DeviceOf(std::string_view name, std::string* error) {
  if (IsSimulatedPortName(name)) return SimulatedBoxDevice(error);
  return std::string(name);
}

void WaitForHandshake(PortRecord* record) {
  while (!record->handshake.Wait(1s)) {
  }
}

// Waits for port events while the port is open and turns them into notices.
void PortWatcher(PortRecord* record) {
  record->watcher_id = CurrentThreadId();
  SerialPort* port = record->handle.get();
  while (record->connected) {
    const SerialEvent event = port->WaitEvent(-1);
    if (event == SerialEvent::kTimeout) continue;
    if (event == SerialEvent::kAborted || event == SerialEvent::kHangup) {
      // Closing the port aborts the wait on purpose; anything else means the port has gone,
      // and the link thread is told to end. An answer it still waits for will not come: it
      // hears "Timeout" now rather than after its own wait (a minute for an erase).
      if (record->connected) {
        ChannelSend("CommThread", "Timeout", nullptr, 0);
        ChannelSend("R7P", nullptr, "exit", 4);
      }
      break;
    }
    WaitForHandshake(record);
    if (!record->connected) break;
    record->handshake.Reset();
    if (event == SerialEvent::kLineError) {
      ChannelSend("CommThread", "Overrun", nullptr, 0);
    } else {
      ChannelSend("CommThread", nullptr, nullptr, 0);
    }
  }
  record->watcher_id = 0;
}

}  // namespace

std::uint32_t DefaultBaudRate(std::string_view link_type) {
  return link_type == "USB" ? 460800 : 57600;
}

std::uint8_t ComPortNumber(std::string_view name) {
  if (name.size() < 4) return 0;
  std::string_view digits = name.substr(3);
  unsigned value = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (ec != std::errc() || end == digits.data() || value < 1 || value > 255) return 0;
  return static_cast<std::uint8_t>(value);
}

std::optional<std::uint32_t> ProfileBaudRate(std::string* ignored) {
  const std::string text = GetProfileString(kProfileFile, kProfileOptions, kProfileBaudRate);
  std::uint32_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  // Only a rate of the pairs the link switches between: at any other the box never answers.
  if (ec == std::errc() && end == text.data() + text.size() && PartnerBaudRate(value)) return value;
  if (ignored) *ignored = text;
  return std::nullopt;
}

std::unique_ptr<PortRecord> PortCreate(const LinkStartParams& params) {
  auto record = std::make_unique<PortRecord>();
  record->name = params.port_name;
  record->port_number = ComPortNumber(params.port_name);
  record->baud_rate = DefaultBaudRate(params.link_type);
  record->make_port = params.make_port;
  return record;
}

bool PortOpen(PortRecord* record) {
  record->last_error.clear();
  if (record->name.empty()) {
    record->last_error = "No port is chosen; pick the box's port in the configuration.";
    return false;
  }
  std::string device = DeviceOf(record->name, &record->last_error);
  if (device.empty()) return false;
  if (!record->handle)
    record->handle = record->make_port ? record->make_port() : MakeSerialPortFor(device);
  if (!record->handle->Open(device, &record->last_error)) return false;
  if (!PortConfigure(record)) {
    record->handle->Close();
    record->connected = false;
    return false;
  }
  record->connected = true;
  record->watcher_id = kWatcherStarting;
  try {
    record->watcher = std::thread(PortWatcher, record);
  } catch (...) {
    record->connected = false;
    record->watcher_id = 0;
    record->handle->Close();
    record->last_error = "Cannot start the port watcher.";
    return false;
  }
  record->handle->SetDtr(true);
  return true;
}

bool PortConfigure(PortRecord* record) {
  std::string ignored;
  if (auto rate = ProfileBaudRate(&ignored)) {
    record->baud_rate = *rate;
  } else if (!ignored.empty()) {
    LinkMessageBoxText(0,
                       "BaudRate=" + ignored + " in " + std::string(kProfileFile) +
                           " is not a rate the box speaks (57600, 115200, 460800 or 921600); "
                           "using " +
                           std::to_string(record->baud_rate) + ".",
                       LinkString(1), kBoxExclamation);
  }
  if (!record->handle->Configure(record->baud_rate, &record->last_error)) return false;
  // Flow control 0: no handshake, DTR and RTS simply on.
  record->handle->SetDtr((record->flow_control & 1) == 0);
  record->handle->SetRts((record->flow_control & 2) == 0);
  return true;
}

bool PortWrite(PortRecord* record, const std::uint8_t* bytes, std::size_t count) {
  if (!record->handle) return false;
  return record->handle->Write(std::span(bytes, count));
}

std::size_t PortReadAvailable(PortRecord* record, std::uint8_t* buffer, std::size_t most) {
  if (!record->handle || most == 0) return 0;
  return record->handle->ReadAvailable(std::span(buffer, most));
}

bool PortClose(PortRecord* record) {
  record->connected = false;
  if (record->handle) record->handle->AbortWait();
  record->handshake.Set();
  if (record->watcher.joinable()) {
    const auto limit = std::chrono::steady_clock::now() + 1000ms;
    while (record->watcher_id != 0 && std::chrono::steady_clock::now() < limit)
      std::this_thread::sleep_for(10ms);
    if (record->watcher_id != 0) {
      LinkMessageBoxText(0, "Alarm timeout", "Thread not gone; please restart program",
                         kBoxExclamation);
    }
    // The port must outlive the watcher's wait; the abort stays in force until it is gone.
    record->watcher.join();
  }
  if (record->handle && record->handle->IsOpen()) {
    record->handle->SetDtr(false);
    record->handle->Purge();
    record->handle->Close();
  }
  return true;
}

void PortDestroy(std::unique_ptr<PortRecord> record) {
  if (!record) {
    LinkMessageBoxText(0, "Explain!", "pcommInfo = 0 in destroy", kBoxExclamation);
    return;
  }
  if (record->connected || record->watcher.joinable()) PortClose(record.get());
}

}  // namespace r7k
