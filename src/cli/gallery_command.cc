#include <array>

#include "app/full_page.h"
#include "app/gallery.h"
#include "cli/commands.h"
#include "platform/temp_folder.h"

namespace r7k::cli {
namespace {

constexpr std::array kOptions = {
    OptionSpec{"--output", "-o", "DIR", "write the page and its pictures into DIR"},
    OptionSpec{"--no-open", "", "", "write the files but do not open the page"},
};

constexpr CommandUsage kUsage = {
    "gallery", "MODULE",
    "Writes one page showing the whole virtual module MODULE: every pattern as its stitch\n"
    "picture (PNG) with its name, size and colours, every technique, sector and text record\n"
    "with its text as 'r7k show' gives it, and the deleted entries greyed apart. The page\n"
    "MODULE-gallery.htm and the folder MODULE-gallery/ of pictures go into DIR, else into your\n"
    "private temporary folder; prints the page's path and opens it in the web browser\n"
    "($BROWSER, else xdg-open).",
    kOptions, 1};

}  // namespace

int GalleryCommand(std::span<const std::string> args, CommandIo& io) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!ParseCommandArgs(args, kUsage, io, parsed, status)) return status;
  const std::string& path = parsed.positional[0];
  const LoadedModule module = LoadVirtualModule(path);
  if (!module.ok()) {
    io.err << ModuleLoadMessage(module, path) << '\n';
    return kExitFailure;
  }
  std::filesystem::path folder = parsed.Value("--output");
  if (!parsed.Has("--output")) {
    std::string why;
    const auto temp = PrivateTempFolder(&why);
    if (!temp) {
      io.err << "r7k gallery: no private folder for the page: " << why << '\n';
      return kExitFailure;
    }
    folder = *temp;
  }
  const GalleryResult result = WriteGallery(path, module, folder);
  if (result.refusal) {
    io.err << "r7k gallery: " << result.refusal->text << "; nothing written\n";
    return result.refusal->kind == OutputRefusalKind::kUserFile ? kExitFailure : kExitUsage;
  }
  if (!result.files) {
    io.err << "r7k gallery: " << result.error << '\n';
    return kExitFailure;
  }
  const GalleryFiles& files = *result.files;
  io.out << files.page.string() << '\n';
  if (files.pictured < files.patterns)
    io.err << "r7k gallery: " << files.patterns - files.pictured << " of " << files.patterns
           << " patterns cannot be pictured\n";
  if (!parsed.Has("--no-open") && !OpenPageInBrowser(files.page)) {
    io.err << "r7k gallery: could not start a web browser for " << files.page.string() << '\n';
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace r7k::cli
