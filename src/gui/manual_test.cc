// The manual as a browser shows it: a headless Chromium walks it from the two first pages the
// Help entries open and reports every page that does not load, every picture or style sheet
// that does not show, every link to a page or place that is not there and every picture
// without a text for screen readers. Both languages must have the same pages and places.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QUrl>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

#include "app/configuration.h"
#include "testing/browser_fixture.h"
#include "testing/scratch_folder.h"

namespace r7k {
namespace {

namespace fs = std::filesystem;

// Loads each page in a frame (file pages may look into each other with
// --allow-file-access-from-files), follows every link inside the manual and prints what it
// found into the page, which --dump-dom hands back.
constexpr char kWalker[] = R"(<!DOCTYPE html>
<html><head><meta charset="utf-8"></head><body><pre id="out"></pre><script>
const out = document.getElementById('out');
const say = (line) => { out.textContent += line + '\n'; };
const base = new URL(MANUAL);
const queue = ['en/index.html', 'nl/index.html'].map(p => new URL(p, base).href);
const seen = new Set(queue);
const places = new Map();  // page → its ids
const wanted = [];         // [page, id, linked from]
function next() {
  if (queue.length === 0) return finish();
  const url = queue.shift();
  const frame = document.createElement('iframe');
  frame.onload = () => {
    let doc = null;
    try { doc = frame.contentDocument; } catch (e) {}
    if (!doc || !doc.title) {
      say('FAIL page does not load: ' + url);
    } else {
      say('PAGE ' + url.slice(base.href.length));
      const language = url.slice(base.href.length).split('/')[0];
      if (doc.documentElement.lang !== language) say('FAIL lang is not ' + language + ': ' + url);
      places.set(url, new Set([...doc.querySelectorAll('[id]')].map(e => e.id)));
      for (const img of doc.images) {
        if (!img.complete || img.naturalWidth === 0) say('FAIL picture ' + img.src + ' on ' + url);
        if (!img.alt) say('FAIL picture without alt text ' + img.src + ' on ' + url);
      }
      for (const sheet of doc.querySelectorAll('link[rel=stylesheet]'))
        if (!sheet.sheet) say('FAIL style sheet ' + sheet.href + ' on ' + url);
      for (const a of doc.querySelectorAll('a[href]')) {
        const target = new URL(a.getAttribute('href'), url);
        if (target.protocol !== 'file:') continue;
        const page = target.href.split('#')[0];
        if (!page.startsWith(base.href)) { say('FAIL link out of the manual ' + page + ' on ' + url); continue; }
        if (target.hash) wanted.push([page, decodeURIComponent(target.hash.slice(1)), url]);
        if (!seen.has(page)) { seen.add(page); queue.push(page); }
      }
    }
    frame.remove();
    next();
  };
  frame.src = url;
  document.body.appendChild(frame);
}
function finish() {
  for (const [page, id, from] of wanted)
    if (places.has(page) && !places.get(page).has(id)) say('FAIL no place #' + id + ' in ' + page + ', linked from ' + from);
  for (const [url, ids] of places) {
    if (!url.startsWith(base.href + 'en/')) continue;
    const dutch = places.get(url.replace(base.href + 'en/', base.href + 'nl/'));
    if (!dutch) { say('FAIL no Dutch page for ' + url); continue; }
    const missing = [...ids].filter(id => !dutch.has(id));
    const extra = [...dutch].filter(id => !ids.has(id));
    if (missing.length || extra.length)
      say('FAIL places differ between ' + url + ' and its Dutch page: ' + missing.concat(extra).join(' '));
  }
  say('DONE');
}
next();
</script></body></html>
)";

// A file URL of a folder, with the characters a URL cannot hold as they are escaped.
std::string FolderUrl(const fs::path& folder) {
  const QString path = QString::fromStdString(folder.string() + "/");
  return "file://" + QUrl::toPercentEncoding(path, "/").toStdString();
}

TEST(Manual, EveryPagePictureAndLinkLoadsInBothLanguages) {
  // The manual beside the build, found as the Help entries find it.
  const auto english = FindHelpFile(kHelpFileEn);
  ASSERT_TRUE(english) << "no manual beside the program (the r7k_manual target makes it)";
  ASSERT_TRUE(FindHelpFile(kHelpFileNl));
  const fs::path manual = english->parent_path().parent_path();

  const auto browser = testing::FindBrowser();
  if (!browser) GTEST_SKIP() << "no Chromium on this machine (set R7K_CHROMIUM)";
  const ScratchDir scratch_dir;
  const fs::path& scratch = scratch_dir.path();
  std::string walker = kWalker;
  walker.replace(walker.find("MANUAL"), 6, "'" + FolderUrl(manual) + "'");
  std::ofstream(scratch / "walk.html") << walker;

  auto args = testing::HeadlessBrowser(*browser, (scratch / "profile").string());
  args.insert(args.end(), {"--allow-file-access-from-files", "--virtual-time-budget=60000",
                           "--dump-dom", FolderUrl(scratch) + "walk.html"});
  const int status = testing::RunProgram(args, (scratch / "dom.html").string());
  std::string dom;
  {
    std::ifstream in(scratch / "dom.html");
    dom.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  ASSERT_EQ(status, 0) << "the browser failed";

  // What the walk said: the text of its <pre> (the script itself holds the same words).
  const size_t from = dom.find("<pre id=\"out\">");
  const size_t to = dom.find("</pre>");
  ASSERT_TRUE(from != std::string::npos && to != std::string::npos && from < to) << dom;
  std::set<std::string> pages;
  std::istringstream lines(dom.substr(from + 14, to - from - 14));
  bool done = false;
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("FAIL")) ADD_FAILURE() << line;
    if (line == "DONE") done = true;
    if (line.starts_with("PAGE ")) pages.insert(line.substr(5));
  }
  ASSERT_TRUE(done) << "the walk did not finish:\n" << dom;

  // Every page of the manual is reached from the first pages.
  for (const auto& entry : fs::recursive_directory_iterator(manual)) {
    if (entry.path().extension() != ".html") continue;
    const std::string page = fs::relative(entry.path(), manual).generic_string();
    EXPECT_TRUE(pages.count(page)) << page << " is not linked from the manual";
  }
}

}  // namespace
}  // namespace r7k
