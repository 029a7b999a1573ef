#include "platform/config_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <vector>

#include "platform/file_io.h"

namespace r7k {
namespace {

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (std::tolower(x) != std::tolower(y)) return false;
  }
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// One line of the text, without its line end.
struct Line {
  std::string_view text;
  size_t begin = 0;  // offset of the line in the whole text
  size_t end = 0;    // offset after its line end
};

std::vector<Line> Lines(std::string_view text) {
  std::vector<Line> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    size_t stop = nl == std::string_view::npos ? text.size() : nl;
    lines.push_back(
        {text.substr(pos, stop - pos), pos, nl == std::string_view::npos ? stop : nl + 1});
    pos = lines.back().end;
  }
  return lines;
}

// The section a line opens, if it is a "[Section]" line.
std::optional<std::string_view> SectionOf(std::string_view line) {
  line = Trim(line);
  if (line.size() < 2 || line.front() != '[') return std::nullopt;
  size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(1, close - 1));
}

// Key and value of a "Key=Value" line.
std::optional<std::pair<std::string_view, std::string_view>> EntryOf(std::string_view line) {
  std::string_view t = Trim(line);
  if (t.empty() || t.front() == ';' || t.front() == '#') return std::nullopt;
  size_t eq = t.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return std::pair{Trim(t.substr(0, eq)), Trim(t.substr(eq + 1))};
}

// The line of `key` in `section`; a key repeated in a section counts from its first line.
std::optional<Line> FindEntryLine(std::string_view text, std::string_view section,
                                  std::string_view key) {
  bool in_section = false;
  for (const Line& line : Lines(text)) {
    if (auto s = SectionOf(line.text)) {
      in_section = SameName(*s, section);
      continue;
    }
    if (!in_section) continue;
    if (auto e = EntryOf(line.text); e && SameName(e->first, key)) return line;
  }
  return std::nullopt;
}

}  // namespace

std::filesystem::path ProfilePath(std::string_view file) {
  return ConfigFolder() / std::string(file);
}

std::optional<std::string> IniGetValue(std::string_view text, std::string_view section,
                                       std::string_view key) {
  const auto line = FindEntryLine(text, section, key);
  if (!line) return std::nullopt;
  return std::string(EntryOf(line->text)->second);
}

std::string IniSetValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value) {
  const std::string entry = std::string(key) + "=" + std::string(value);
  const bool crlf = text.find("\r\n") != std::string_view::npos;
  const std::string eol = crlf ? "\r\n" : "\n";
  bool in_section = false;
  std::optional<size_t> section_end;  // where a new key of the section goes
  for (const Line& line : Lines(text)) {
    if (auto s = SectionOf(line.text)) {
      if (in_section) break;
      in_section = SameName(*s, section);
      if (in_section) section_end = line.end;
      continue;
    }
    if (!in_section) continue;
    if (auto e = EntryOf(line.text); e && SameName(e->first, key)) {
      std::string out(text.substr(0, line.begin));
      out += entry;
      out += text.substr(line.begin + line.text.size());
      return out;
    }
    if (!Trim(line.text).empty()) section_end = line.end;
  }
  std::string out(text);
  if (section_end) {
    std::string insert = entry + eol;
    // The section's last line may lack its line end at the end of the file.
    if (*section_end > 0 && text[*section_end - 1] != '\n') insert = eol + entry;
    out.insert(*section_end, insert);
    return out;
  }
  if (!out.empty() && out.back() != '\n') out += eol;
  out += "[" + std::string(section) + "]" + eol + entry + eol;
  return out;
}

std::string IniDeleteValue(std::string_view text, std::string_view section, std::string_view key) {
  const auto line = FindEntryLine(text, section, key);
  if (!line) return std::string(text);
  return std::string(text.substr(0, line->begin)) + std::string(text.substr(line->end));
}

namespace {

std::optional<std::string> ReadProfileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Rewrites the profile file with `change` applied to its text, atomically.
bool UpdateProfile(std::string_view file,
                   const std::function<std::string(std::string_view)>& change, std::string* error) {
  const std::filesystem::path path = ProfilePath(file);
  auto fail = [&](const std::string& why) {
    if (error) *error = "Cannot write " + path.string() + ": " + why;
    return false;
  };
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  if (ec) return fail(ec.message());
  const std::string text = ReadProfileText(path).value_or(std::string());
  const std::string updated = change(text);
  if (updated == text && std::filesystem::exists(path, ec)) return true;
  std::string why;
  if (!WriteFileAtomically(path, updated, &why)) return fail(why);
  return true;
}

}  // namespace

std::optional<std::string> ReadProfileValue(std::string_view file, std::string_view section,
                                            std::string_view key) {
  auto text = ReadProfileText(ProfilePath(file));
  if (!text) return std::nullopt;
  return IniGetValue(*text, section, key);
}

std::string GetProfileString(std::string_view file, std::string_view section, std::string_view key,
                             std::string_view fallback) {
  return ReadProfileValue(file, section, key).value_or(std::string(fallback));
}

bool HasControlCharacter(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

bool WriteProfileString(std::string_view file, std::string_view section, std::string_view key,
                        std::string_view value, std::string* error) {
  // One line per value: a line break would add lines, and keys, of its own.
  if (HasControlCharacter(section) || HasControlCharacter(key) || HasControlCharacter(value)) {
    if (error) *error = "a control character (such as a line break) cannot be saved";
    return false;
  }
  return UpdateProfile(
      file, [&](std::string_view text) { return IniSetValue(text, section, key, value); }, error);
}

bool DeleteProfileValue(std::string_view file, std::string_view section, std::string_view key,
                        std::string* error) {
  std::error_code ec;
  if (!std::filesystem::exists(ProfilePath(file), ec)) return true;  // nothing to delete
  return UpdateProfile(
      file, [&](std::string_view text) { return IniDeleteValue(text, section, key); }, error);
}

}  // namespace r7k
