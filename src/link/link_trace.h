#pragma once

// A look at the wire for diagnosing a box: the link thread reports each command it sends and
// each answer (or its own failure text, "Timeout", "Overrun"...) it hands back.

#include <functional>
#include <string_view>

namespace r7k {

// Called on the link thread: to_box true for a command as sent, false for an answer as
// delivered (without its terminating zero).
using LinkTraceHook = std::function<void(bool to_box, std::string_view bytes)>;

// Installs the hook; empty removes it. Once this returns, the previous hook is not running and
// will not be called again, so it may refer to objects about to be destroyed. The hook must not
// install another hook itself.
void SetLinkTraceHook(LinkTraceHook hook);

// Passes the bytes to the hook, when there is one (the link thread calls this).
void LinkTrace(bool to_box, std::string_view bytes);

}  // namespace r7k
