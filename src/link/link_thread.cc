#include "link/link_thread.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "link/channel.h"
#include "link/link_message_box.h"
#include "link/link_trace.h"
#include "platform/config_files.h"

namespace r7k {
namespace {

using namespace std::chrono_literals;

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  }
  return true;
}

// Reads away whatever the box sent before this command.
void DropStaleInput(PortRecord* port) {
  std::uint8_t scrap[128];
  while (PortReadAvailable(port, scrap, sizeof scrap) > 0) {
  }
}

// Writes the command in pieces with a 10 ms pause between them; false when a write failed.
bool SendPieces(PortRecord* port, std::string_view command, std::size_t piece) {
  bool ok = true;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(command.data());
  for (std::size_t done = 0; done < command.size();) {
    const std::size_t n = std::min(piece, command.size() - done);
    if (!PortWrite(port, bytes + done, n)) ok = false;
    done += n;
    if (done < command.size()) std::this_thread::sleep_for(10ms);
  }
  return ok;
}

// Collects the answer to the command just sent into `buffer`; returns a fixed answer instead
// when there is one.
std::optional<std::string> Collect(PortRecord* port, std::string_view command, std::uint8_t* buffer,
                                   std::size_t* room) {
  const std::uint32_t timeout = NoticeTimeoutMs(command);
  for (;;) {
    ChannelMessage* notice = nullptr;
    const int rc = ChannelReceive("CommThread", timeout, true, &notice);
    if (rc == kChannelNoMessage) return "Timeout";
    if (rc != kChannelOk) return "Error " + std::to_string(rc);
    if (notice->text) {
      std::string text = notice->text;
      ChannelFreeMessage(notice);
      port->handshake.Set();
      return text;
    }
    ChannelFreeMessage(notice);
    if (!PortCollect(port, buffer + (kAnswerBufferSize - *room), room)) continue;
    const std::size_t length = kAnswerBufferSize - *room;
    const std::string_view answer(reinterpret_cast<const char*>(buffer), length);
    if ((StartsWithNoCase(answer, "binread") || StartsWithNoCase(answer, "b16read")) &&
        length != kBinaryAnswerSize) {
      if (answer.ends_with("\r\n?")) return "overrun";
      continue;  // the "?" was a data byte
    }
    return std::nullopt;
  }
}

// Runs one box command and posts its answer.
void RunCommand(PortRecord* port, const ChannelMessage* request, std::size_t piece,
                std::array<std::uint8_t, kAnswerBufferSize + 1>& buffer) {
  DropStaleInput(port);
  std::fill_n(buffer.begin(), 1024, 0);
  std::size_t room = kAnswerBufferSize;
  std::string_view data = ChannelMessageData(request);
  const std::string_view command = data.substr(0, std::min(data.find('\0'), data.size()));
  LinkTrace(true, command);
  if (!SendPieces(port, command, piece)) LinkMessageBox(0, 203, 1, kBoxExclamation);
  std::optional<std::string> fixed = Collect(port, command, buffer.data(), &room);
  std::string_view answer;
  if (fixed) {
    answer = *fixed;
  } else {
    const std::size_t length = kAnswerBufferSize - room;
    buffer[length] = 0;
    answer = std::string_view(reinterpret_cast<const char*>(buffer.data()), length);
  }
  LinkTrace(false, answer);
  std::string message(answer);
  const auto size = static_cast<std::uint32_t>(message.size() + 1);
  ChannelSend(request->text ? request->text : "", "R7P", message.c_str(), size);
}

// Closes the port for an order and opens it again; false (after telling the user) when that
// failed and the thread must end.
bool Reopen(PortRecord* port, std::optional<std::uint32_t> new_rate) {
  if (!PortClose(port)) {
    LinkMessageBox(0, 202, 1, kBoxExclamation);
    return false;
  }
  if (new_rate) {
    std::string error;
    if (!WriteProfileString(kProfileFile, kProfileOptions, kProfileBaudRate,
                            std::to_string(*new_rate), &error)) {
      // The port still opens at the new rate; only remembering it failed.
      port->baud_rate = *new_rate;
      LinkMessageBoxText(0, error, LinkString(1), kBoxExclamation);
    }
  }
  if (!PortOpen(port)) {
    LinkMessageBox(0, 201, 1, kBoxExclamation, port->last_error);
    return false;
  }
  return true;
}

