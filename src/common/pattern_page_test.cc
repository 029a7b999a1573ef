#include "common/pattern_page.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace r7k {
namespace {

using ::testing::ElementsAre;

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

TEST(BrowserCommand, RegisteredValueRule) {
  EXPECT_EQ(BrowserCommandFromRegistered(std::nullopt), "explorer");
  // Quoted placeholder: up to its opening quote, whatever follows is dropped.
  EXPECT_EQ(BrowserCommandFromRegistered(R"("C:\Program Files\Web\web.exe" "%1" -new)"),
            R"("C:\Program Files\Web\web.exe" )");
  // Otherwise the last "-" option and the blank before it go.
  EXPECT_EQ(BrowserCommandFromRegistered(R"(C:\Web\web.exe -nohome)"), R"(C:\Web\web.exe)");
  EXPECT_EQ(BrowserCommandFromRegistered("-nohome"), "");
  EXPECT_EQ(BrowserCommandFromRegistered(R"(C:\Web\web.exe %1)"), R"(C:\Web\web.exe %1)");
  EXPECT_EQ(BrowserCommandFromRegistered(""), "");
}

TEST(BrowserCommand, ArgumentVectorsEndWithThePage) {
  EXPECT_THAT(BrowserArgvFromRegistered(R"("C:\Program Files\Web\web.exe" "%1" -new)", "/t/P.htm"),
              ElementsAre(R"(C:\Program Files\Web\web.exe)", "/t/P.htm"));
  EXPECT_THAT(BrowserArgvFromRegistered(R"(web.exe -a -nohome)", "/t/P.htm"),
              ElementsAre("web.exe", "-a", "/t/P.htm"));
  EXPECT_THAT(BrowserArgvFromRegistered(std::nullopt, "/t/P.htm"),
              ElementsAre("explorer", "/t/P.htm"));
  EXPECT_THAT(SplitCommandLine(R"(  a "b c"d  "" e)"), ElementsAre("a", "b cd", "", "e"));
}

TEST(BrowserCommand, EnvironmentBrowserOrXdgOpen) {
  EXPECT_THAT(BrowserArgvFromEnvironment(nullptr, "/t/P.htm"), ElementsAre("xdg-open", "/t/P.htm"));
  EXPECT_THAT(BrowserArgvFromEnvironment("", "/t/P.htm"), ElementsAre("xdg-open", "/t/P.htm"));
  EXPECT_THAT(BrowserArgvFromEnvironment("google-chrome --new-window", "/t/P.htm"),
              ElementsAre("google-chrome", "--new-window", "/t/P.htm"));
  EXPECT_THAT(BrowserArgvFromEnvironment("w3m -o x=%s:lynx", "/t/P.htm"),
              ElementsAre("w3m", "-o", "x=/t/P.htm"));
}

}  // namespace
}  // namespace r7k
