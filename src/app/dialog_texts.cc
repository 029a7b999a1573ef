#include "app/dialog_texts.h"

#include <string>

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

}  // namespace r7k
