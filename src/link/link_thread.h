#pragma once

// The command runner: the link thread, the only thread that talks to the programmer box. It
// takes requests from the channel "R7P", sends each command to the box in pieces, collects the
// answer up to the prompt "?" and posts it to the channel the request's text names. Requests
// whose data begins with "quit", "exit", "com" or "speed" (any letter case) are orders.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "link/serial_channel.h"

namespace r7k {

constexpr int kLinkThreadExitCode = 12;
constexpr std::size_t kAnswerBufferSize = 4096;
constexpr std::size_t kCollectArea = 576;
constexpr std::size_t kBinaryAnswerSize = 275;
constexpr std::uint32_t kNoticeTimeoutMs = 2000;
constexpr std::uint32_t kEraseNoticeTimeoutMs = 60000;

// Thread entry; returns kLinkThreadExitCode when the thread ends.
int LinkThread(LinkStartParams params);

// Appends what the port holds at `destination` (the free end of the answer buffer) and lowers
// *room by what was kept; returns whether the last byte read was the prompt "?". When the read
// does not fit, only a tail that ends with the prompt is kept, else the read is dropped.
// Releases the port watcher for its next notice.
bool PortCollect(PortRecord* record, std::uint8_t* destination, std::size_t* room);

// How long the runner waits for the next characters of an answer: 60000 ms for the erase
// commands ("erase", "xrase", any letter case), else 2000 ms.
std::uint32_t NoticeTimeoutMs(std::string_view command);

// The other rate of a pair (57600/115200, 460800/921600); nullopt for any other rate.
std::optional<std::uint32_t> PartnerBaudRate(std::uint32_t rate);

// Whether the request data is the order `order`, comparing its first `length` characters
// without regard to case.
bool IsOrder(std::string_view data, std::string_view order, std::size_t length);

}  // namespace r7k
