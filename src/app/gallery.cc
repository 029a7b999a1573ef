#include "app/gallery.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/entry_text.h"
#include "app/full_page.h"
#include "app/pattern_view.h"
#include "app/sectors.h"
#include "common/sti_bmp.h"
#include "common/sti_png.h"
#include "module/pattern.h"
#include "module/sector.h"
#include "module/text_records.h"
#include "platform/file_io.h"
#include "support/ascii.h"
#include "support/html_text.h"

namespace r7k {
namespace {

constexpr char kStyle[] =
    "body{font-family:Arial,Helvetica,sans-serif;margin:1em 2em}\n"
    "h2{border-bottom:1px solid #999}\n"
    ".cards{display:flex;flex-wrap:wrap;gap:12px;align-items:flex-end}\n"
    "figure{margin:0;padding:6px;border:1px solid #ccc;text-align:center}\n"
    "figure img{display:block;margin:0 auto 4px;max-width:420px;height:auto;"
    "image-rendering:pixelated}\n"
    "figcaption{font-size:small}\n"
    ".name{font-weight:bold;font-family:monospace;font-size:medium}\n"
    ".deleted{opacity:.55;filter:grayscale(1)}\n"
    "pre{background:#f4f4f4;padding:6px;overflow:auto}\n";

// Pictures whose longer side is shorter are shown up to four times their size.
constexpr uint32_t kSmallestShown = 128;

// A name as ls shows it (any byte a damaged directory holds is escaped), for the page.
std::string ShownName(const std::string& name) { return HtmlText(PrintableText(name)); }

// A path part inside a relative address: every byte but the unreserved ones percent-coded.
std::string UrlPart(std::string_view text) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) || c == '-' || c == '.' || c == '_' || c == '~') {
      out += c;
    } else {
      out += {'%', kDigits[byte >> 4], kDigits[byte & 0xF]};
    }
  }
  return out;
}

// "012-P3000.png": the entry's index keeps two entries of one name apart, and the name's
// bytes that do not belong in a file name become "_".
std::string PictureName(const DirectoryEntry& e) {
  char index[24];
  std::snprintf(index, sizeof index, "%03zu-", e.index);
  std::string name = index;
  for (const char c : e.name)
    name += std::isalnum(static_cast<unsigned char>(c)) || c == '_' ? c : '_';
  return name + ".png";
}

std::string Plural(size_t count, const char* one, const char* many) {
  return std::to_string(count) + ' ' + (count == 1 ? one : many);
}

std::string Anchor(const DirectoryEntry& e) { return "e" + std::to_string(e.index); }

bool IsPattern(const DirectoryEntry& e) { return e.name.starts_with('P'); }

// The state of an entry that is neither valid nor deleted ("WOp" and others).
std::string StateNote(const DirectoryEntry& e) {
  if (e.state == kEntryValid || e.state == kEntryDeleted) return {};
  char text[24];
  std::snprintf(text, sizeof text, " (state %02X)", e.state);
  return text;
}

struct Shown {
  const DirectoryEntry* entry = nullptr;
  std::optional<std::span<const uint8_t>> bytes;
  std::string picture;  // the PNG's name in the picture folder, when it was written
  unsigned width = 0, height = 0, stitches = 0, rows = 0, colours = 0;
  std::optional<std::string> text;  // the entry's words, when it has a view
};

void AppendCard(const Shown& s, const std::string& folder_url, std::string& out) {
  const DirectoryEntry& e = *s.entry;
  out += "<figure id=\"" + Anchor(e) + "\" class=\"entry pattern\">";
  if (!s.picture.empty()) {
    out += "<img src=\"" + folder_url + '/' + UrlPart(s.picture) + "\" width=\"" +
           std::to_string(s.width) + "\" height=\"" + std::to_string(s.height) + "\" alt=\"" +
           ShownName(e.name) + "\">";
  }
  out += "<figcaption><span class=\"name\">" + ShownName(e.name) + "</span>";
  out += StateNote(e);
  if (!s.picture.empty()) {
    out += "<br>" + std::to_string(s.stitches) + " &times; " + std::to_string(s.rows) +
           " stitches &times; rows<br>" + Plural(s.colours, "colour", "colours");
  } else {
    out += "<br>cannot be pictured";
  }
  out += "</figcaption></figure>\n";
}

