#include "link/link_message_box.h"

#include <cstdio>
#include <mutex>

namespace r7k {
namespace {

std::mutex hook_mutex;
LinkMessageBoxHook& Hook() {
  static auto* hook = new LinkMessageBoxHook;
  return *hook;
}

}  // namespace

std::string_view LinkString(int id) {
  switch (id) {
    case 1: return "Vardex R7000 Programmer";
    case 201: return "Connection failed.";
    case 202: return "Cannot close connection.";
    case 203: return "Command failed.";
    case 204: return "Failed to create event for thread!";
  }
  return {};
}

void SetLinkMessageBoxHook(LinkMessageBoxHook hook) {
  std::lock_guard lock(hook_mutex);
  Hook() = std::move(hook);
}

int LinkMessageBoxText(WindowHandle owner, std::string_view text, std::string_view caption,
                       std::uint32_t type) {
  LinkMessageBoxHook hook;
  {
    std::lock_guard lock(hook_mutex);
    hook = Hook();
  }
  if (hook) return hook(owner, text, caption, type);
  std::fprintf(stderr, "%.*s: %.*s\n", int(caption.size()), caption.data(), int(text.size()),
               text.data());
  return 1;
}

int LinkMessageBox(WindowHandle owner, int text_id, int caption_id, std::uint32_t type,
                   std::string_view detail) {
  std::string text(LinkString(text_id));
  if (!detail.empty()) text += "\n" + std::string(detail);
  return LinkMessageBoxText(owner, text, LinkString(caption_id), type);
}

}  // namespace r7k
