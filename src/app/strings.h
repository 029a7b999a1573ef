#pragma once

// The program's string table and the message functions that take its ids.

#include <cstdarg>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dialog_engine.h"

namespace r7k {

// Captions.
enum StringId : int {
  kStrProgram = 1,  // "Vardex R7000 Programmer"
  kStrEraseModule = 2,
  kStrModuleInfo = 3,
  kStrReadModule = 4,
  kStrWriteModule = 5,
  kStrNoModule = 100,
  kStrNotSupported = 101,
  kStrFileSize = 102,
  kStrAreYouSure = 103,
  kStrLinkTimeout = 105,
  kStrCommandMismatch = 106,
  kStrNoMemoryForCommand = 107,
  kStrMissingCommandTable = 108,
  kStrOperationCompleted = 109,
  kStrNoCard = 110,
  kStrTooManyRetries = 111,  // format: the command, the number of tries
  kStrStoppedBeforeErase = 112,
  kStrStoppedWrite = 113,
  kStrStoppedReadBack = 114,
  kStrNotReadBack = 115,
  kStrDeviceNotResponding = 206,
  kStrTimedOut = 207,
  kStrModuleLoadCaption = 3010,
  kStrFileExists = 3011,  // format: the file name
  kStrCreateThreadFailed = 205,
  kStrPrinting = 3009,
  kStrLoadNoConversion = 3008,   // format: the path
  kStrLoadNotFound = 3012,       // format: the path
  kStrLoadIncorrectSize = 3013,  // format: the path
  kStrLoadCorrupted = 3014,      // format: the path
  kStrSelectModuleTitle = 3071,
};

// The entry of `id`, or nullopt when the table has none.
std::optional<std::string_view> FindAppString(int id);
// The entry of `id`, empty when the table has none.
std::string AppString(int id);
// Every id of the table, ascending (tests walk them).
std::vector<int> AppStringIds();

// A text given by its string-table id or literally; an id without an entry stands for no
// text. Id 0 is the empty text.
class TextRef {
 public:
  TextRef(int id) : id_(id) {}                            // NOLINT: ids are the common case
  TextRef(const char* text) : text_(text ? text : "") {}  // NOLINT
  TextRef(std::string_view text) : text_(text) {}         // NOLINT
  std::string Resolve() const;

 private:
  int id_ = 0;
  std::optional<std::string> text_;
};

// Shows caption and text through DlgMessage; returns the pressed button.
int DlgMessageEx(WindowHandle window, int type, TextRef caption, TextRef text);
// The four texts joined (an id 0 gives an empty text).
int DlgMessageEx4(WindowHandle window, int type, TextRef caption, TextRef text1, TextRef text2,
                  TextRef text3, TextRef text4);
// Caption and printf format from the table, formatted with the values.
int DlgMessageFmtEx(WindowHandle window, int type, TextRef caption, int format_id, ...);
// Runs `dialog "text1" "text2" "text3" "text4"` on the store (the texts fill %1 to %4 of the
// dialog's caption) and returns the dialog's result.
int DlgFieldText(WindowHandle window, std::string_view dialog, TextRef text1, TextRef text2,
                 std::string_view text3, std::string_view text4, StoreHandle store);

}  // namespace r7k
