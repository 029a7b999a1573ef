#include "platform/browser.h"

#include <cstdlib>

#include "platform/launcher.h"
#include "support/ascii.h"

namespace r7k {

std::string BrowserCommandFromRegistered(std::optional<std::string_view> registered) {
  if (!registered) return "explorer";
  const std::string_view value = *registered;
  if (const size_t quoted = value.find("\"%1\""); quoted != std::string_view::npos) {
    return std::string(value.substr(0, quoted));
  }
  if (const size_t dash = value.rfind('-'); dash != std::string_view::npos) {
    return std::string(value.substr(0, dash == 0 ? 0 : dash - 1));
  }
  return std::string(value);
}

std::vector<std::string> BrowserArgvFromRegistered(std::optional<std::string_view> registered,
                                                   const std::string& page) {
  std::vector<std::string> argv = QuotedWords(BrowserCommandFromRegistered(registered));
  argv.push_back(page);
  return argv;
}

std::vector<std::string> BrowserArgvFromEnvironment(const char* browser_env,
                                                    const std::string& page) {
  // $BROWSER names commands, not registry values: "google-chrome" must keep its dash, so
  // the registry's option rule does not apply here.
  std::string_view list = browser_env ? browser_env : "";
  std::vector<std::string> argv = QuotedWords(list.substr(0, list.find(':')));
  if (argv.empty()) return {"xdg-open", page};
  bool placed = false;
  for (std::string& arg : argv) {
    if (const size_t at = arg.find("%s"); at != std::string::npos) {
      arg.replace(at, 2, page);
      placed = true;
    }
  }
  if (!placed) argv.push_back(page);
  return argv;
}

std::vector<std::string> BrowserArgv(const std::string& page) {
  if (auto registered = RegisteredBrowserCommand())
    return BrowserArgvFromRegistered(*registered, page);
  return BrowserArgvFromEnvironment(std::getenv("BROWSER"), page);
}

}  // namespace r7k
