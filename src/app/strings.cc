#include "app/strings.h"

#include <algorithm>
#include <array>
#include <utility>

#include "link/link_message_box.h"

namespace r7k {
namespace {

// The link shares caption 1 and its texts 201 to 204; those come from LinkString.
constexpr std::array<std::pair<int, std::string_view>, 33> kStrings = {{
    {2, "Erase Module"},
    {3, "Module Informatiuon"},
    {4, "Read Module"},
    {5, "Write Module"},
    {100, "No Module recognised"},
    {101, "Module not supported by the R7kProg firmware."},
    {102, "Incompatilbel filesize"},
    {103, "Are you sure?"},
    {105, "R7P Timeout!!!!"},
    {106, "Command mismatch!"},
    {107, "Cannot get memory for command!"},
    {108, "Missing command table!"},
    {109, "Module operation completed."},
    {110, "No card in reader."},
    {111,
     "The box gave no proper answer to \"%s\" %u times in a row; the operation was "
     "stopped."},
    {112, "Stopped before the module was erased: the module in the box is unchanged."},
    {113,
     "Stopped: the module in the box is now erased or partly written. Write it again "
     "before you use it."},
    {114,
     "Stopped while the module was read back: it is written, but was not compared with "
     "the file."},
    {115, "Verify failed: the module was not read back."},
    {205, "Create Thread failed!"},
    {206, "Device not responding!"},
    {207, "The communication process timed out."},
    {3004, "Browse"},
    {3005, "No Virtual Module selected"},
    {3006, "Pattern Load"},
    {3008, "Cannot load file %s; no conversion"},
    {3009, "Printing..."},
    {3010, "Memory Module load"},
    {3011, "File %s exists; continue?"},
    {3012, "Cannot load file %s, not found"},
    {3013, "Cannot load file %s, incorrect filesize"},
    {3014,
     "Cannot Load file %s, directory corrupted, please defragment the Memory Module with "
     "the R7000 console."},
    {3071, "Select Virtual Memory Module folder & file"},
}};

constexpr int kLinkIds[] = {1, 201, 202, 203, 204};

}  // namespace

std::optional<std::string_view> FindAppString(int id) {
  for (const auto& [key, text] : kStrings)
    if (key == id) return text;
  if (std::find(std::begin(kLinkIds), std::end(kLinkIds), id) != std::end(kLinkIds))
    return LinkString(id);
  return std::nullopt;
}

std::string AppString(int id) { return std::string(FindAppString(id).value_or("")); }

std::vector<int> AppStringIds() {
  std::vector<int> ids(std::begin(kLinkIds), std::end(kLinkIds));
  for (const auto& entry : kStrings) ids.push_back(entry.first);
  std::sort(ids.begin(), ids.end());
  return ids;
}

std::string TextRef::Resolve() const { return text_ ? *text_ : AppString(id_); }

int DlgMessageEx(WindowHandle window, int type, TextRef caption, TextRef text) {
  return DlgMessage(window, type, caption.Resolve(), text.Resolve());
}

int DlgMessageEx4(WindowHandle window, int type, TextRef caption, TextRef text1, TextRef text2,
                  TextRef text3, TextRef text4) {
  return DlgMessage(window, type, caption.Resolve(),
                    text1.Resolve() + text2.Resolve() + text3.Resolve() + text4.Resolve());
}

int DlgMessageFmtEx(WindowHandle window, int type, TextRef caption, int format_id, ...) {
  const std::string c = caption.Resolve();
  const std::string f = AppString(format_id);
  va_list values;
  va_start(values, format_id);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  const int result = DlgMessageVFmt(window, type, c.c_str(), f.c_str(), values);
#pragma GCC diagnostic pop
  va_end(values);
  return result;
}

int DlgFieldText(WindowHandle window, std::string_view dialog, TextRef text1, TextRef text2,
                 std::string_view text3, std::string_view text4, StoreHandle store) {
  std::string spec(dialog);
  for (const std::string& t :
       {text1.Resolve(), text2.Resolve(), std::string(text3), std::string(text4)})
    spec += " \"" + t + "\"";
  return DlgRunDialog(window, spec, nullptr, store);
}

}  // namespace r7k
