#include "link/link_trace.h"

#include <atomic>
#include <mutex>

namespace r7k {
namespace {

// The hook runs under the mutex, so that SetLinkTraceHook can promise the old hook is done.
std::mutex trace_mutex;
std::atomic<bool> trace_on{false};  // spares the lock on every command when nobody traces

LinkTraceHook& Hook() {
  static auto* hook = new LinkTraceHook;
  return *hook;
}

}  // namespace

void SetLinkTraceHook(LinkTraceHook hook) {
  std::lock_guard lock(trace_mutex);
  trace_on = static_cast<bool>(hook);
  Hook() = std::move(hook);
}

void LinkTrace(bool to_box, std::string_view bytes) {
  if (!trace_on) return;
  std::lock_guard lock(trace_mutex);
  if (Hook()) Hook()(to_box, bytes);
}

}  // namespace r7k
