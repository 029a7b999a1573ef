#pragma once

// Message boxes of the link thread, which has no dialog of its own. The boxes go through a
// hook that the program's view installs (the dialog engine's message box); without one they
// are written to stderr.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "support/window_messages.h"

namespace r7k {

// Icon styles of a box.
constexpr std::uint32_t kBoxStop = 16;
constexpr std::uint32_t kBoxExclamation = 48;
constexpr std::uint32_t kBoxInformation = 64;

// The link's strings: caption 1 and texts 201 to 204. Empty for any other id.
std::string_view LinkString(int id);

// Shows the box and returns the pressed button (1, OK, without a view).
using LinkMessageBoxHook = std::function<int(WindowHandle owner, std::string_view text,
                                             std::string_view caption, std::uint32_t type)>;
// An empty hook restores the stderr default.
void SetLinkMessageBoxHook(LinkMessageBoxHook hook);

// A box whose text and caption are the link strings of those ids; `detail`, when given, is
// shown on a line of its own below the text (why a port did not open).
int LinkMessageBox(WindowHandle owner, int text_id, int caption_id, std::uint32_t type,
                   std::string_view detail = {});
// A box with literal texts.
int LinkMessageBoxText(WindowHandle owner, std::string_view text, std::string_view caption,
                       std::uint32_t type);

}  // namespace r7k
