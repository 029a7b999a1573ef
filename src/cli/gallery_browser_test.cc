// The gallery as a browser shows it: a headless Chromium opens the page inside a small page of
// the test's own, which lists what the gallery holds once everything has loaded: every
// picture must load, the names of the valid entries must be those `r7k ls --valid-only`
// lists, and every link must lead to the text `r7k show` prints.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_fixture.h"
#include "testing/browser_fixture.h"
#include "testing/module_builder.h"

namespace r7k::cli {
namespace {

namespace fs = std::filesystem;
using ::r7k::testing::FindBrowser;
using ::r7k::testing::HeadlessBrowser;
using ::r7k::testing::RunProgram;
using testing::ReadBytes;
using testing::RunR7k;
using testing::WriteBytes;

// Loads the gallery in a frame and writes one line per picture, name and link into #out.
constexpr char kHarness[] = R"(<!DOCTYPE html><html><body><pre id="out"></pre>
<iframe id="g" src="my%20demo%20%231-gallery.htm" width="1200" height="800"></iframe>
<script>
document.getElementById('g').addEventListener('load', () => {
  const d = document.getElementById('g').contentDocument;
  const lines = [];
  for (const img of d.images)
    lines.push((img.complete && img.naturalWidth > 0 ? 'loaded ' : 'broken ') + img.alt);
  for (const img of d.querySelectorAll('body > .cards img')) lines.push('valid picture ' + img.alt);
  for (const n of d.querySelectorAll('body > .cards .name, body > ul .name'))
    lines.push('valid ' + n.textContent);
  for (const a of d.querySelectorAll('a.name')) {
    const target = d.getElementById(a.getAttribute('href').slice(1));
    const text = target ? target.querySelector('pre').textContent : 'no target';
    lines.push('text ' + a.textContent + ' ' + text.replaceAll('\\', '\\\\').replaceAll('\n', '\\n'));
  }
  document.getElementById('out').textContent = lines.join('\n');
});
</script></body></html>
)";

std::string Unescape(std::string text) {
  for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
           {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}}) {
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
      text.replace(at, from.size(), to);
  }
  return text;
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (const char c : text)
    out += c == '\n' ? std::string("\\n") : c == '\\' ? "\\\\" : std::string(1, c);
  return out;
}

TEST(GalleryInBrowser, EveryPictureLoadsAndNamesAndTextsAreThoseOfLsAndShow) {
  const auto browser = FindBrowser();
  if (!browser) GTEST_SKIP() << "no Chromium on this machine (set R7K_CHROMIUM)";
  ScratchDir dir;
  // The demo module with patterns whose names no file or page may take as they are.
  r7k::testing::ModuleImage image("demo");
  const auto p3001 = image.Record("P3001");
  const std::vector<uint8_t> record(p3001.begin(), p3001.end());
  image.Add("P3<&>", record).Add("P3\x01Z", record).Add("P3/..", record, kEntryDeleted);
  // A module name the page's addresses must code.
  const std::string module = dir.File("my demo #1.r7v");
  WriteBytes(module, image.bytes);
  const fs::path out = dir.path() / "out";
  auto run = RunR7k({"gallery", module, "-o", out.string(), "--no-open"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, (out / "my demo #1-gallery.htm").string() + "\n");
  std::ofstream(out / "harness.htm") << kHarness;

  std::vector<std::string> command = HeadlessBrowser(*browser, dir.File("profile"));
  command.insert(command.end(), {"--allow-file-access-from-files", "--dump-dom",
                                 "file://" + (out / "harness.htm").string()});
  ASSERT_EQ(RunProgram(command, dir.File("dom.htm")), 0) << "the browser failed";
  const auto dom_bytes = ReadBytes(dir.File("dom.htm"));
  const std::string dom(dom_bytes.begin(), dom_bytes.end());
  const size_t from = dom.find("<pre id=\"out\">");
  ASSERT_NE(from, std::string::npos) << dom;
  const std::string listed = Unescape(dom.substr(from + 14, dom.find("</pre>", from) - from - 14));

  std::vector<std::string> names, pictures;
  std::map<std::string, std::string> texts;
  int loaded = 0;
  std::istringstream lines(listed);
  for (std::string line; std::getline(lines, line);) {
    EXPECT_FALSE(line.starts_with("broken ")) << line;
    if (line.starts_with("loaded ")) ++loaded;
    if (line.starts_with("valid picture "))
      pictures.push_back(line.substr(14));
    else if (line.starts_with("valid "))
      names.push_back(line.substr(6));
    if (line.starts_with("text ")) {
      const size_t space = line.find(' ', 5);
      texts[line.substr(5, space - 5)] = line.substr(space + 1);
    }
  }
  EXPECT_EQ(loaded, 12) << "ten valid patterns, the deleted P3002 and P3/..\n" << listed;

  std::vector<std::string> ls_names, ls_patterns;
  run = RunR7k({"ls", "--valid-only", module});
  std::istringstream ls(run.out);
  for (std::string state, name, rest; ls >> state >> name && std::getline(ls, rest);) {
    ls_names.push_back(name);
    if (name.starts_with('P')) ls_patterns.push_back(name);
  }
  std::ranges::sort(names);
  std::ranges::sort(ls_names);
  EXPECT_EQ(names, ls_names);
  EXPECT_EQ(pictures, ls_patterns);
  ASSERT_EQ(texts.size(), 15u) << listed;  // 5 techniques, 6 sectors, 4 text records with views
  for (const auto& [name, text] : texts) {
    if (name.starts_with('P')) continue;
    EXPECT_EQ(text, Escaped(RunR7k({"show", module, name}).out)) << name;
  }
}

}  // namespace
}  // namespace r7k::cli
