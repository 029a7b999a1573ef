#include "platform/browser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/ascii.h"

namespace r7k {
namespace {

using ::testing::ElementsAre;

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
  EXPECT_THAT(QuotedWords(R"(  a "b c"d  "" e)"), ElementsAre("a", "b cd", "", "e"));
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
