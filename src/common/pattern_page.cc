#include "common/pattern_page.h"

#include "support/html_text.h"

namespace r7k {

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
  page +=
      std::string("<img border=1 src=\"") + kPatternFullBmpFile + "\" alt=\"" + caption + "\">\n";
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
}  // namespace r7k
