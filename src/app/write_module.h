#pragma once

// Writing a virtual module into the module in the box ("Download") and erasing it: the
// data to write, the check of the erase answer and the callbacks; the commands themselves are
// built in write_commands.h.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "app/module_ops.h"
#include "app/strings.h"
#include "app/write_commands.h"
#include "engine/dialog_engine.h"
#include "store/table.h"
#include "support/pool_heap.h"

namespace r7k {

// A message for the user: its text and style.
struct WriteMessage {
  TextRef text = 0;
  int style = kMbIconStop;
};

// What the erase answer tells the user: nothing when its last word (before the line end and
// prompt) is "ok" in any letter case; "Severe failure!" (information) when it has no space at
// all; else the answer itself, without its line end and prompt (exclamation).
std::optional<WriteMessage> EraseAnswerMessage(std::string_view answer);

// The module data to write, as the starting callback hands it on: the file's bytes, padded
// with 0xFF to WriteBufferLength(size).
struct WriteData {
  PoolBuffer buffer;
  uint32_t size = 0;  // "CardSize": the bytes of the source
};

// Reads a virtual module file for writing (refusals go under the caption "Write Module").
// Refuses a file that cannot be opened ("No file
// Card.Out!"), an empty one or one over 524,288 bytes (text 102), and a buffer that cannot be
// had ("Cannot get memory for card data!").
std::optional<WriteData> LoadWriteFile(const std::string& path, WriteMessage* refusal);
// The same for bytes already in memory (the image of the last read).
std::optional<WriteData> LoadWriteBytes(std::span<const uint8_t> bytes, WriteMessage* refusal);

// Whether the box can write and erase a module of this "Type" (any letter case).
bool WriteTypeSupported(std::string_view type);

// The stepping of the write and the erase ("hWriteModule", "hCardWrite").
extern const ModuleOp kWriteModuleOp;

// "Download": checks the module, reads the current virtual module and writes it. A file that
// does not load as a virtual module is refused unless the numeric item "ForceWrite" is set.
int CB_WriteModule(FieldHandle field, int message, WParam wparam, LParam lparam);
// The handler field of a write or an erase.
int CB_hWriteModule(FieldHandle field, int message, WParam wparam, LParam lparam);
// Erases the module after asking; reports to the dialog's handler field "hCardWrite".
int CB_Erase(FieldHandle field, int message, WParam wparam, LParam lparam);

}  // namespace r7k
