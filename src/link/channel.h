#pragma once

// The request channel: named message queues between threads.
//
// A channel is one raw item of the shared store "DsbMsgSharedColl", named by the channel: a
// record of 294 32-bit words (1176 bytes) holding a ring of 128 message slots and a ring of 16
// waiter slots. Any thread may send to a channel by name, take its next message with a bounded
// wait, or ask to be told when a message arrives, by an event or by a window message. A hidden
// dispatcher thread, started on first use, serves the waiters.
//
// The record keeps its 32-bit words on every build. Where a slot holds something that is an
// address on a 32-bit build (a message block, an event, a delivery address), it holds a
// 32-bit number from a process-wide table of live objects instead, so the record size and every
// slot rule stay the same on a 64-bit build. wparam and lparam of a message notification are
// 32-bit words for the same reason (a control id and a window handle).

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "support/window_messages.h"

namespace r7k {

enum ChannelResult : int {
  kChannelOk = 0,
  kChannelNoMessage = 9000,       // empty on a poll, or the wait ended without one
  kChannelFull = 9001,            // 128 messages queued already
  kChannelTooManyWaiters = 9002,  // 16 waiters registered already
  kChannelMessageWaiting = 9003,  // a message is queued, so nothing was registered
  kChannelNoName = 9004,
  kChannelBadArguments = 9005,
  kChannelRegistrationGone = 9006,
  kChannelTimerFailed = 9007,
  kChannelStoreFailed = 9008,
  kChannelAdviceRefused = 9009,
  kChannelNoMemory = 9010,
};

inline constexpr std::string_view kChannelStoreName = "DsbMsgSharedColl";
inline constexpr std::string_view kChannelAdviceStoreName = "DsbMsgAdviceColl";
constexpr std::size_t kChannelRecordWords = 294;
constexpr std::size_t kChannelRecordSize = kChannelRecordWords * 4;  // 1176
constexpr std::uint32_t kChannelMaxMessages = 128;
constexpr std::uint32_t kChannelMaxWaiters = 16;
// A notification or receive time-out that never runs out.
constexpr std::uint32_t kChannelNoTimeout = 0xFFFFFFFF;

// A message block: this header, then the data bytes, then the text and its zero, in one
// StoreAlloc allocation. Whoever takes it off the queue with an out argument owns it (owned 1)
// and frees it with ChannelFreeMessage.
struct ChannelMessage {
  const char* text;          // nullptr when the message has none
  const std::uint8_t* data;  // nullptr when size is 0
  std::uint32_t size;
  std::uint32_t owned;
};

// `text` may be nullptr; `data` may be nullptr only when `size` is 0.
int ChannelSend(std::string_view channel, const char* text, const void* data, std::uint32_t size);

// Takes the next message, waiting up to `timeout_ms` (0 polls). With `take_off` the message
// leaves the queue: it is handed over owned when `message` is given, else freed at once.
// Without `take_off` the message stays at the head and the caller must not free it.
int ChannelReceive(std::string_view channel, std::uint32_t timeout_ms, bool take_off,
                   ChannelMessage** message);

// Sets `event` once when a message arrives. The event must outlive the registration.
int ChannelNotifyEvent(std::string_view channel, Event* event);

// Posts (window, message, wparam, lparam) once: when a message arrives, or when `timeout_ms`
// have passed (kChannelNoTimeout: no time limit), whichever comes first. The message stays
// queued for the woken thread to take with ChannelReceive.
int ChannelNotifyMessage(std::string_view channel, WindowHandle window, std::uint32_t message,
                         std::uint32_t wparam, std::uint32_t lparam, std::uint32_t timeout_ms);

// Frees a block whose owned flag is set; does nothing otherwise.
void ChannelFreeMessage(ChannelMessage* message);

// The message's data as a view (empty when none).
inline std::string_view ChannelMessageData(const ChannelMessage* message) {
  if (!message || !message->data) return {};
  return {reinterpret_cast<const char*>(message->data), message->size};
}

}  // namespace r7k
