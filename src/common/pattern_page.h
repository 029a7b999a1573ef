#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The full pattern page and how the web browser that shows it is started.
namespace r7k {

inline constexpr char kPatternPageFile[] = "Pattern.htm";
inline constexpr char kPatternFullBmpFile[] = "PatternFull.Bmp";

// The page presenting "PatternFull.Bmp": 24 lines, each ended by a line feed. The title
// shows the whole name, the caption and the picture's alternative text the part after its
// last backslash.
std::string PatternPageHtml(std::string_view name, unsigned rows, unsigned stitches);

// The command part of a registered web-browser command ("http\shell\open\command"): up to
// the opening quote of a quoted "%1"; else up to the blank before the last "-" option; else
// the whole value. No registered value gives "explorer".
std::string BrowserCommandFromRegistered(std::optional<std::string_view> registered);

// Splits a command line into arguments at blanks; double quotes group blanks into an
// argument and are dropped.
std::vector<std::string> SplitCommandLine(std::string_view command);

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
