#include <algorithm>
#include <array>

#include "app/module_file.h"
#include "app/pattern_view.h"
#include "app/sector_pictures.h"
#include "app/sectors.h"
#include "cli/commands.h"
#include "common/sti_bmp.h"
#include "common/sti_png.h"
#include "module/sector.h"
#include "support/ascii.h"

namespace r7k::cli {
namespace {

constexpr std::array kOptions = {
    OptionSpec{"--output", "-o", "FILE",
               "the picture file to write, FILE.bmp or FILE.png (replaced atomically)"},
    OptionSpec{"--side", "", "front|back", "NAME is a sector: picture its front or back pattern"},
    OptionSpec{"--grid", "", "front|back", "NAME is a technique: picture its front or back grid"},
    OptionSpec{"--png", "", "", "also write a PNG beside the BMP (FILE with .png)"},
    OptionSpec{"--yes", "-y", "", "replace FILE when it is a virtual module or entity file"},
};

constexpr CommandUsage kUsage = {
    "picture", "MODULE NAME",
    "Writes the stitch picture of the entry NAME of the virtual module MODULE as an 8-bit BMP\n"
    "or a PNG, by the name of FILE:\n"
    "a pattern as the pattern view shows it, the pattern a sector refers to (--side), or a\n"
    "technique's cell grid (--grid). The colours come from the working palette when there is\n"
    "one, else from the default colour table.",
    kOptions, 2};

const char* KindName(char kind) {
  switch (kind) {
    case 'P': return "a pattern";
    case 'T': return "a technique";
    case 'S': return "a sector";
    case '_': return "a text record";
  }
  return "not a sector or technique";
}

// Why NAME cannot be pictured with these options, or empty: a sector is pictured by the
// pattern of a side, a technique by a cell grid, and those options fit nothing else.
std::string KindRefusal(const std::string& name, bool side, bool grid) {
  const char kind = name.empty() ? '\0' : name[0];
  if (kind == 'S' && !side)
    return name + " is a sector: give --side front or --side back for its pattern";
  if (kind == 'T' && !grid)
    return name + " is a technique: give --grid front or --grid back for its cell grid";
  if (kind != 'S' && side) return name + " is " + KindName(kind) + ": --side is for a sector";
  if (kind != 'T' && grid) return name + " is " + KindName(kind) + ": --grid is for a technique";
  if (kind == '_') return std::string(NotAPattern(name));
  return {};
}

bool EndsWith(const std::filesystem::path& path, std::string_view extension) {
  return AsciiLower(path.extension().string()) == extension;
}

bool SideOption(const ParsedArgs& parsed, std::string_view option, PictureSide& side,
                CommandIo& io) {
  const std::string value = parsed.Value(option);
  if (value == "front" || value == "back") {
    side = value == "front" ? PictureSide::kFront : PictureSide::kBack;
    return true;
  }
  io.err << "r7k picture: " << option << " takes front or back, not '" << value
         << "'\nRun 'r7k picture --help' for usage.\n";
  return false;
}

// The pattern a sector side refers to, or the reason it has none.
std::optional<std::vector<uint8_t>> SectorSideRecord(std::span<const uint8_t> sector_bytes,
                                                     PictureSide side, const std::string& path,
                                                     CommandIo& io) {
  const auto sector = ReadSectorRecord(sector_bytes);
  if (!sector) {
    io.err << "r7k picture: the entry is too short for a sector record\n";
    return std::nullopt;
  }
  const PatternReference& ref = side == PictureSide::kFront ? sector->front : sector->back;
  const char* side_name = side == PictureSide::kFront ? "front" : "back";
  if (ref.empty) {
    io.err << "r7k picture: the sector has no " << side_name << " pattern\n";
    return std::nullopt;
  }
  SidePattern found = FindSidePattern(SourceText(ref.source), ref.index, ref.name, path);
  switch (found.status) {
    case SidePattern::Status::kFound: return std::move(found.record);
    case SidePattern::Status::kRomFree:
      io.err << "r7k picture: no built-in image has " << ref.name << " at index " << ref.index
             << '\n';
      break;
    case SidePattern::Status::kModuleUnreadable:
      io.err << "Cannot load module " << path << '\n';
      break;
    case SidePattern::Status::kModuleFree:
      io.err << "r7k picture: " << ref.name << " at index " << ref.index
             << ": Index points into free space or other entry, may be deleted\n";
      break;
  }
  return std::nullopt;
}

}  // namespace

std::string NotAPattern(const std::string& name) {
  switch (name.empty() ? '\0' : name[0]) {
    case 'S':
      return name + " is a sector, not a pattern: r7k picture MODULE " + name +
             " --side front|back -o FILE pictures its patterns";
    case 'T':
      return name + " is a technique, not a pattern: r7k picture MODULE " + name +
             " --grid front|back -o FILE pictures its cell grids";
    case '_':
      return name + " is a text record, not a pattern: r7k show MODULE " + name + " shows it";
  }
  return {};
}

std::optional<std::vector<uint8_t>> LoadNamedEntry(const std::string& path, const std::string& name,
                                                   CommandIo& io, std::string_view command) {
  const LoadedModule module = LoadVirtualModule(path);
  if (!module.ok()) {
    io.err << ModuleLoadMessage(module, path) << '\n';
    return std::nullopt;
  }
  // A valid entry wins over a deleted one of the same name.
  const auto& entries = module.directory.entries;
  auto entry = std::find_if(entries.begin(), entries.end(), [&](const DirectoryEntry& e) {
    return e.name == name && e.state != kEntryDeleted;
  });
  if (entry == entries.end()) {
    entry = std::find_if(entries.begin(), entries.end(),
                         [&](const DirectoryEntry& e) { return e.name == name; });
  }
  if (entry == entries.end()) {
    io.err << "r7k " << command << ": no entry " << name << " in " << path << '\n';
    return std::nullopt;
  }
  const auto bytes = EntityBytes(module.image, *entry);
  if (!bytes) {
    io.err << "r7k " << command << ": the addresses of " << name << " leave the module\n";
    return std::nullopt;
  }
  return std::vector<uint8_t>(bytes->begin(), bytes->end());
}

// Writes the picture as FILE.bmp or FILE.png, and with `png` a PNG beside a BMP.
bool WritePictureFiles(const std::filesystem::path& output, const StiPicture& picture, bool png,
                       CommandIo& io) {
  std::vector<std::filesystem::path> files = {output};
  if (png && EndsWith(output, ".bmp"))
    files.push_back(std::filesystem::path(output).replace_extension(".png"));
  for (const auto& file : files) {
    const StiWriteResult written = EndsWith(file, ".png") ? StiWritePng(file, picture.Block())
                                                          : StiWriteBmp(file, picture.Block());
    if (written != StiWriteResult::kOk) {
      io.err << "Cannot write file " << file.string() << '\n';
      return false;
    }
    io.out << file.string() << '\n';
  }
  return true;
}

int PictureCommand(std::span<const std::string> args, CommandIo& io) {
  ParsedArgs parsed;
  int status = kExitOk;
  if (!ParseCommandArgs(args, kUsage, io, parsed, status)) return status;
  const std::string& path = parsed.positional[0];
  const std::string& name = parsed.positional[1];
  const std::string output = parsed.Value("--output");
  if (output.empty()) {
    io.err << "r7k picture: missing -o FILE\nRun 'r7k picture --help' for usage.\n";
    return kExitUsage;
  }
  if (parsed.Has("--side") && parsed.Has("--grid")) {
    io.err << "r7k picture: --side is for a sector, --grid for a technique; give one\n";
    return kExitUsage;
  }
  PictureSide side = PictureSide::kFront;
  if (parsed.Has("--side") && !SideOption(parsed, "--side", side, io)) return kExitUsage;
  if (parsed.Has("--grid") && !SideOption(parsed, "--grid", side, io)) return kExitUsage;

  const std::filesystem::path inputs[] = {path};
  const std::filesystem::path png_output = std::filesystem::path(output).replace_extension(".png");
  for (const auto& file : {std::filesystem::path(output), png_output}) {
    if (const auto refused = RefuseOutput(file, inputs, parsed.Has("--yes"), "picture", io))
      return *refused;
    if (!parsed.Has("--png")) break;
  }
  if (!EndsWith(output, ".bmp") && !EndsWith(output, ".png")) {
    io.err << "r7k picture: " << output << ": name the picture FILE.bmp or FILE.png\n";
    return kExitUsage;
  }
  if (const std::string why = KindRefusal(name, parsed.Has("--side"), parsed.Has("--grid"));
      !why.empty()) {
    io.err << "r7k picture: " << why << '\n';
    return kExitUsage;
  }
  auto record = LoadNamedEntry(path, name, io, "picture");
  if (!record) return kExitFailure;
  if (parsed.Has("--side")) {
    record = SectorSideRecord(*record, side, path, io);
    if (!record) return kExitFailure;
  } else if (parsed.Has("--grid")) {
    // The technique views read at most the 201 bytes a technique record can have.
    const std::span<const uint8_t> technique(record->data(), std::min<size_t>(record->size(), 201));
    record = TechniqueGridRecord(technique, side);
    if (!record) {
      io.err << "r7k picture: the cell grids of " << name << " cannot be found\n";
      return kExitFailure;
    }
  }
  const auto picture = PatternRecordPicture(*record);
  if (!picture) {
    io.err << "Cannot load " << name << '\n';
    return kExitFailure;
  }
  return WritePictureFiles(output, *picture, parsed.Has("--png"), io) ? kExitOk : kExitFailure;
}

}  // namespace r7k::cli
