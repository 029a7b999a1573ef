#pragma once

// How the web browser that shows a page is started: the argument vector, from the system's
// registered browser command or from $BROWSER. Started by LaunchDetached (launcher.h).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace r7k {

// The command part of a registered web-browser command ("http\shell\open\command"): up to
// the opening quote of a quoted "%1"; else up to the blank before the last "-" option; else
// the whole value. No registered value gives "explorer".
std::string BrowserCommandFromRegistered(std::optional<std::string_view> registered);

// The argument vector that opens `page` with a registered browser command: the command's
// arguments followed by the page path.
std::vector<std::string> BrowserArgvFromRegistered(std::optional<std::string_view> registered,
                                                   const std::string& page);

// The argument vector that opens `page` on a desktop without a registry: the first command
// of $BROWSER (a colon-separated list; "%s" in it stands for the page, else the page is
// appended), or xdg-open when $BROWSER is unset or empty. `browser_env` is $BROWSER's value.
std::vector<std::string> BrowserArgvFromEnvironment(const char* browser_env,
                                                    const std::string& page);

// The argument vector that opens `page` in this system's browser: the registered command where
// the system has one (Windows), else as $BROWSER says.
std::vector<std::string> BrowserArgv(const std::string& page);

}  // namespace r7k