// A sector's pattern: a link to its picture when it is an entry of this module.
std::string SidePattern(const PatternReference& ref, const LoadedModule& module) {
  if (ref.empty) return "none";
  const std::string name = ShownName(ref.name);
  if (ref.source == kSourceRom) return name + " (ROM)";
  if (ref.source != kSourceModule) return name + " (" + HtmlText(SourceText(ref.source)) + ")";
  // Only a module's own directory (at 0x10000) numbers the cards the index names.
  if (module.directory.base == kModuleDirectoryBase && ref.name.starts_with('P') &&
      FindReferencedEntry(module.image, kModuleDirectoryBase, ref.index, ref.name))
    return "<a href=\"#e" + std::to_string(ref.index) + "\">" + name + "</a>";
  return name + " (not in this module at entry " + std::to_string(ref.index) + ")";
}

std::string Summary(const Shown& s, const LoadedModule& module) {
  if (!s.bytes) return "its addresses leave the module";
  std::string text = Plural(s.bytes->size(), "byte", "bytes");
  if (s.entry->name.starts_with('S')) {
    if (const auto sector = ReadSectorRecord(*s.bytes))
      text += ", front " + SidePattern(sector->front, module) + ", back " +
              SidePattern(sector->back, module);
  }
  return text;
}

void AppendListItem(const Shown& s, const LoadedModule& module, std::string& out) {
  const DirectoryEntry& e = *s.entry;
  out += "<li class=\"entry\">";
  if (s.text)
    out += "<a class=\"name\" href=\"#text-" + Anchor(e) + "\">" + ShownName(e.name) + "</a>";
  else
    out += "<span class=\"name\">" + ShownName(e.name) + "</span>";
  out += StateNote(e) + " &ndash; " + Summary(s, module);
  if (!s.text && s.bytes) out += e.name.starts_with('S') ? ", cannot be shown" : ", no view";
  out += "</li>\n";
}

// One section of entries: pattern cards, then the others as a list under their kind.
void AppendEntries(const std::vector<const Shown*>& entries, const LoadedModule& module,
                   const std::string& folder_url, bool deleted, std::string& out) {
  std::vector<const Shown*> cards, others;
  for (const Shown* s : entries) (IsPattern(*s->entry) ? cards : others).push_back(s);
  if (!cards.empty()) {
    if (!deleted) out += "<h2 id=\"patterns\">Patterns</h2>\n";
    out += "<div class=\"cards\">\n";
    for (const Shown* s : cards) AppendCard(*s, folder_url, out);
    out += "</div>\n";
  }
  static constexpr std::pair<char, const char*> kKinds[] = {
      {'T', "Techniques"}, {'S', "Sectors"}, {'_', "Text records"}, {'\0', "Other entries"}};
  for (const auto& [kind, title] : kKinds) {
    std::string items;
    for (const Shown* s : others) {
      const char first = s->entry->name.empty() ? '\0' : s->entry->name[0];
      const bool known = first == 'T' || first == 'S' || first == '_';
      if (kind == first || (kind == '\0' && !known)) AppendListItem(*s, module, items);
    }
    if (items.empty()) continue;
    out += std::string(deleted ? "<h3>" : "<h2>") + title + (deleted ? "</h3>\n" : "</h2>\n");
    out += "<ul>\n" + items + "</ul>\n";
  }
}

}  // namespace

GalleryFiles GalleryPaths(const std::string& module_path, const std::filesystem::path& folder) {
  const std::string stem = std::filesystem::path(module_path).stem().string() + "-gallery";
  GalleryFiles files;
  files.page = folder / (stem + ".htm");
  files.pictures = folder / stem;
  return files;
}

