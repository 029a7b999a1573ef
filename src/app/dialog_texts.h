#pragma once

#include <span>

// The dialog definitions of the program (the files of src/app/dialogs), compiled in as text.
namespace r7k {

struct DialogText {
  const char* file;
  const char* text;
};

std::span<const DialogText> AppDialogTexts();

// Loads every definition into the dialog engine; an error text when one does not parse.
const char* LoadAppDialogs();

// A session of its own: forgets what an earlier one registered and loaded, registers the names
// `register_names` gives, then loads every definition (the error as LoadAppDialogs gives it).
const char* LoadAppDialogsAfresh(void (*register_names)());

}  // namespace r7k
