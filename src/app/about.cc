#include "app/about.h"

#include "engine/dialog_engine.h"
#include "platform/os_version.h"
#include "support/build_info.h"

namespace r7k {

std::vector<std::pair<std::string, std::string>> AboutItems() {
  return {{"R7kProgVersion", ProgramVersion()},
          {"R7kProgCopyright", ProgramCopyright()},
          {"WinVer", DescribeOperatingSystem()}};
}

int CB_R7kProgVersion(FieldHandle field, int message, WParam wparam, LParam lparam) {
  if (message == kMsgDialogOpened) {
    StoreHandle store = DlgItemStore(field);
    for (const auto& [item, value] : AboutItems()) {
      if (value.empty())
        StoreDeleteItem(store, item);
      else
        StoreSetString(store, item, value);
    }
  }
  return DlgFieldDefaultProc(field, message, wparam, lparam);
}

}  // namespace r7k
