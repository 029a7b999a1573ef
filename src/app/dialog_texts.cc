#include "app/dialog_texts.h"

#include <string>

#include "engine/callbacks.h"
#include "engine/dialog_engine.h"

namespace r7k {

const char* LoadAppDialogs() {
  static std::string error;
  for (const DialogText& d : AppDialogTexts()) {
    if (auto e = DlgLoadDefinitions(d.text, d.file)) {
      error = *e;
      return error.c_str();
    }
  }
  return nullptr;
}

const char* LoadAppDialogsAfresh(void (*register_names)()) {
  ClearRegistrations();
  register_names();
  DlgClearDefinitions();
  return LoadAppDialogs();
}

}  // namespace r7k
