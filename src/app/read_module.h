#pragma once

// Reading the module in the box into a virtual module file ("Upload"): after a module check,
// 8 block rows of 256 reads of 256 bytes each fill a 524,288-byte image, which CardAnalyse
// writes as the current virtual module.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "app/module_ops.h"
#include "engine/callbacks.h"

namespace r7k {

extern const ModuleOp kReadOp;

inline constexpr std::size_t kReadPieceBytes = 256;
inline constexpr std::size_t kBinaryReadAnswerSize = 275;  // echo 16, data 256, "\r\n?"
inline constexpr std::size_t kTextReadAnswerSize = 573;    // data lines from 28, "?" at 572

// The read command prefix the box's revision and width ask for: "b16" for a 16-bit box,
// "bin" from revision 2 on, else "" (text reads).
std::string ReadCommandPrefix(int64_t revision, bool sixteen_bit);
// "led green", the eight block rows "<prefix>read K 00 00" × 256, "led off"; the caller frees
// it with TableFree.
TableHandle BuildReadTable(std::string_view prefix);

// The 256 module bytes of a read answer (echo first, prompt last), or nullopt when its frame
// is broken: the prompt must stand at offset 274 of a binary answer and at 572 of a text one.
std::optional<std::array<uint8_t, kReadPieceBytes>> DecodeReadAnswer(std::string_view answer,
                                                                     bool binary);

// The file a read goes to: the current virtual module when its name ends in ".r7v" (any case),
// else "module.r7v" in its folder, else "module.r7v" in the working folder.
std::string ModuleFileFor(std::string_view current);

// "Upload". With "Verify" (module_verify.h) the module is read a second time to compare, and
// a third time to settle bytes the two reads disagree on; the file is written only then.
int CB_ReadModule(FieldHandle field, int message, WParam wparam, LParam lparam);
// Reads the module back through the dialog's "hReadModule" field to compare it with the
// `file` just written, when "Verify" asks for it; the write's completion message follows the
// comparison. False when nothing was started.
bool StartReadBack(FieldHandle field, std::span<const uint8_t> file);
int CB_hReadModule(FieldHandle field, int message, WParam wparam, LParam lparam);
// Writes the image of the read context named by "_carddata_" (asking before it overwrites a
// file), makes it "CurrentVirtualModule" and drops "Directory". 1 written, -1 not written.
int CardAnalyse(WindowHandle owner, int word1, int word2, StoreHandle main_store,
                StoreHandle app_store);

}  // namespace r7k
