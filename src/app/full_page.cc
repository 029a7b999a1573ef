#include "app/full_page.h"

#include "app/directory_view.h"
#include "app/pattern_view.h"
#include "common/pattern_page.h"
#include "common/sti_bmp.h"
#include "engine/dialog_engine.h"
#include "platform/browser.h"
#include "platform/file_io.h"
#include "platform/launcher.h"

namespace r7k {
namespace {

constexpr char kShowFullTitle[] = "Show full pattern";

DocumentLauncher g_launcher;

}  // namespace

std::optional<StiPicture> FullPatternPicture(std::span<const uint8_t> record) {
  auto picture = PatternRecordPicture(record);
  if (picture) picture->SetKind(kStiKindFramed);
  return picture;
}

std::string FullPageTooLarge(std::string_view name, const StiPicture& framed) {
  if (StiFramedFits(framed.Rows(), framed.Stitches())) return {};
  return std::string(name) + " is too large for the full page: " + std::to_string(framed.Rows()) +
         " rows of " + std::to_string(framed.Stitches()) +
         " stitches, and the page draws at most " + std::to_string(kStiMaxFramedCells) +
         " cells of 8 x 8 pixels with its frame; the pattern view shows it smaller";
}

FullPageFiles WriteFullPage(const StiPicture& framed, std::string_view name,
                            const std::filesystem::path& folder) {
  FullPageFiles files;
  if (folder.empty()) return files;
  files.picture = folder / kPatternFullBmpFile;
  files.page = folder / kPatternPageFile;
  files.picture_written = StiWriteBmp(files.picture, framed.Block()) == StiWriteResult::kOk;
  const std::string html = PatternPageHtml(name, framed.Rows(), framed.Stitches());
  files.page_written = WriteFileAtomically(files.page, std::string_view(html));
  return files;
}

bool OpenPageInBrowser(const std::filesystem::path& page) {
  const auto argv = BrowserArgv(page.string());
  return g_launcher ? g_launcher(argv) : LaunchDetached(argv);
}

bool OpenDocument(const std::filesystem::path& document) {
  if (!g_launcher && ShellOpen(document, document.parent_path())) return true;
  return OpenPageInBrowser(document);
}

void SetDocumentLauncher(DocumentLauncher launcher) { g_launcher = std::move(launcher); }

int DP_ShowFull(WindowHandle owner, int, int, StoreHandle, StoreHandle app_store) {
  const CurrentEntry entry = ReadCurrentEntry(app_store);
  const auto bytes = ReadFileRange(entry.module, entry.start, entry.size);
  if (!bytes) {
    DlgMessageFmt(owner, kMbIconStop, kShowFullTitle, "Cannot load module %s",
                  entry.module.c_str());
    return 2;
  }
  const auto framed = FullPatternPicture(*bytes);
  if (!framed) {
    DlgMessageFmt(owner, kMbIconStop, kShowFullTitle, "Cannot load %s", entry.module.c_str());
    return 2;
  }
  if (const std::string why = FullPageTooLarge(entry.name, *framed); !why.empty()) {
    DlgMessage(owner, kMbIconStop, kShowFullTitle, why);
    return 2;
  }
  // Files that cannot be written are not reported: the browser is started all the same.
  const FullPageFiles files = WriteFullPage(*framed, entry.name, PictureFolder());
  OpenPageInBrowser(files.page);
  return 1;
}

}  // namespace r7k
