#include "app/text_records_view.h"

#include <algorithm>

#include "app/directory_view.h"
#include "app/entry_text.h"
#include "module/text_records.h"

namespace r7k {

int DP_TextInfo(WindowHandle owner, int, int, StoreHandle main_store, StoreHandle app) {
  const CurrentEntry entry = ReadCurrentEntry(app);
  const std::string name = entry.name.substr(0, 7);
  if (!HasTextRecordView(name)) return 1;
  const auto bytes =
      ReadModuleBytes(app, entry.start, std::clamp<int64_t>(entry.size, 0, kTextRecordViewBytes));
  std::optional<std::string> text;
  if (bytes) text = TextRecordText(name, *bytes);
  StoreSetString(app, "textData",
                 text.value_or("Cannot read " + name + " from " + entry.module + "\r\n"));
  DlgRunDialog(owner, "Text " + name, main_store, app);
  return 1;
}

}  // namespace r7k
