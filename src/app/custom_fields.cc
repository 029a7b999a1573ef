#include "app/custom_fields.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>

#include "app/builtin_pictures.h"
#include "app/configuration.h"
#include "platform/file_io.h"
#include "support/ascii.h"

namespace r7k {
namespace {

constexpr std::size_t kMaxPictureFile = 64 * 1024 * 1024;

// The item a field shows, as text ("" when there is none).
std::string ItemText(FieldHandle field) {
  char tag[256] = "";
  if (!DlgGetProperty(field, kThisField, kAttrTag, tag, sizeof tag) || !*tag) return {};
  if (auto text = StoreGetString(DlgItemStore(field), tag)) return *text;
  if (auto text = StoreGetString(DlgMainStore(field), tag)) return *text;
  return {};
}

// --- BitmapFld ---------------------------------------------------------------------------------

struct BitmapState {
  std::string file;  // the file name of the picture shown, empty when not from a file
  std::optional<DibImage> image;
};
std::map<FieldHandle, BitmapState> g_bitmaps;

void ShowBitmap(FieldHandle field) {
  const BitmapState& s = g_bitmaps[field];
  DlgShowFieldPicture(
      field, s.image ? ToFieldPicture(*s.image, FieldPicture::Fit::kStretch) : FieldPicture{});
}

// The file name a value names: "_table TAG" is the first column of the selected row of the
// dialog's field TAG; nullopt when there is no such field.
std::optional<std::string> FileOfValue(FieldHandle field, const std::string& value) {
  if (value.size() < 6 || !EqualsIgnoringCase(std::string_view(value).substr(0, 6), "_table"))
    return value;
  const std::string tag =
      value.size() > 7 ? std::string(TrimBlanks(std::string_view(value).substr(7))) : std::string();
  const int index = DlgIndexFromTag(field, tag);
  if (index < 0) return std::nullopt;
  const int row = DlgTableGetSelection(field, index);
  if (row < 0) return std::string();
  char cell[256] = "";
  DlgTableGetField(field, index, row, 0, cell, sizeof cell);
  return std::string(cell);
}

// --- PictureFld --------------------------------------------------------------------------------

struct PictureState {
  std::optional<std::size_t> content;  // hash of the bytes of the file last loaded
  std::string path;
  FieldPicture picture;
};
std::map<FieldHandle, PictureState> g_pictures;

void LoadPicture(FieldHandle field, std::string value) {
  PictureState& s = g_pictures[field];
  std::error_code ec;
  if (std::filesystem::is_regular_file(value, ec)) {
    // The views rewrite their picture files under the same names, at times within the file
    // system's time resolution: the bytes tell whether the picture shown is current.
    const auto bytes = ReadFileBytes(value, kMaxPictureFile);
    if (!bytes) return;
    const std::size_t content = std::hash<std::string_view>{}(
        std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    if (s.content == content && s.path == value) return;  // current
    s.content = content;
    s.path = value;
    const auto image = DibReadBytes(*bytes);
    // A file the decoder cannot read leaves no picture: the old one is gone already.
    s.picture = image ? ToFieldPicture(*image, FieldPicture::Fit::kNatural) : FieldPicture{};
  } else {
    if (value.starts_with("=")) value.erase(0, 1);
    const auto image = BuiltinPicture(value);
    if (!image) return;  // neither a file nor a picture of ours: the picture shown stays
    s.content.reset();
    s.path.clear();
    s.picture = ToFieldPicture(*image, FieldPicture::Fit::kNatural);
  }
  DlgShowFieldPicture(field, s.picture);
}

// --- CB_Color ----------------------------------------------------------------------------------

std::map<FieldHandle, uint32_t> g_colours;  // Windows colour values: red + 256 green + 65536 blue

void ShowColour(FieldHandle field) {
  const uint32_t c = g_colours.count(field) ? g_colours[field] : 0xFFFFFF;
  FieldPicture p;
  p.fit = FieldPicture::Fit::kColour;
  p.colour = ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
  DlgShowFieldPicture(field, p);
}

bool ColourItemExists(FieldHandle field) {
  char tag[8] = "";  // the item name, at most 7 characters
  DlgGetProperty(field, kThisField, kAttrTag, tag, sizeof tag);
  return *tag && StoreGetType(DlgItemStore(field), tag) != kItemNone;
}

}  // namespace

FieldPicture ToFieldPicture(const DibImage& image, FieldPicture::Fit fit) {
  FieldPicture p;
  p.fit = fit;
  p.width = static_cast<int>(image.width);
  p.height = static_cast<int>(image.height);
  p.pixels.reserve(image.pixels.size());
  for (const DibRgb& c : image.pixels)
    p.pixels.push_back((uint32_t{c.red} << 16) | (uint32_t{c.green} << 8) | c.blue);
  return p;
}

std::optional<DibImage> LoadButtonPicture(const std::string& name) {
  if (name.empty()) return std::nullopt;
  std::error_code ec;
  std::vector<std::filesystem::path> candidates = {name};
  if (std::filesystem::path(name).is_relative())
    for (const auto& folder : DataFolders()) candidates.push_back(folder / name);
  for (const auto& path : candidates)
    if (std::filesystem::is_regular_file(path, ec)) return BitmapFromFile(path);
  // The program's own picture of that name (the help and full-pattern symbols).
  return BuiltinPicture(name);
}

int BitmapFld(FieldHandle field, int message, WParam wparam, LParam lparam) {
  switch (message) {
    case kMsgFieldCreated: {
      char text[128] = "";
      DlgGetProperty(field, kThisField, kAttrCallback, text, sizeof text);
      std::istringstream split(text);
      std::vector<std::string> words;
      for (std::string word; split >> word;) words.push_back(word);
      BitmapState& s = g_bitmaps[field];
      s = BitmapState{};
      if (words.size() >= 2) {
        s.file = words[1].substr(0, 255);
        s.image = LoadButtonPicture(s.file);
      }
      if (!s.image) return 1;  // an empty field
      return DlgFieldDefaultProc(field, message, wparam, lparam);
    }
    case kMsgFieldDestroyed:
      g_bitmaps.erase(field);
      return DlgFieldDefaultProc(field, message, wparam, lparam);
    case kMsgRepaintState:
    case kMsgRepaintShown: {
      const int r = DlgFieldDefaultProc(field, message, wparam, lparam);
      ShowBitmap(field);
      return r;
    }
    case kMsgValueShown: {
      const std::string value = ItemText(field);
      if (value.empty()) return 0;
      const auto file = FileOfValue(field, value);
      if (!file) return 0;
      BitmapState& s = g_bitmaps[field];
      auto image = file->empty() ? std::nullopt : LoadButtonPicture(*file);
      if (!image) {
        s.file.clear();  // no picture of number 115 here: the previous picture stays
        return 0;
      }
      s.file = file->substr(0, 255);
      s.image = std::move(image);
      ShowBitmap(field);
      return 0;
    }
    case kMsgGetText: {
      const std::string& name = g_bitmaps[field].file;
      if (wparam == 0) return static_cast<int>(name.size());
      auto* out = reinterpret_cast<char*>(lparam);
      const std::size_t n = std::min<std::size_t>(name.size() + 1, wparam);
      std::memcpy(out, name.c_str(), n);  // a name of `wparam` characters or more: no zero
      return static_cast<int>(std::min<std::size_t>(name.size(), wparam));
    }
    default: return DlgFieldDefaultProc(field, message, wparam, lparam);
  }
}

int PictureFld(FieldHandle field, int message, WParam wparam, LParam lparam) {
  switch (message) {
    case kMsgFieldCreated:
      // Its file is rewritten under the same name ("&<", "&>"): look at it at every refresh.
      DlgShowOnEveryRefresh(field);
      return DlgFieldDefaultProc(field, message, wparam, lparam);
    case kMsgFieldDestroyed:
      g_pictures.erase(field);
      return DlgFieldDefaultProc(field, message, wparam, lparam);
    case kMsgRepaintShown: {
      const int r = DlgFieldDefaultProc(field, message, wparam, lparam);
      DlgShowFieldPicture(field, g_pictures[field].picture);
      return r;
    }
    case kMsgValueShown: {
      const std::string value = ItemText(field);
      LoadPicture(field, value.empty() ? "no_file" : value);
      return 0;
    }
    default: return DlgFieldDefaultProc(field, message, wparam, lparam);
  }
}

int CB_Color(FieldHandle field, int message, WParam wparam, LParam lparam) {
  switch (message) {
    case kMsgFieldDestroyed:
      g_colours.erase(field);
      return DlgFieldDefaultProc(field, message, wparam, lparam);
    case kMsgDialogOpened:
      if (!g_colours.count(field)) g_colours[field] = 0xFFFFFF;
      if (!ColourItemExists(field)) DlgSetAccess(field, kThisField, kAccessReadOnly);
      return DlgFieldDefaultProc(field, message, wparam, lparam);
    case kMsgRepaintState:
    case kMsgRepaintShown: {
      const int r = DlgFieldDefaultProc(field, message, wparam, lparam);
      ShowColour(field);
      return r;
    }
    case kMsgValidate: return ColourItemExists(field) ? 16394 : 8202;
    case kMsgValueChanged: {
      char tag[8] = "";
      DlgGetProperty(field, kThisField, kAttrTag, tag, sizeof tag);
      g_colours[field] = static_cast<uint32_t>(StoreGetNumeric(DlgItemStore(field), tag));
      ShowColour(field);
      return 10;
    }
    case kMsgValueShown: {
      // A swatch whose item is gone (a pattern of fewer colours) shows white, not the colour
      // of the pattern before.
      g_colours[field] = ColourItemExists(field)
                             ? static_cast<uint32_t>(std::atol(ItemText(field).c_str()))
                             : 0xFFFFFF;
      ShowColour(field);
      return 0;
    }
    default: return DlgFieldDefaultProc(field, message, wparam, lparam);
  }
}

void RegisterCustomFields() {
  static const CallbackEntry kEntries[] = {
      {"BitmapFld", BitmapFld}, {"PictureFld", PictureFld}, {"CB_Color", CB_Color}};
  RegisterCallbacks(kEntries);
}

}  // namespace r7k
