#include <array>

#include "app/full_page.h"
#include "app/pattern_view.h"
#include "cli/commands.h"
#include "common/pattern_page.h"
#include "common/sti_png.h"
#include "platform/temp_folder.h"

namespace r7k::cli {
namespace {

constexpr std::array kOptions = {
    OptionSpec{"--no-open", "", "", "write the files but do not open the page"},
    OptionSpec{"--png", "", "", "also write PatternFull.png beside the BMP"},
};

constexpr CommandUsage kUsage = {
    "full", "MODULE NAME",
    "Writes the pattern NAME of the virtual module MODULE whole, 8 x 8 pixels per stitch in a\n"
    "ruled frame, as PatternFull.Bmp and the page Pattern.htm presenting it, into your private\n"
    "temporary folder ($XDG_RUNTIME_DIR/r7kprog, else r7kprog-UID in $TMPDIR), prints their\n"
    "paths and opens the page in the web browser ($BROWSER, else xdg-open).",
    kOptions, 2};

}  // namespace

int FullCommand(std::span<const std::string> args, CommandIo& io) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!ParseCommandArgs(args, kUsage, io, parsed, status)) return status;
  const std::string& path = parsed.positional[0];
  const std::string& name = parsed.positional[1];
  if (const std::string why = NotAPattern(name); !why.empty()) {
    io.err << "r7k full: " << why << '\n';
    return kExitUsage;
  }
  const auto record = LoadNamedEntry(path, name, io, "full");
  if (!record) return kExitFailure;
  const auto framed = FullPatternPicture(*record);
  if (!framed) {
    io.err << "Cannot load " << name << '\n';
    return kExitFailure;
  }
  if (const std::string why = FullPageTooLarge(name, *framed); !why.empty()) {
    io.err << "r7k full: " << why << "\n(r7k picture MODULE " << name
           << " -o FILE.png draws it with smaller cells)\n";
    return kExitFailure;
  }
  std::string why;
  const auto folder = PrivateTempFolder(&why);
  if (!folder) {
    io.err << "r7k full: no private folder for the page: " << why << '\n';
    return kExitFailure;
  }
  // The files there are the program's own; only the module itself must not be among them.
  const std::filesystem::path inputs[] = {path};
  for (const char* file : {kPatternFullBmpFile, kPatternPageFile, "PatternFull.png"})
    if (const auto refused = RefuseOutput(*folder / file, inputs, true, "full", io))
      return *refused;
  const FullPageFiles files = WriteFullPage(*framed, name, *folder);
  if (!files.picture_written || !files.page_written) {
    io.err << "Cannot write file " << (files.picture_written ? files.page : files.picture).string()
           << '\n';
    return kExitFailure;
  }
  io.out << files.picture.string() << '\n' << files.page.string() << '\n';
  if (parsed.Has("--png")) {
    auto png = files.picture;
    png.replace_extension(".png");
    if (StiWritePng(png, framed->Block()) != StiWriteResult::kOk) {
      io.err << "Cannot write file " << png.string() << '\n';
      return kExitFailure;
    }
    io.out << png.string() << '\n';
  }
  if (!parsed.Has("--no-open") && !OpenPageInBrowser(files.page)) {
    io.err << "r7k full: could not start a web browser for " << files.page.string() << '\n';
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace r7k::cli
