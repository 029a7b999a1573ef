#include "common/pattern_page.h"

#include <gtest/gtest.h>

namespace r7k {
namespace {

TEST(PatternPageHtml, TwentyFourLinesWithLineFeeds) {
  EXPECT_EQ(PatternPageHtml("P2000", 20, 30),
            "<html>\n"
            "<head>\n"
            "<title>P2000</title>\n"
            "</head>\n"
            "<body>\n"
            "<table border=1>\n"
            "<tr>\n"
            "<td align=center>\n"
            "<table border=0>\n"
            "<tr><td align=center>\n"
            "<font face=Arial size=2>\n"
            "P2000</font></td></tr>\n"
            "<tr><td>\n"
            "<img border=1 src=\"PatternFull.Bmp\" alt=\"P2000\">\n"
            "</td></tr>\n"
            "<tr><td align=center>\n"
            "<font face=Arial size=2>\n"
            "20 x 30</font></td></tr>\n"
            "</table>\n"
            "</td>\n"
            "</tr>\n"
            "</table>\n"
            "</body>\n"
            "</html>\n");
}

TEST(PatternPageHtml, CaptionTakesThePartAfterTheLastBackslash) {
  const std::string page = PatternPageHtml("D:\\knit\\P3001", 2, 2);
  EXPECT_NE(page.find("<title>D:\\knit\\P3001</title>\n"), std::string::npos);
  EXPECT_NE(page.find("\nP3001</font></td></tr>\n"), std::string::npos);
  EXPECT_NE(page.find("alt=\"P3001\">\n"), std::string::npos);
  // Markup characters in a name from module bytes stay text.
  EXPECT_NE(PatternPageHtml("P<b>\"", 1, 1).find("alt=\"P&lt;b&gt;&quot;\""), std::string::npos);
}

}  // namespace
}  // namespace r7k