GalleryResult WriteGallery(const std::string& module_path, const LoadedModule& module,
                           const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  GalleryResult result;
  GalleryFiles files = GalleryPaths(module_path, folder);
  std::vector<Shown> shown;
  for (const DirectoryEntry& e : module.directory.entries) {
    Shown s;
    s.entry = &e;
    s.bytes = EntityBytes(module.image, e);
    if (IsPattern(e) && s.bytes) s.picture = PictureName(e);
    shown.push_back(std::move(s));
  }
  // Every file is checked before the first is written.
  const fs::path inputs[] = {module_path};
  std::vector<fs::path> outputs = {files.page};
  for (const Shown& s : shown)
    if (!s.picture.empty()) outputs.push_back(files.pictures / s.picture);
  for (const fs::path& output : outputs) {
    if ((result.refusal = CheckOutputPath(output, inputs, false))) return result;
  }
  std::error_code ec;
  fs::create_directories(files.pictures, ec);
  if (ec || !fs::is_directory(files.pictures, ec)) {
    result.error = "Cannot make the folder " + files.pictures.string();
    return result;
  }

  for (Shown& s : shown) {
    if (s.bytes && (s.entry->name.starts_with('T') || s.entry->name.starts_with('S') ||
                    s.entry->name.starts_with('_')))
      s.text = EntryText(s.entry->name, *s.bytes);
    if (s.picture.empty()) continue;
    const auto picture = PatternRecordPicture(*s.bytes);
    if (!picture) {
      s.picture.clear();
      continue;
    }
    if (StiWritePng(files.pictures / s.picture, picture->Block()) != StiWriteResult::kOk) {
      result.error = "Cannot write file " + (files.pictures / s.picture).string();
      return result;
    }
    s.stitches = picture->Stitches();
    s.rows = picture->Rows();
    // Small pictures are shown larger, whole pixels each, so that every card can be seen.
    const uint32_t cell = StiCellSize(s.rows, s.stitches);
    const uint32_t longest = std::max(s.stitches, s.rows) * cell;
    const uint32_t zoom =
        std::clamp<uint32_t>(kSmallestShown / std::max<uint32_t>(longest, 1), 1, 4);
    s.width = s.stitches * cell * zoom;
    s.height = s.rows * cell * zoom;
    s.colours = (*s.bytes)[0];
  }

  std::vector<const Shown*> valid, other;
  for (const Shown& s : shown) (s.entry->state == kEntryValid ? valid : other).push_back(&s);
  for (const Shown* s : valid) {
    if (!IsPattern(*s->entry)) continue;
    ++files.patterns;
    files.pictured += !s->picture.empty();
  }
  const std::string title = fs::path(module_path).filename().string();
  const std::string folder_url = UrlPart(files.pictures.filename().string());
  std::string page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
  page +=
      "<title>" + HtmlText(title) + "</title>\n<style>\n" + kStyle + "</style>\n</head>\n<body>\n";
  page += "<h1>" + HtmlText(title) + "</h1>\n";
  page += "<p>" + HtmlText(module_path) + ": " +
          Plural(valid.size(), "valid entry", "valid entries") + ", " +
          Plural(files.patterns, "pattern", "patterns") + "; " +
          Plural(other.size(), "entry", "entries") + " not valid</p>\n";
  AppendEntries(valid, module, folder_url, false, page);
  if (!other.empty()) {
    page += "<section class=\"deleted\">\n<h2 id=\"deleted\">Deleted entries</h2>\n";
    AppendEntries(other, module, folder_url, true, page);
    page += "</section>\n";
  }
  bool texts = false;
  for (const Shown& s : shown) {
    if (!s.text) continue;
    if (!texts) page += "<h2 id=\"texts\">Texts</h2>\n";
    texts = true;
    page += "<section id=\"text-" + Anchor(*s.entry) + "\"" +
            (s.entry->state == kEntryValid ? "" : " class=\"deleted\"") + "><h3>" +
            ShownName(s.entry->name) + "</h3>\n<pre>" + HtmlText(*s.text) + "</pre></section>\n";
  }
  page += "</body>\n</html>\n";
  if (!WriteFileAtomically(files.page, std::string_view(page))) {
    result.error = "Cannot write file " + files.page.string();
    return result;
  }
  result.files = std::move(files);
  return result;
}

int DP_Gallery(WindowHandle owner, int, int, StoreHandle, StoreHandle app) {
  const std::string path = StoreGetString(app, "CurrentVirtualModule").value_or("");
  const LoadedModule module = LoadVirtualModule(path);
  if (!module.ok()) {
    DlgMessage(owner, kMbIconStop, kGalleryCaption, ModuleLoadMessage(module, path));
    return 2;
  }
  const std::filesystem::path folder = PictureFolder();
  if (folder.empty()) {
    DlgMessage(owner, kMbIconStop, kGalleryCaption, "There is no private folder for the page");
    return 2;
  }
  const GalleryResult result = WriteGallery(path, module, folder);
  if (!result.files) {
    DlgMessage(owner, kMbIconStop, kGalleryCaption,
               result.refusal ? "Cannot write the gallery: " + result.refusal->text : result.error);
    return 2;
  }
  StoreSetString(app, "_Status", "Gallery " + result.files->page.string());
  OpenPageInBrowser(result.files->page);
  return 1;
}

}  // namespace r7k
