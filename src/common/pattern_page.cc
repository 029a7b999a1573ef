#include "common/pattern_page.h"

#include <cstdlib>

#include "platform/launcher.h"

namespace r7k {

namespace {

// Entity names come from module bytes; keep markup characters in them from being taken as
// markup.
std::string HtmlText(std::string_view text) {
  std::string out;
  for (char ch : text) {
    switch (ch) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += ch;
    }
  }
  return out;
}

}  // namespace

std::string PatternPageHtml(std::string_view name, unsigned rows, unsigned stitches) {
  const size_t slash = name.rfind('\\');
  const std::string title = HtmlText(name);
  const std::string caption =
      HtmlText(slash == std::string_view::npos ? name : name.substr(slash + 1));
  std::string page;
  page += "<html>\n";
  page += "<head>\n";
  page += "<title>" + title + "</title>\n";
  page += "</head>\n";
  page += "<body>\n";
  page += "<table border=1>\n";
  page += "<tr>\n";
  page += "<td align=center>\n";
  page += "<table border=0>\n";
  page += "<tr><td align=center>\n";
  page += "<font face=Arial size=2>\n";
  page += caption + "</font></td></tr>\n";
  page += "<tr><td>\n";
  // The picture's name as written: file names differ by case here, and "patternfull.bmp"
  // would leave the page without its picture.
  page += std::string("<img border=1 src=\"") + kPatternFullBmpFile + "\" alt=\"" + caption +
          "\">\n";
  page += "</td></tr>\n";
  page += "<tr><td align=center>\n";
  page += "<font face=Arial size=2>\n";
  page += std::to_string(rows) + " x " + std::to_string(stitches) + "</font></td></tr>\n";
  page += "</table>\n";
  page += "</td>\n";
  page += "</tr>\n";
  page += "</table>\n";
  page += "</body>\n";
  page += "</html>\n";
  return page;
}

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

std::vector<std::string> SplitCommandLine(std::string_view command) {
  std::vector<std::string> args;
  std::string current;
  bool in_arg = false;
  bool quoted = false;
  for (char ch : command) {
    if (ch == '"') {
      quoted = !quoted;
      in_arg = true;
    } else if ((ch == ' ' || ch == '\t') && !quoted) {
      if (in_arg) args.push_back(std::move(current));
      current.clear();
      in_arg = false;
    } else {
      current += ch;
      in_arg = true;
    }
  }
  if (in_arg) args.push_back(std::move(current));
  return args;
}

std::vector<std::string> BrowserArgvFromRegistered(std::optional<std::string_view> registered,
                                                   const std::string& page) {
  std::vector<std::string> argv = SplitCommandLine(BrowserCommandFromRegistered(registered));
  argv.push_back(page);
  return argv;
}

std::vector<std::string> BrowserArgvFromEnvironment(const char* browser_env,
                                                    const std::string& page) {
  // $BROWSER names commands, not registry values: "google-chrome" must keep its dash, so
  // the registry's option rule does not apply here.
  std::string_view list = browser_env ? browser_env : "";
  std::vector<std::string> argv = SplitCommandLine(list.substr(0, list.find(':')));
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
  if (auto registered = RegisteredBrowserCommand()) return BrowserArgvFromRegistered(*registered, page);
  return BrowserArgvFromEnvironment(std::getenv("BROWSER"), page);
}

}  // namespace r7k
