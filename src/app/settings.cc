#include "app/settings.h"

#include "app/module_verify.h"

namespace r7k {

const SettingValue kSettingValues[5] = {
    {"Port1", "Port1"},     {"ModuleFile", "CurrentVirtualModule"},
    {"Palette", "Palette"}, {"ShowPrintDialog", "ShowPrintDialog"},
    {"Verify", "Verify"},
};

void ReadSettings(StoreHandle app_store) {
  for (const SettingValue& s : kSettingValues)
    if (auto text = RegistryGetString(kSettingsKey, s.value))
      StoreSetString(app_store, s.item, *text);
  // Reads and writes are verified unless the user turned it off.
  if (StoreGetType(app_store, "Verify") == kItemNone) StoreSetString(app_store, "Verify", "1");
}

bool WriteSettings(StoreHandle app_store, std::string* error) {
  bool ok = true;
  for (const SettingValue& s : kSettingValues) {
    if (std::string_view(s.value) == "ShowPrintDialog" || std::string_view(s.value) == "Verify")
      continue;
    ok = RegistrySetString(kSettingsKey, s.value, StoreGetString(app_store, s.item).value_or(""),
                           error) &&
         ok;
  }
  // A string item "1" reads as 1, so both forms the dialog leaves count.
  ok = RegistrySetString(kSettingsKey, "Verify", VerifyWanted(app_store) ? "1" : "0", error) && ok;
  const bool print_dialog = StoreGetNumeric(app_store, "ShowPrintDialog") != 0;
  ok = RegistrySetString(kSettingsKey, "ShowPrintDialog", print_dialog ? "1" : "0", error) && ok;
  ok = (print_dialog ? RegistrySetString(kPagecastKey, kFlagsValue, kFlagsPrintDialog, error)
                     : RegistryDeleteValue(kPagecastKey, kFlagsValue, error)) &&
       ok;
  return ok;
}

}  // namespace r7k