void ServeRequests(PortRecord* port, const LinkStartParams& params, std::size_t piece) {
  auto buffer = std::make_unique<std::array<std::uint8_t, kAnswerBufferSize + 1>>();
  for (;;) {
    ChannelMessage* request = nullptr;
    if (ChannelReceive("R7P", 1000, true, &request) != kChannelOk || !request) continue;
    const std::string_view data = ChannelMessageData(request);
    if (IsOrder(data, "quit", 4) || IsOrder(data, "exit", 4)) {
      ChannelFreeMessage(request);
      PortClose(port);
      return;
    }
    if (IsOrder(data, "com", 3)) {
      ChannelFreeMessage(request);
      port->name = params.port_name;
      port->port_number = ComPortNumber(params.port_name);
      if (!Reopen(port, std::nullopt)) return;
      continue;
    }
    if (IsOrder(data, "speed", 5)) {
      ChannelFreeMessage(request);
      if (!Reopen(port, PartnerBaudRate(port->baud_rate))) return;
      continue;
    }
    RunCommand(port, request, piece, *buffer);
    ChannelFreeMessage(request);
  }
}

}  // namespace

bool IsOrder(std::string_view data, std::string_view order, std::size_t length) {
  return StartsWithNoCase(data, order.substr(0, length));
}

std::uint32_t NoticeTimeoutMs(std::string_view command) {
  const bool erase = StartsWithNoCase(command, "erase") || StartsWithNoCase(command, "xrase");
  return erase ? kEraseNoticeTimeoutMs : kNoticeTimeoutMs;
}

std::optional<std::uint32_t> PartnerBaudRate(std::uint32_t rate) {
  switch (rate) {
    case 57600: return 115200;
    case 115200: return 57600;
    case 460800: return 921600;
    case 921600: return 460800;
  }
  return std::nullopt;
}

bool PortCollect(PortRecord* record, std::uint8_t* destination, std::size_t* room) {
  std::array<std::uint8_t, kCollectArea> area;
  std::size_t count = 0;
  while (count < area.size()) {
    const std::size_t n = PortReadAvailable(record, area.data() + count, area.size() - count);
    if (n == 0) break;
    count += n;
  }
  const bool prompt = count > 0 && area[count - 1] == '?';
  if (*room > 8 && *room - 8 > count) {
    std::memcpy(destination, area.data(), count);
    *room -= count;
  } else if (prompt) {
    // The middle of an overlong answer is lost; its end with the prompt is kept.
    const std::size_t keep = std::min(count, *room);
    std::memcpy(destination, area.data() + (count - keep), keep);
    *room -= keep;
  }
  record->handshake.Set();
  return prompt;
}

int LinkThread(LinkStartParams params) {
  if (params.start_event) params.start_event->Set();
  const std::size_t piece = params.piece_size ? params.piece_size : 64;
  std::unique_ptr<PortRecord> port = PortCreate(params);
  const bool opened = port->connected || PortOpen(port.get());
  if (!opened) LinkMessageBox(0, 201, 1, kBoxExclamation, port->last_error);
  if (params.on_open) params.on_open(opened, port->last_error);
  if (opened) ServeRequests(port.get(), params, piece);
  if (port->connected) {
    LinkMessageBoxText(0, "Alarm", "unexpectedly connected", kBoxExclamation);
    if (!PortClose(port.get())) LinkMessageBox(0, 202, 1, kBoxExclamation);
  }
  PortDestroy(std::move(port));
  return kLinkThreadExitCode;
}

}  // namespace r7k
