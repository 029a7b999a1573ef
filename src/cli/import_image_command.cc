#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>

#include "app/import_picture.h"
#include "app/pattern_view.h"
#include "cli/commands.h"
#include "cli/module_session.h"
#include "common/sti_png.h"
#include "support/ascii.h"

namespace r7k::cli {
namespace {

constexpr std::array kOptions = {
    OptionSpec{"--reduce", "", "", "more than 4 colours: take the nearest of the 4 most frequent"},
    OptionSpec{"--replace", "", "", "put the pattern in place of the pattern entry NAME"},
    OptionSpec{"--dry-run", "-n", "", "check everything and write the preview, not the module"},
    OptionSpec{"--preview", "", "FILE",
               "the preview picture of --dry-run (PNG, or BMP for .bmp); default\n"
               "NAME-preview.png beside PICTURE"},
    OptionSpec{"--yes", "-y", "", "let the preview replace a virtual module or entity file"},
};

constexpr CommandUsage kUsage = {
    "import-image", "MODULE NAME PICTURE",
    "Makes a pattern from the picture PICTURE (PNG or BMP, one stitch per pixel, at most 4\n"
    "colours, its top row the pattern's top row) and adds it to the virtual module MODULE as\n"
    "the pattern entry NAME (\"P3...\" to \"P6...\"), as \"Import picture...\" in the desktop\n"
    "program does. With --replace the entry NAME gets the pattern in its place (its size\n"
    "must hold it).",
    kOptions, 3};

bool EndsWithBmp(const std::filesystem::path& path) {
  std::string ext = path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".bmp";
}

// The preview of --dry-run: the record as the pattern view pictures it.
bool WritePreview(StoreHandle app, const std::filesystem::path& path, CommandIo& io) {
  const auto record = StoreGetItem(app, "i_Record");
  const auto picture = record ? PatternRecordPicture(*record) : std::nullopt;
  const StiWriteResult written = !picture
                                     ? StiWriteResult::kNotAPicture
                                     : (EndsWithBmp(path) ? StiWriteBmp(path, picture->Block())
                                                          : StiWritePng(path, picture->Block()));
  if (written != StiWriteResult::kOk) {
    io.err << "import-image: cannot write the preview " << path.string() << '\n';
    return false;
  }
  io.out << "preview: " << path.string() << '\n';
  return true;
}

}  // namespace

int ImportImageCommand(std::span<const std::string> args, CommandIo& io) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!ParseCommandArgs(args, kUsage, io, parsed, status)) return status;
  const std::string& name = parsed.positional[1];
  const std::filesystem::path picture = parsed.positional[2];
  const bool reduce = parsed.Has("--reduce");
  const bool replace = parsed.Has("--replace");
  const bool dry_run = parsed.Has("--dry-run");
  // A dry run writes its preview only, and never over what it reads.
  std::filesystem::path preview = parsed.Value("--preview");
  if (preview.empty()) preview = picture.parent_path() / (name + "-preview.png");
  const std::filesystem::path inputs[] = {parsed.positional[0], picture};
  if (dry_run) {
    if (const auto refused = RefuseOutput(preview, inputs, parsed.Has("--yes"), "import-image", io))
      return *refused;
  }

  // A scripted user of "Import picture...": chooses the file, answers the question about
  // reducing the colours, and fills in the name.
  ModuleSession session(parsed.positional[0]);
  StoreHandle app = session.app();
  StoreSetNumeric(app, "i_DryRun", dry_run ? 1 : 0);
  StoreSetNumeric(app, "i_Replace", 0);
  session.view().ChooseFileNext(picture.string());
  session.view().AnswerNextMessage(reduce ? kIdYes : kIdNo);
  bool accepted = true;
  session.view().WhenDialogOpens("ImportPic", [&](DialogUser& user) {
    accepted = user.Set("p_Name", name) && (!replace || user.Press("i_Replace"));
    user.Press(accepted ? "OK" : "Cancel");
  });
  const int result = session.Run("DP_ImportPicture");
  if (!accepted) {
    io.err << "r7k import-image: the name " << PrintableText(name)
           << " is refused: a name has 5 characters (\"P3...\" to \"P6...\")\n";
    return kExitFailure;
  }
  const bool asked =
      !session.view().messages().empty() && session.view().messages().front().type & kMbYesNo;
  session.ReportMessages(io);
  if (result != 1) {
    if (asked && !reduce) io.err << "(--reduce takes the nearest of the 4 most frequent colours)\n";
    return kExitFailure;
  }
  const std::string info = StoreGetString(app, "i_Info").value_or("");
  if (!dry_run) {
    io.out << (replace ? "replaced " : "added ") << name << ": " << info << '\n';
    return kExitOk;
  }
  io.out << "would " << (replace ? "replace " : "add ") << name << ": " << info << '\n';
  return WritePreview(app, preview, io) ? kExitOk : kExitFailure;
}

}  // namespace r7k::cli
